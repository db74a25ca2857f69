% What SWI-Prolog's cross-referencer says of one file of a tree: the
% reference OUT/xref.json is compared with (tests/site/xref_compare.cpp).
%
%     swipl tests/site/xref_reference.pl -- ROOT FILE
%
% Runs xref_source(FILE, [comments(collect), silent(true)]) and prints one
% line per answer, fields separated by tabs (a tab, a line feed or a
% backslash inside a field written \t, \n, \\), paths relative to ROOT:
%
%   F  FILE
%   E  FILE  CALLER  CALLEE_FILE  CALLEE   a clause of CALLER calls CALLEE
%   D  FILE  -       CALLEE_FILE  CALLEE   a directive (or public/1, or a
%                                         unit test) calls CALLEE
%   S  FILE  PRED    SUMMARY               xref_comment/4's summary of PRED
%   X                                      the end: all went well
%
% Every xref_called(FILE, CALLEE, BY) is an edge when xref_defined/3 says
% CALLEE is local(_) to FILE, or imported(FROM) from a file FROM under
% ROOT; any other callee (built-in, library outside ROOT, undefined) is no
% edge of the tree. PRED, CALLER and CALLEE are Name/Arity, Module:Name/
% Arity where the cross-referencer qualifies them. The file is read as
% UTF-8 if it is valid UTF-8, else as Latin-1, as the page reads it.
%
% Run it once per file, each in a fresh process: what one file makes
% SWI-Prolog load or declare changes the answers for the next.

:- module(xref_reference, []).
:- use_module(library(prolog_xref)).
:- use_module(library(lists)).
:- use_module(library(apply)).

:- initialization(main, main).

main :-
    current_prolog_flag(argv, Argv),
    append(_, [Root0, File0], Argv),
    absolute_file_name(Root0, Root, [file_type(directory)]),
    absolute_file_name(File0, File),
    file_encoding(File, Encoding),
    set_prolog_flag(encoding, Encoding),
    xref_source(File, [comments(collect), silent(true)]),
    set_stream(user_output, encoding(utf8)),
    relative(Root, File, Rel),
    format("F\t~s~n", [Rel]),
    findall(Line, edge_line(Root, File, Rel, Line), Lines0),
    sort(Lines0, Lines),
    forall(member(L, Lines), format("~s~n", [L])),
    findall(S, summary_line(File, Rel, S), Summaries0),
    sort(Summaries0, Summaries),
    forall(member(S, Summaries), format("~s~n", [S])),
    format("X~n").

edge_line(Root, File, Rel, Line) :-
    xref_called(File, Callee, By),
    callee_file(Root, File, Rel, Callee, CalleeRel),
    callee_head(File, Callee, CalleeHead),
    pi_text(CalleeHead, CalleeText),
    (   origin(By)
    ->  Kind = "D", ByText = "-"
    ;   Kind = "E", pi_text(By, ByText)
    ),
    fields([Kind, Rel, ByText, CalleeRel, CalleeText], Line).

% The cross-referencer's callers that are no clause: a directive, a
% public/1 declaration, a unit test's body.
origin('<directive>'(_)).
origin('<public>'(_)).
origin('<test_unit>'(_)).

% xref_comment/4 qualifies the heads of a file that is no module with
% user, the file's own module, which xref_called/3 and xref_defined/3 leave
% unqualified: so are they here.
own_head(File, user:Head, Head) :-
    \+ xref_module(File, _), !.
own_head(_, Head, Head).

% A call M:G imported: the file loads M's file whole, which makes M's
% exports and public predicates callable as M:G (assert_xmodule_callable/4);
% it is a call of that file's own G.
callee_head(File, M:Head, Head) :-
    \+ xref_defined(File, M:Head, local(_)), !.
callee_head(_, Head, Head).

% The file of the tree a callee is defined in, if any.
callee_file(_, File, Rel, Callee, Rel) :-
    xref_defined(File, Callee, local(_)), !.
callee_file(Root, File, _, Callee, FromRel) :-
    xref_defined(File, Callee, imported(From)),
    relative(Root, From, FromRel), !.

summary_line(File, Rel, Line) :-
    xref_comment(File, Head0, Summary, _Comment),
    own_head(File, Head0, Head),
    pi_text(Head, HeadText),
    fields(["S", Rel, HeadText, Summary], Line).

% The path of File under Root; fails for a file outside it.
relative(Root, File, Rel) :-
    atom_concat(Root, '/', Prefix),
    atom_concat(Prefix, RelAtom, File),
    atom_codes(RelAtom, Rel).

pi_text(M:Head, Text) :- !,
    functor(Head, Name, Arity),
    format(codes(Text), "~w:~w/~d", [M, Name, Arity]).
pi_text(Head, Text) :-
    functor(Head, Name, Arity),
    format(codes(Text), "~w/~d", [Name, Arity]).

fields(Fields, Line) :-
    maplist(field, Fields, Escaped),
    atomic_list_concat(Escaped, '\t', Atom),
    atom_codes(Atom, Line).

field(Field, Escaped) :-
    (   is_list(Field) -> Codes = Field ; string_codes(Field, Codes) ),
    phrase(escaped(Codes), EscapedCodes),
    atom_codes(Escaped, EscapedCodes).

escaped([]) --> [].
escaped([C|Cs]) --> escape(C), escaped(Cs).

escape(0'\t) --> !, "\\t".
escape(0'\n) --> !, "\\n".
escape(0'\\) --> !, "\\\\".
escape(C) --> [C].

% UTF-8 if the whole file is valid UTF-8 (as the page reads it), by
% reading it as UTF-8 and looking for the replacement SWI-Prolog makes of
% a byte that is not; a file holding U+FFFD itself is read as UTF-8 too.
file_encoding(File, Encoding) :-
    read_file_to_codes(File, Octets, [type(binary)]),
    (   utf8_valid(Octets) -> Encoding = utf8 ; Encoding = iso_latin_1 ).

utf8_valid([]).
utf8_valid([C|Cs]) :- C < 0x80, !, utf8_valid(Cs).
utf8_valid([B0, B1|Cs]) :- B0 >= 0xC2, B0 < 0xE0, cont(B1), !, utf8_valid(Cs).
utf8_valid([B0, B1, B2|Cs]) :-
    B0 >= 0xE0, B0 < 0xF0, cont(B1), cont(B2),
    C is (B0 /\ 0x0F) << 12 \/ (B1 /\ 0x3F) << 6 \/ (B2 /\ 0x3F),
    C >= 0x800, \+ between(0xD800, 0xDFFF, C), !, utf8_valid(Cs).
utf8_valid([B0, B1, B2, B3|Cs]) :-
    B0 >= 0xF0, B0 < 0xF5, cont(B1), cont(B2), cont(B3),
    C is (B0 /\ 0x07) << 18 \/ (B1 /\ 0x3F) << 12 \/ (B2 /\ 0x3F) << 6 \/ (B3 /\ 0x3F),
    C >= 0x10000, C =< 0x10FFFF, !, utf8_valid(Cs).

cont(B) :- B >= 0x80, B < 0xC0.
