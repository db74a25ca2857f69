% Where SWI-Prolog itself resolves the calls that a site links across files.
% Reads lines "Source<TAB>Name/Arity<TAB>Target" (absolute paths), loads
% each source, and asks where the call goes from the source's module: the
% module it imported the predicate from, else the library file autoloading
% would load. Prints the counts and each link that lands elsewhere; exits
% 1 when one does.
:- initialization(main, main).

main([LinksFile]) :-
    csv_read_file(LinksFile, Rows,
                  [separator(0'\t), strip(false), convert(false), functor(link)]),
    aggregate_all(count, member(_, Rows), Total),
    foldl(check, Rows, counts(0, 0, 0), counts(Same, Elsewhere, Unknown)),
    format("~D links across files checked: ~D land where SWI-Prolog resolves the call, ~D elsewhere, ~D not resolved by SWI-Prolog (source not loadable, or a built-in)~n",
           [Total, Same, Elsewhere, Unknown]),
    (   Elsewhere =:= 0 -> halt(0) ; halt(1) ).

check(link(Source, Key, Target), counts(S0, E0, U0), counts(S, E, U)) :-
    (   resolved(Source, Key, Definition)
    ->  (   same_file(Definition, Target)
        ->  S is S0 + 1, E = E0
        ;   S = S0, E is E0 + 1,
            format("elsewhere: ~w calls ~w: linked to ~w, SWI-Prolog resolves it in ~w~n",
                   [Source, Key, Target, Definition])
        ),
        U = U0
    ;   S = S0, E = E0, U is U0 + 1
    ).

resolved(Source, Key, Definition) :-
    loaded_module(Source, Module),
    sub_atom(Key, Before, 1, After, '/'),
    sub_atom(Key, _, After, 0, ArityText),
    \+ sub_atom(ArityText, _, _, _, '/'), !,
    sub_atom(Key, 0, Before, _, Name),
    atom_number(ArityText, Arity),
    functor(Head, Name, Arity),
    (   predicate_property(Module:Head, imported_from(From))
    ->  module_property(From, file(Definition))
    ;   \+ predicate_property(Module:Head, defined),
        '$find_library'(Module, Name, Arity, _, Library)
    ->  file_name_extension(Library, pl, Definition)
    ).

:- dynamic loaded/2.

loaded_module(Source, Module) :-
    loaded(Source, Module), !, Module \== none.
loaded_module(Source, Module) :-
    (   catch(use_module(Source, []), _, fail),
        source_file_property(Source, module(M))
    ->  Module = M
    ;   Module = none
    ),
    assertz(loaded(Source, Module)),
    Module \== none.
