/*  meaning.pl - what each name of a program is, as SWI-Prolog's own source
    view tells: the Prolog page (pl2html --prolog) colours every goal,
    clause head and singleton variable by its meaning, and its title says it.
*/

:- module(meaning, [tally/2, run_all/1, first_true/1]).
:- use_module(library(lists)).

:- dynamic seen/1.                      % its clauses change as it runs

%!  tally(+Items, -Count) is det.
%
%   Counts the Items not seen before, and remembers them.
tally(Items, Count) :-
    findall(I, (member(I, Items), \+ seen(I)), New),
    count(New, 0, Count),
    forall(member(I, New), assertz(seen(I))).

count([], N, N).
count([_|T], N0, N) :-
    N1 is N0 + 1,
    count(T, N1, N).

%!  run_all(:Goals) is semidet.
run_all(Goals) :-
    maplist(call, Goals).

user:portray(seen(Item)) :-             % a hook of the system's
    format("seen ~p", [Item]).

% Nothing calls report/2, and nothing defines print_summary/1.
report(Items, Unused) :-
    lists:sum_list(Items, Sum),
    format("~w~n", [Sum]),
    print_summary(Sum).

% A variable as a goal.
first_true([G|Gs]) :-
    (   G
    ->  true
    ;   first_true(Gs)
    ).
