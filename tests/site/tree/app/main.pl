% Loads a library module and a module by its path; calls what they export,
% a name defined twice in the tree, another module's private helper and a
% predicate defined once outside any module; a clause of one line calls one
% of them. A term in another's arguments is data, not a call.
:- use_module(library(lists_util)).
:- use_module('../shared/common').

run :-
    twice(2, Four),
    greet(Four),
    dup(Four),
    helper(Four),
    solo.

again :- run.

hello :- greet(world).

data(Term) :- Term = twice(1, _).
