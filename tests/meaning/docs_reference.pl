% What SWI-Prolog's cross-referencer learns from a file's structured
% comments: the reference the documentation reader is compared with.
%
%     swipl tests/meaning/docs_reference.pl -- FILE
%
% Runs xref_source(FILE, [comments(collect), silent(true)]) and prints, one
% line each, fields separated by tabs (a tab, a line feed or a backslash
% inside a field written \t, \n, \\):
%
%   F  FILE
%   K  LINE  KIND                 every structured comment before a term:
%                                 predicate, section, or none (no parse)
%   C  LINE  HEAD  SUMMARY        every xref_comment/4 answer, LINE that of
%                                 the comment the summary is from
%   M  LINE  DET   MODE           every xref_mode/3 answer
%   E                             the end: all went well
%
% HEAD is Name/Arity, Module:Name/Arity where the cross-referencer
% qualifies it. MODE is the mode's head written canonically (see canon//1):
% atoms bare when they are a lower-case letter followed by letters, digits
% and "_", else in single quotes; lists in brackets; every variable _N, N
% counted in order of first appearance. LINE is the comment's first line.
% The file is read as UTF-8 if it is valid UTF-8, else as Latin-1, as the
% page reads it.
%
% Run it once per file, each in a fresh process: what one file makes
% SWI-Prolog load or declare changes the answers for the next.

:- module(docs_reference, []).
:- use_module(library(prolog_xref)).
:- use_module(library(pldoc/doc_process)).

:- initialization(main, main).

:- dynamic parsed/2.                    % Line, Parsed (or none)

main :-
    current_prolog_flag(argv, Argv),
    last(Argv, File0),
    absolute_file_name(File0, File),
    file_encoding(File, Encoding),
    set_prolog_flag(encoding, Encoding),
    wrap_predicate(pldoc_process:parse_comment(Comment, FilePos, Parsed),
                   docs_reference, Wrapped,
                   docs_reference:record(Wrapped, Comment, FilePos, Parsed)),
    xref_source(File, [comments(collect), silent(true)]),
    format("F\t~w~n", [File]),
    forall(parsed(Line, Parsed),
           ( parsed_kind(Parsed, Kind), format("K\t~d\t~w~n", [Line, Kind]) )),
    forall(xref_comment(File, Head, Summary, Comment),
           ( once(parsed_item(predicate(_, _, Comment), Line)),
             head_pi(Head, PI),
             field(PI, PIText),
             field(Summary, SummaryText),
             format("C\t~d\t~s\t~s~n", [Line, PIText, SummaryText]) )),
    findall(Line, parsed_item(mode(_, _), Line), ModeLines),
    findall(Mode-Det, xref_mode(File, Mode, Det), Modes),
    same_length(ModeLines, Modes),
    forall(nth1(I, Modes, Mode-Det),
           ( nth1(I, ModeLines, Line),
             \+ \+ ( numbervars(Mode, 0, _),
                     phrase(canon(Mode), Codes),
                     field(Codes, ModeText),
                     format("M\t~d\t~w\t~s~n", [Line, Det, ModeText]) ) )),
    format("E~n").

% Only structured comments reach compile_comment/4; parse_comment/3 is
% called for every comment before a term.
record(Wrapped, Comment, _:Line, Parsed) :-
    (   is_structured_comment(Comment, _)
    ->  (   Wrapped
        ->  assertz(parsed(Line, Parsed))
        ;   assertz(parsed(Line, none)),
            fail
        )
    ;   Wrapped
    ).

parsed_item(Item, Line) :-
    parsed(Line, Parsed),
    is_list(Parsed),
    member(Item, Parsed).

parsed_kind(none, none) :- !.
parsed_kind(Parsed, section) :- memberchk(section(_, _, _), Parsed), !.
parsed_kind(_, predicate).

head_pi(M:Head, M:Name/Arity) :- !, functor(Head, Name, Arity).
head_pi(Head, Name/Arity) :- functor(Head, Name, Arity).

