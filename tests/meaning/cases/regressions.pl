% Cases the page once classed unlike SWI-Prolog's source view, each
% under the fault it caught.

% A dict method's head `Dict.name(Args) := Value` was classed as a
% clause of :=/2, "not called"; it is no predicate's head.
_Dict.twice(X) := Y :- Y is X * 2.

% A grammar body Module:Var, as phrase/2's argument, was left unclassed;
% the qualification itself is the call (of :/4), and undefined.
parse(M, G, In) :- phrase(M:G, In).
