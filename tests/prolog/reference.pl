% The tokens of Prolog files as SWI-Prolog's own reader sees them: the
% reference the lexer is compared with.
%
%     swipl tests/prolog/reference.pl -- LIST
%
% LIST has a line "ENCODING PATH" per file (utf8 or iso_latin_1). For each
% file this prints "F PATH", then a line "T FROM TO CLASS" per token and
% "X FROM TO" per stretch the reader could not read. Offsets count
% characters from the start of the file; layout is what no line names.
% Classes: a atom, q quoted, v var, n number, s string, b back-quoted,
% p punct, e end, c comment, Q quasi-quotation, ? what no rule explains.
%
% read_term/3 gives positions to terms (subterm_positions) and comments, not
% to brackets, commas, bars and full stops: those are found in the gaps
% between the terms. Each file is read in a fresh module that declares the
% operators the file declares or imports, so that its clauses read.

:- initialization(main, main).

main :-
    current_prolog_flag(argv, Argv),
    last(Argv, List),
    read_file_to_string(List, String, []),
    split_string(String, "\n", "", Lines),
    global_operators(Initial),
    forall(( nth1(N, Lines, Line), Line \== "" ),
           ( reference_file(N, Line),
             restore_global_operators(Initial) )).

% The libraries a file loads may declare operators for everyone (in user):
% each file starts from the operators of a fresh system.
global_operators(Ops) :-
    findall(op(P, T, N), current_op(P, T, user:N), Ops0),
    sort(Ops0, Ops).

restore_global_operators(Initial) :-
    global_operators(Now),
    forall(( member(op(_, T, N), Now), \+ memberchk(op(_, T, N), Initial) ),
           op(0, T, user:N)),
    forall(( member(op(P, T, N), Initial), \+ memberchk(op(P, T, N), Now) ),
           op(P, T, user:N)).

reference_file(N, Line) :-
    sub_string(Line, Before, 1, After, " "), !,
    sub_atom(Line, 0, Before, _, Encoding),
    sub_atom(Line, _, After, 0, Path),
    format("F ~w~n", [Path]),
    atom_concat(reference_file_, N, Module),
    file_directory_name(Path, Dir),
    nb_setval(reference_dir, Dir),
    read_file_to_codes(Path, Codes, [encoding(Encoding)]),
    Text =.. [text|Codes],               % arg/3 reaches any character at once
    setup_call_cleanup(
        open(Path, read, In, [encoding(Encoding)]),
        (   (   skip_script_line(In, End)
            ->  format("T 0 ~d c~n", [End])
            ;   true
            ),
            read_clauses(In, Text, Module)
        ),
        close(In)).

% A script's "#!" first line, which SWI-Prolog's loader skips: a comment up
% to its line feed, which is layout. End is where the comment ends.
skip_script_line(In, End) :-
    peek_string(In, 2, "#!"),
    skip_to_line_feed(In),
    char_offset(In, End).

skip_to_line_feed(In) :-
    peek_code(In, C),
    (   C == -1 -> true
    ;   C == 0'\n -> true
    ;   get_code(In, _), skip_to_line_feed(In)
    ).

read_clauses(In, Text, Module) :-
    repeat,
    char_offset(In, Start),
    catch(read_term(In, Term,
                    [ module(Module), subterm_positions(Pos), comments(Comments),
                      syntax_errors(error)
                    ]),
          error(syntax_error(_), _),
          Term = '$unreadable'),
    char_offset(In, End),
    (   Term == end_of_file, \+ ( Pos = _-To, To =< End )
    ->  !,                                  % the end of the file
        clause_tokens(Term, Text, Start, End, none, Comments)
    ;   clause_tokens(Term, Text, Start, End, Pos, Comments),
        declare(Term, Module),
        fail
    ).

char_offset(In, Offset) :-
    stream_property(In, position(Pos)),
    stream_position_data(char_count, Pos, Offset).