field(Term, Codes) :-
    (   is_list(Term)
    ->  Text = Term
    ;   string(Term)
    ->  string_codes(Term, Text)
    ;   Term = M:Name/Arity
    ->  format(codes(Text), "~w:~w/~d", [M, Name, Arity])
    ;   Term = Name/Arity,
        format(codes(Text), "~w/~d", [Name, Arity])
    ),
    phrase(escaped(Text), Codes).

escaped([]) --> [].
escaped([C|Cs]) --> escape(C), escaped(Cs).

escape(0'\t) --> !, "\\t".
escape(0'\n) --> !, "\\n".
escape(0'\\) --> !, "\\\\".
escape(C) --> [C].

% The canonical text of a term.
canon('$VAR'(N)) --> !, { format(codes(C), "_~d", [N]) }, C.
canon(T) --> { atom(T) }, !, atom_text(T).
canon([]) --> !, "[]".
canon(T) --> { string(T) }, !, { string_codes(T, C) }, "\"", C, "\"".
canon(T) --> { number(T) }, !, { format(codes(C), "~w", [T]) }, C.
canon([H|T]) --> !, "[", canon(H), list_tail(T), "]".
canon({}(T)) --> !, "{", canon(T), "}".
canon(T) -->
    { compound_name_arguments(T, Name, Args) },
    atom_text(Name), "(", args(Args), ")".

list_tail(T) --> { var(T) ; T \= [_|_], T \== [] }, !, "|", canon(T).
list_tail([]) --> !.
list_tail([H|T]) --> ",", canon(H), list_tail(T).

args([A]) --> !, canon(A).
args([A|As]) --> canon(A), ",", args(As).
args([]) --> [].

atom_text(A) -->
    { atom_codes(A, Codes) },
    (   { Codes = [C|Cs], between(0'a, 0'z, C), maplist(word_code, Cs) }
    ->  Codes
    ;   "'", quoted(Codes), "'"
    ).

word_code(C) :- ( between(0'a, 0'z, C) ; between(0'A, 0'Z, C) ; between(0'0, 0'9, C) ; C == 0'_ ), !.

quoted([]) --> [].
quoted([C|Cs]) --> ( { C == 0'' ; C == 0'\\ } -> "\\", [C] ; [C] ), quoted(Cs).

% UTF-8 if the whole file is valid UTF-8, as the page reads it.
file_encoding(File, Encoding) :-
    setup_call_cleanup(open(File, read, In, [type(binary)]),
                       stream_bytes(In, Bytes), close(In)),
    (   phrase(utf8_codes, Bytes)
    ->  Encoding = utf8
    ;   Encoding = iso_latin_1
    ).

stream_bytes(In, Bytes) :-
    get_byte(In, B),
    (   B == -1 -> Bytes = [] ; Bytes = [B|Rest], stream_bytes(In, Rest) ).

utf8_codes --> [C], { C < 0x80 }, !, utf8_codes.
utf8_codes --> [B0, B1], { B0 >= 0xC2, B0 < 0xE0, cont(B1) }, !, utf8_codes.
utf8_codes --> [B0, B1, B2], { B0 >= 0xE0, B0 < 0xF0, cont(B1), cont(B2),
                               C is (B0 /\ 0x0F) << 12 \/ (B1 /\ 0x3F) << 6 \/ (B2 /\ 0x3F),
                               C >= 0x800, \+ between(0xD800, 0xDFFF, C) }, !, utf8_codes.
utf8_codes --> [B0, B1, B2, B3], { B0 >= 0xF0, B0 < 0xF5, cont(B1), cont(B2), cont(B3),
                                   C is (B0 /\ 0x07) << 18 \/ (B1 /\ 0x3F) << 12
                                        \/ (B2 /\ 0x3F) << 6 \/ (B3 /\ 0x3F),
                                   C >= 0x10000, C =< 0x10FFFF }, !, utf8_codes.
utf8_codes --> [].

cont(B) :- B >= 0x80, B < 0xC0.
