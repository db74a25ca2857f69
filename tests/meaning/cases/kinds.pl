% One of each kind of call and head the page tells apart: built-in,
% imported from a library and from a file beside this one, autoloaded,
% local, recursive, dynamic, thread-local, multifile, undefined, meta
% calls, exported, public, hooks, grammar rules and singletons.
:- module(kinds, [run/0, digits//1]).
:- use_module(library(lists), [member/2]).
:- use_module(helper).
:- dynamic counter/1.
:- thread_local seen/1.
:- multifile user:portray/1.
:- public spare/0.

user:portray(kinds(X)) :- print(X).

run :-
    member(X, [a, b]),
    greet(X),
    last([1, 2], _),
    count(3),
    assertz(counter(1)),
    retract(counter(_)),
    assertz(seen(X)),
    missing(X),
    maplist([Y]>>writeln(Y), [1, 2]),
    forall(member(Z, [1]), writeln(Z)),
    call(helper:greet, world),
    findall(A, between(1, 3, A), _As),
    X ===> Y2,
    lists:append([], [], _).

count(0) :- !.
count(N) :- N1 is N - 1, count(N1).

spare :- Unused = 1, true.

unused_helper(Single) :- true.

digits([D|T]) --> digit(D), !, digits(T).
digits([]) --> [].

digit(D) --> [D], { code_type(D, digit) }.

term_expansion(kinds_fact, fact).