clause_tokens('$unreadable', _, Start, End, _, _) :- !,
    format("X ~d ~d~n", [Start, End]).
clause_tokens(_, Text, Start, End, Pos, Comments) :-
    (   Pos == none
    ->  Leaves = []
    ;   phrase(leaves(Pos, Text), Leaves)
    ),
    foldl(comment_tokens(Text), Comments, CommentTokens, []),
    append(Leaves, CommentTokens, Tokens),
    msort(Tokens, Sorted),
    gap_tokens(Sorted, Start, End, Text, Gaps),
    forall(member(t(F, T, C), Leaves), print_token(F, T, C)),
    forall(member(t(F, T, C), Gaps), print_token(F, T, C)),
    % Last, so that a comment inside a term's position ("[ /* */ ]") is one.
    forall(member(t(F, T, C), CommentTokens), print_token(F, T, C)).

print_token(F, T, C) :- format("T ~d ~d ~w~n", [F, T, C]).

% The reader joins "%" comments on the lines that follow each other into
% one comment, whose string ends at a byte 0: the lines are found in the
% text instead, and the layout between them stays layout.
comment_tokens(Text, Pos-Comment, Tokens, Tail) :-
    stream_position_data(char_count, Pos, F),
    (   sub_string(Comment, 0, 1, _, "%")
    ->  line_comments(Text, F, Tokens, Tail)
    ;   string_length(Comment, Len),
        T is F + Len,
        Tokens = [t(F, T, c)|Tail]
    ).

line_comments(Text, F, [t(F, T, c)|Tokens], Tail) :-
    line_end(Text, F, T),
    (   next_line_comment(Text, T, F1)
    ->  line_comments(Text, F1, Tokens, Tail)
    ;   Tokens = Tail
    ).

line_end(Text, I, End) :-
    (   code_at(I, Text, C), C \== 0'\n
    ->  I1 is I + 1, line_end(Text, I1, End)
    ;   End = I
    ).

