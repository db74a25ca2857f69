% The clauses of Prolog files as SWI-Prolog's read_term/3 reads them, term
% and subterm positions: the reference the term reader is compared with.
%
%     swipl tests/prolog/terms_reference.pl -- LIST
%
% LIST has a line "ENCODING PATH" per file (utf8 or iso_latin_1). This
% prints first "I Priority Type Name" for each operator a fresh file starts
% with, then for each file "F PATH" and a line per clause: "C End Term", or
% "X End" when read_term/3 raises a syntax error. End is the character
% offset after the clause's full stop. "O Priority Type Name" lines tell
% how the operators change, after the clause that changed them (priority 0
% for one taken away), so that the reader parses each clause with the
% operators SWI-Prolog had for it.
%
% Term is the clause's term in prefix order, each node with its positions
% ("@From,To", in characters):
%   P<n>@F,T      n parentheses around the node that follows, the outermost at F,T
%   v<n>@F,T      a variable, numbered as it first appears
%   a@F,T:Name    an atom; N@F,T the empty list []
%   i@F,T, f@F,T  an integer (or rational), a float
%   s@F,T:Text    a string; b@F,T:Text back-quoted text
%   c<arity>@F,T/FF,FT:Name   a compound, the functor at FF,FT; the arguments follow
%   l<n>@F,T      a list of n elements, which follow; l<n>|@F,T: and a tail after them
%   {@F,T         {Term}
%   d<n>@F,T/TF,TT  a dict of n pairs: its tag, then for each pair "k@F,T"
%                 (the colon), its key and its value
%   q@F,T/CF,CT   a quasi-quotation, its text at CF,CT; its syntax follows
% Names are their characters, with those outside ! .. ~ and the backslash
% written \<hex>;, and a functor that is the empty list \N;.

:- lexer_reference:ensure_loaded(reference).  % the lexer's reference: files, operators
:- initialization(main, main).                 % after the one reference.pl declares

main :-
    current_prolog_flag(argv, Argv),
    last(Argv, List),
    read_file_to_string(List, String, []),
    split_string(String, "\n", "", Lines),
    lexer_reference:global_operators(Initial),
    forall(member(op(P, T, N), Initial), print_op('I', P, T, N)),
    forall(( nth1(N, Lines, Line), Line \== "" ),
           ( reference_file(N, Line, Initial),
             lexer_reference:restore_global_operators(Initial) )).

% The operators the reader sees in the module, and how they changed.
module_operators(Module, Ops) :-
    findall(op(P, T, N), current_op(P, T, Module:N), Ops0),
    sort(Ops0, Ops).

print_changes(Before, After) :-
    ord_subtract(Before, After, Old),
    ord_subtract(After, Before, New),
    forall(( member(op(_, T, N), Old), \+ memberchk(op(_, T, N), New) ),
           print_op('O', 0, T, N)),
    forall(member(op(P, T, N), New), print_op('O', P, T, N)).

print_op(Tag, P, T, N) :-
    format("~w ~d ~w ", [Tag, P, T]),
    print_name(N),
    nl.

reference_file(N, Line, Initial) :-
    once(sub_atom(Line, Space, 1, _, ' ')),
    sub_atom(Line, 0, Space, _, Encoding),
    PathStart is Space + 1,
    sub_atom(Line, PathStart, _, 0, Path),
    format("F ~w~n", [Path]),
    atom_concat(terms_reference_file_, N, Module),
    file_directory_name(Path, Dir),
    nb_setval(reference_dir, Dir),
    module_operators(Module, Ops),
    print_changes(Initial, Ops),
    nb_setval(reference_ops, Ops),
    setup_call_cleanup(
        open(Path, read, In, [encoding(Encoding)]),
        ( ignore(lexer_reference:skip_script_line(In, _)), read_clauses(In, Module) ),
        close(In)).

read_clauses(In, Module) :-
    repeat,
    catch(read_term(In, Term,
                    [ module(Module), subterm_positions(Pos), quasi_quotations(_),
                      syntax_errors(error)
                    ]),
          error(syntax_error(_), _),
          Term = '$unreadable'),
    lexer_reference:char_offset(In, End),
    (   Term == end_of_file, \+ ( nonvar(Pos), Pos = _-To, To =< End )
    ->  !
    ;   Term == '$unreadable'
    ->  format("X ~d~n", [End]),
        fail
    ;   declare(Term, Module),
        format("C ~d", [End]),
        dump(Pos, Term),
        nl,
        nb_getval(reference_ops, Before),
        module_operators(Module, After),
        print_changes(Before, After),
        nb_setval(reference_ops, After),
        fail
    ).

% The term with its positions, in prefix order; Vars holds the variables
% seen so far, the last first.
dump(Pos, Term) :-
    dump(Pos, Term, [], _).

dump(parentheses_term_position(F, T, Inner), Term, V0, V) :- !,
    parentheses(Inner, 1, N, Pos),
    format(" P~d@~d,~d", [N, F, T]),
    dump(Pos, Term, V0, V).
dump(F-T, Term, V0, V) :- !,
    leaf(Term, F, T, V0, V).
dump(string_position(F, T), Term, V, V) :- !,
    text_to_string(Term, S),
    (   string(Term) -> Tag = s ; Tag = b ),
    format(" ~w@~d,~d:", [Tag, F, T]),
    print_name(S).
dump(term_position(F, T, FF, FT, ArgsPos), Term, V0, V) :- !,
    compound_name_arity(Term, Name, Arity),
    format(" c~d@~d,~d/~d,~d:", [Arity, F, T, FF, FT]),
    print_name(Name),
    compound_name_arguments(Term, _, Args),
    foldl(dump, ArgsPos, Args, V0, V).
dump(list_position(F, T, ElemsPos, TailPos), Term, V0, V) :- !,
    length(ElemsPos, N),
    (   TailPos == none -> Bar = '' ; Bar = '|' ),
    format(" l~d~w@~d,~d", [N, Bar, F, T]),
    elements(ElemsPos, Term, Tail, V0, V1),
    (   TailPos == none -> V = V1 ; dump(TailPos, Tail, V1, V) ).
dump(brace_term_position(F, T, ArgPos), {Arg}, V0, V) :- !,
    format(" {@~d,~d", [F, T]),
    dump(ArgPos, Arg, V0, V).
dump(dict_position(F, T, TF, TT, KVsPos), Dict, V0, V) :- !,
    length(KVsPos, N),
    format(" d~d@~d,~d/~d,~d", [N, F, T, TF, TT]),
    dict_pairs(Dict, Tag, _),
    leaf(Tag, TF, TT, V0, V1),
    foldl(key_value(Dict), KVsPos, V1, V).
dump(quasi_quotation_position(F, T, Syntax, SyntaxPos, CF-CT), _, V0, V) :- !,
    format(" q@~d,~d/~d,~d", [F, T, CF, CT]),
    dump(SyntaxPos, Syntax, V0, V).
dump(Pos, _, V, V) :-
    format(" ?~q", [Pos]).

key_value(Dict, key_value_position(_, _, SF, ST, Key, KeyPos, ValuePos), V0, V) :-
    get_dict(Key, Dict, Value),
    format(" k@~d,~d", [SF, ST]),
    dump(KeyPos, Key, V0, V1),
    dump(ValuePos, Value, V1, V).

parentheses(parentheses_term_position(_, _, Inner), N0, N, Pos) :- !,
    N1 is N0 + 1,
    parentheses(Inner, N1, N, Pos).
parentheses(Pos, N, N, Pos).

elements([], Tail, Tail, V, V).
elements([P|Ps], [H|T], Tail, V0, V) :-
    dump(P, H, V0, V1),
    elements(Ps, T, Tail, V1, V).

leaf(Term, F, T, V0, V) :-
    (   var(Term)
    ->  (   nth0(I, V0, W), W == Term
        ->  length(V0, L), N is L - 1 - I, V = V0
        ;   length(V0, N), V = [Term|V0]
        ),
        format(" v~d@~d,~d", [N, F, T])
    ;   V = V0,
        (   Term == []
        ->  format(" N@~d,~d", [F, T])
        ;   atom(Term)
        ->  format(" a@~d,~d:", [F, T]),
            print_name(Term)
        ;   float(Term)
        ->  format(" f@~d,~d", [F, T])
        ;   number(Term)
        ->  format(" i@~d,~d", [F, T])
        ;   format(" ?~q@~d,~d", [Term, F, T])
        )
    ).

print_name([]) :- !,
    write('\\N;').
print_name(Name) :-
    atom_codes(Name, Codes),
    forall(member(C, Codes), print_code(C)).

print_code(C) :-
    (   C > 0x20, C < 0x7F, C \== 0'\\
    ->  put_char(C)
    ;   format("\\~16r;", [C])
    ).

% The operators a file declares or imports are applied to its module as the
% lexer's reference does (which would take a variable for a directive).
declare(Term, Module) :-
    (   var(Term) -> true ; lexer_reference:declare(Term, Module) ).
