% sample.pl - a small Prolog program that shows every colour pl2html uses.
% Comments are green, quoted text grey, routine names brown, numbers orange.

:- dynamic counter/1.

counter(0).

% Routine names: a word right before "(".
greet(Name) :-
    format("Hello, ~w!~n", [Name]),
    write('it''s done'), nl.

% Numbers: words made of digits and dots.
area(circle(R), A) :- A is 3.14159 * R * R.
area(square(S), A) :- A is S * S.

next(N) :-
    retract(counter(C)),
    N is C + 1,
    assertz(counter(N)).

% "<" is escaped in the page: X < Y.
smaller(X, Y) :- X < Y.

% A quoted atom may run over several lines.
banner('pl2html
colours this text across two lines').

% C vocabulary is coloured too: type words and keywords,
% and the type words a C declaration teaches.
#include <stdio.h>
int square(point p, int n) { return n * n; }
point origin(void);
% "point" is now a type word everywhere in the page.
