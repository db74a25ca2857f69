/*  features.pl - Prolog as its reader sees it, for the Prolog page
    (pl2html --prolog).  /* Block comments nest. */  Still a comment.
*/

:- module(features, [count_words/2, phrase_demo/1]).
:- use_module(library(lists)).

%!  count_words(+Text:string, -Count:integer) is det.
%
%   Counts the words of Text. A structured comment like this one is
%   documentation.
count_words(Text, Count) :-
    split_string(Text, " ", " ", Parts),
    exclude(==(""), Parts, Words),
    length(Words, Count).

% Characters as numbers: 0'a, 0' (a blank), a quote, escapes.
char_demo([0'a, 0' , 0''', 0'\n, 0'\\, 0'"]).

% Other numbers: radix, hexadecimal, octal, binary, floats, digit groups,
% rationals, and -1 as one number.
numbers([16'FF, 0x1F, 0o17, 0b101, 1.5e10, 1.0Inf, 1 000 000, 1_000_000, 1r3, -1]).

% Quoted atoms, strings and back-quoted codes, with escapes.
texts('it''s', "say \"hi\"\n", `a``b`, '\x41\\101\').

% Variables: _, _Foo, Élan (an uppercase letter starts a variable).
vars(_, _Foo, Élan, X) :- X = Élan.

% Symbol-char atoms are greedy: +/* is one atom, not a comment.
:- op(200, xfy, +/*).
ops(X) :- X = (a +/* b), \+ X == [], !.

% A grammar rule: its head greeting//0 is greeting/2.
greeting --> [hello], name.
name --> [world].
name --> [prolog].

phrase_demo(Words) :-
    phrase(greeting, Words),
    count_words("a b c", _),
    ops(_).

% Dicts and a full stop that ends nothing: f(a).b is not an end.
point(_{x: 1, y: 2}).

% < & > are escaped in the page: X < Y, A & B.
smaller(X, Y) :- X < Y.
