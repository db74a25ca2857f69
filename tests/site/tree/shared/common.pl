:- module(common, [greet/1]).

greet(Who) :- format("hello ~w~n", [Who]).
