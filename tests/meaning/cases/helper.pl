% A module the other cases load by a relative path.
:- module(helper, [greet/1, op(700, xfx, ===>)]).

greet(Name) :- format("hello ~w~n", [Name]).
