% What SWI-Prolog's own source view makes of each call and clause head:
% the reference the meaning layer is compared with.
%
%     swipl tests/meaning/reference.pl -- FILE
%
% Runs the cross-referencer over FILE, then colours it as the source view
% does (library(prolog_colour) after library(prolog_xref)), and prints
% "F FILE", then a line "M FROM TO CLASS" per goal, head and singleton
% fragment, without duplicates. FROM and TO are byte offsets; CLASS is
% goal-NAME, head-NAME (NAME the functor of SWI-Prolog's classification,
% as its source view names it) or singleton. The file is read as UTF-8 if
% it is valid UTF-8, else as Latin-1, as the page reads it.
%
% Run it once per file, each in a fresh process: what one file makes
% SWI-Prolog load or record changes its answers for the next. This module
% keeps its own predicates out of module user, where they would count as
% the user's own ("global") predicates.

:- module(meaning_reference, []).
:- use_module(library(prolog_xref)).
:- use_module(library(prolog_colour)).

:- initialization(main, main).

:- dynamic fragment/3.

main :-
    current_prolog_flag(argv, Argv),
    last(Argv, File0),
    absolute_file_name(File0, File),
    file_encoding(File, Encoding),
    set_prolog_flag(encoding, Encoding),
    xref_source(File, [silent(true)]),
    setup_call_cleanup(
        open(File, read, In, [encoding(Encoding)]),
        prolog_colourise_stream(In, File, keep),
        close(In)),
    file_codes(File, [encoding(Encoding)], Codes),
    byte_offsets(Codes, Encoding, Offsets),
    format("F ~w~n", [File]),
    findall(From-(To-Class), fragment(From, To, Class), Fragments0),
    msort(Fragments0, Fragments),
    forall(member(From-(To-Class), Fragments),
           ( byte_at(Offsets, From, BFrom),
             byte_at(Offsets, To, BTo),
             format("M ~d ~d ~w~n", [BFrom, BTo, Class]) )).

keep(Class, Start, Length) :-
    meaning(Class, Name),
    End is Start + Length,
    \+ fragment(Start, End, Name),
    !,
    assertz(fragment(Start, End, Name)).
keep(_, _, _).

meaning(goal(Class, _), Name) :- class_name(goal, Class, Name).
meaning(head(Class, _), Name) :- class_name(head, Class, Name).
meaning(singleton, singleton).

class_name(Kind, Class, Name) :-
    (   var(Class)
    ->  Functor = meta                   % never seen; keeps the output total
    ;   functor(Class, Functor, _)
    ),
    atomic_list_concat([Kind, -, Functor], Name).

% UTF-8 if the whole file is valid UTF-8. Read with get_code/2 rather
% than library(readutil), whose loading would change what SWI-Prolog knows
% (its foreign predicates) before the cross-referencer runs.
file_encoding(File, Encoding) :-
    file_codes(File, [type(binary)], Bytes),
    (   phrase(utf8_codes(_), Bytes)
    ->  Encoding = utf8
    ;   Encoding = iso_latin_1
    ).

utf8_codes([C|Cs]) --> utf8_code(C), !, utf8_codes(Cs).
utf8_codes([]) --> [].

utf8_code(C) --> [C], { C < 0x80 }, !.
utf8_code(C) --> [B0, B1], { B0 >= 0xC2, B0 < 0xE0, cont(B1) }, !,
    { C is (B0 /\ 0x1F) << 6 \/ (B1 /\ 0x3F) }.
utf8_code(C) --> [B0, B1, B2], { B0 >= 0xE0, B0 < 0xF0, cont(B1), cont(B2) }, !,
    { C is (B0 /\ 0x0F) << 12 \/ (B1 /\ 0x3F) << 6 \/ (B2 /\ 0x3F),
      C >= 0x800, \+ between(0xD800, 0xDFFF, C) }.
utf8_code(C) --> [B0, B1, B2, B3], { B0 >= 0xF0, B0 < 0xF5, cont(B1), cont(B2), cont(B3) },
    { C is (B0 /\ 0x07) << 18 \/ (B1 /\ 0x3F) << 12 \/ (B2 /\ 0x3F) << 6 \/ (B3 /\ 0x3F),
      C >= 0x10000, C =< 0x10FFFF }.

cont(B) :- B >= 0x80, B < 0xC0.

file_codes(File, Options, Codes) :-
    setup_call_cleanup(open(File, read, In, Options), stream_codes(In, Codes), close(In)).

stream_codes(In, Codes) :-
    get_code(In, C),
    (   C == -1
    ->  Codes = []
    ;   Codes = [C|Rest],
        stream_codes(In, Rest)
    ).

% Offsets holds, at each character's index (from 1), the byte offset of that
% character; one more for the end.
byte_offsets(Codes, Encoding, Offsets) :-
    foldl(byte_step(Encoding), Codes, Bytes, 0, Total),
    append(Bytes, [Total], List),
    Offsets =.. [offsets|List].

byte_step(Encoding, C, At, At, Next) :-
    (   Encoding == utf8
    ->  (   C < 0x80 -> N = 1 ; C < 0x800 -> N = 2 ; C < 0x10000 -> N = 3 ; N = 4 )
    ;   N = 1
    ),
    Next is At + N.

byte_at(Offsets, Char, Byte) :-
    I is Char + 1,
    functor(Offsets, _, Size),
    (   I =< Size -> arg(I, Offsets, Byte) ; arg(Size, Offsets, Byte) ).
