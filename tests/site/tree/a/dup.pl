dup(X) :- X > 0.
