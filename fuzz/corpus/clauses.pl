foo(X, 12) :- bar(X), Y is X * 3.5 + 4.
member(X, [X|_]).