% A "%" after the line end and blanks.
next_line_comment(Text, NL, F) :-
    code_at(NL, Text, 0'\n),
    I is NL + 1,
    blanks_end(Text, I, F),
    code_at(F, Text, 0'%).

blanks_end(Text, I, End) :-
    (   code_at(I, Text, C), ( C == 0'\s ; C == 0'\t ; C == 0'\r )
    ->  I1 is I + 1, blanks_end(Text, I1, End)
    ;   End = I
    ).

% The tokens that read_term/3 gives a position.
leaves(F-T, Text) --> !, leaf(F, T, Text).
leaves(string_position(F, T), Text) --> !, leaf(F, T, Text).
leaves(brace_term_position(F, T, Arg), Text) --> !,
    punct(F, T), leaves(Arg, Text).
leaves(list_position(F, T, Elems, Tail), Text) --> !,
    punct(F, T), all_leaves(Elems, Text),
    (   { Tail == none } -> [] ; leaves(Tail, Text) ).
leaves(term_position(_, _, FF, FT, Args), Text) --> !,
    leaf(FF, FT, Text), all_leaves(Args, Text).
leaves(dict_position(_, _, TF, TT, KVs), Text) --> !,
    leaf(TF, TT, Text), all_leaves(KVs, Text).
leaves(key_value_position(_, _, SF, ST, _, KeyPos, ValuePos), Text) --> !,
    [t(SF, ST, p)], leaves(KeyPos, Text), leaves(ValuePos, Text).
leaves(parentheses_term_position(F, T, Arg), Text) --> !,
    punct(F, T), leaves(Arg, Text).
leaves(quasi_quotation_position(F, T, _, SyntaxPos, ContentFrom-_), Text) --> !,
    { F2 is F + 2, BarsFrom is ContentFrom - 2 },
    [t(F, F2, 'Q')], leaves(SyntaxPos, Text), [t(BarsFrom, T, 'Q')].
leaves(Pos, _) --> { format(user_error, "unknown position ~q~n", [Pos]) }.

all_leaves([], _) --> [].
all_leaves([P|Ps], Text) --> leaves(P, Text), all_leaves(Ps, Text).

% The bracket at each end of a term.
punct(F, T) --> { F1 is F + 1, T1 is T - 1 }, [t(F, F1, p), t(T1, T, p)].

% "[ ]" and "{ }" are atoms, whose inside is layout (or comments).
leaf(F, T, Text) -->
    { T - F > 2, code_at(F, Text, C), ( C == 0'[ ; C == 0'{ ) }, !,
    { F1 is F + 1, T1 is T - 1 },
    [t(F, F1, a), t(T1, T, a)].
leaf(F, T, Text) -->
    { code_at(F, Text, C), leaf_class(C, F, T, Text, Class) },
    [t(F, T, Class)].

code_at(Offset, Text, C) :-
    Index is Offset + 1,
    arg(Index, Text, C0),
    C = C0.

leaf_class(0',, _, _, _, p) :- !.                   % a,b as a term
leaf_class(0'|, _, _, _, p) :- !.
leaf_class(0'', _, _, _, q) :- !.
leaf_class(0'", _, _, _, s) :- !.
leaf_class(0'`, _, _, _, b) :- !.
leaf_class(C, _, _, _, n) :- code_type(C, digit(_)), !.
leaf_class(0'-, F, T, Text, n) :-                   % -1
    T - F > 1,
    F1 is F + 1,
    code_at(F1, Text, C),
    code_type(C, digit(_)), !.
leaf_class(C, _, _, _, v) :- code_type(C, prolog_var_start), !.
leaf_class(_, _, _, _, a).

% Brackets, commas, bars and the full stop, in what no token covers; what
% is left is layout, or "?".
gap_tokens(Tokens, Start, End, Text, Gaps) :-
    covered(Tokens, Start, End, Free),
    findall(t(I, I1, Class),
            ( member(F-T, Free), between(F, T, I), I < T,
              code_at(I, Text, C),
              gap_class(C, Class),
              I1 is I + 1 ),
            Gaps).

covered([], At, End, Free) :- !,
    ( At < End -> Free = [At-End] ; Free = [] ).
covered([t(F, T, _)|Ts], At, End, Free) :-
    (   F > At -> Free = [At-F|Free1] ; Free = Free1 ),
    Next is max(At, T),
    covered(Ts, Next, End, Free1).

gap_class(C, p) :- memberchk(C, `()[]{},|`), !.
gap_class(0'., e) :- !.
gap_class(C, _) :- layout(C), !, fail.
gap_class(_, ?).

layout(C) :- code_type(C, space), !.
layout(C) :- C < 32.
layout(0xA0).

% The operators a file declares or imports, applied to its module.
declare((:- Directive), Module) :- !,
    catch(declare_directive(Directive, Module), _, true).
declare(_, _).

declare_directive(module(_, Exports), Module) :- !,
    forall(member(op(P, T, N), Exports), op(P, T, Module:N)).
declare_directive(op(P, T, N), Module) :- !,
    op(P, T, Module:N).
declare_directive(use_module(Source), Module) :- !,
    import_operators(Source, Module).
declare_directive(use_module(Source, _), Module) :- !,
    import_operators(Source, Module).
declare_directive(reexport(Source), Module) :- !,
    import_operators(Source, Module).
declare_directive(reexport(Source, _), Module) :- !,
    import_operators(Source, Module).
declare_directive(_, _).

% Loading the module is the surest way to its operators (and to its
% quasi-quotation syntaxes); a path is relative to the file's folder.
import_operators(Sources, Module) :-
    is_list(Sources), !,
    forall(member(Source, Sources), import_operators(Source, Module)).
import_operators(Source, Module) :-
    nb_getval(reference_dir, Dir),
    absolute_file_name(Source, Path,
                       [ relative_to(Dir), file_type(prolog), access(read),
                         file_errors(fail)
                       ]), !,
    catch(Module:use_module(Path), _, true).
import_operators(_, _).
