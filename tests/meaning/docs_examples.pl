/*  Structured comments as SWI-Prolog's cross-referencer reads them: the
    hard cases of the documentation reader. docs_test.cpp checks what it
    makes of them, and the docs_reference test what SWI-Prolog does.
*/

%!  before_module(+X) is det.
%
%   Read after the module directive that follows, so of this module.

:- module(docs_examples, [append/3]).

/** <module> Hard cases

A section comment documents no predicate.
*/

%!  append(?List1, ?List2, ?List3) is det.
%!  append(+ListOfLists:list(list), -List) is semidet.
%
%   List1AndList2 is the concatenation of List1 and List2. The rest is
%   not the summary.

append([], L, L).
append([H|T], L, [H|R]) :- append(T, L, R).

%%  old_style(-Out)
%   A summary that runs on
%   to the blank line

old_style(x).

/** block(+In, -Out) is nondet.
 *  block(+In)
 *
 *  Stars and blanks before the text are no part of it, e.g. these.
 */
block(_, _).

%!  wiki(+Text) is det.
%
%   Shows =code=, *bold* and [[links]]  as written!

wiki(_).

%!  grammar(+Name)// is det.
%!  lists:elsewhere(-X) is multi.
%
%   A grammar rule and a predicate of another module share this

grammar(_) --> [].

%!  unfinished(+X)
%   No full stop after the mode: pldoc reads it again with one.
%   @arg X is no summary

unfinished(_).

%!  at_line(+X)
%   Ends where a tag line starts
%   @see unfinished/1

at_line(_).

%!  no_summary(@Term) is failure.

no_summary(_).

:- dynamic counter/1.                  % a directive after a comment

% A plain comment, and on the next line
%!  joined(+X) is det.
%   Joined to the plain line above: no structured comment.

joined(_).

clause_with(X) :-
    %!  inside(+X) is det.
    %   Inside a clause: no one's documentation.
    X = 1.

%!  bad_mode(foo) is det.
%!  one_good(+X) is det.
%   The first mode line is no mode; the second is.

one_good(_).

%!  nested(+(-X)) is det.
%   A mode inside a mode fails the whole comment.

nested(_).

%!  latin(+X) is det.
%
%   Café, naïve: UTF-8 text.

latin(_).

%!  lost(+X) is det.
%   Before a clause the reader cannot read: lost with it.

lost(X) :- X = .

%!  last(+X) is det.
%   After the last clause: no one's documentation.
