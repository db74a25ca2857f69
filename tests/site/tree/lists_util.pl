% A module found as library(lists_util) from anywhere in the tree.
:- module(lists_util, [twice/2]).

%!  twice(+X:number, -Y:number) is det.
%
%   Y is twice X, once X is known to be a number.

twice(X, Y) :- helper(X), Y is 2 * X.

helper(X) :- number(X).
