% Random terms as SWI-Prolog writes them itself, for the reference
% comparison: the writer quotes, escapes, spaces and brackets as only a
% reader that agrees with it can read back.
%
%     swipl tests/prolog/random_terms.pl -- SEED COUNT > FILE

:- initialization(main, main).

main :-
    current_prolog_flag(argv, Argv),
    append(_, [SeedAtom, CountAtom], Argv),
    atom_number(SeedAtom, Seed),
    atom_number(CountAtom, Count),
    set_random(seed(Seed)),
    forall(between(1, Count, I),
           catch(ignore(write_random_clause(I)), _, true)).  % a term it cannot build

write_random_clause(I) :-
    random_term(4, T0),
    (   I mod 3 =:= 0 -> T = (h(I) :- T0) ; T = f(I, T0) ),
    random_member(Options,
                  [ [quoted(true)], [quoted(true), ignore_ops(true)],
                    [quoted(true), spacing(next_argument)],
                    [quoted(true), character_escapes(false)],
                    [quoted(true), dotlists(true)], [quoted(true), no_lists(true)],
                    [quoted(true), brace_terms(false)]
                  ]),
    (   I mod 7 =:= 0
    ->  catch(portray_clause(T), _, true)
    ;   catch(write_term(T, [fullstop(true), nl(true)|Options]), _, true)
    ).

random_term(0, T) :- !,
    random_leaf(T).
random_term(Depth, T) :-
    random_between(0, 9, K),
    D is Depth - 1,
    (   K < 3 -> random_leaf(T)
    ;   K == 3 -> random_member(Op, [-, +, \+, :-, ?-, dynamic]),
        random_term(D, A), T =.. [Op, A]
    ;   K == 4 -> atoms(Atoms), random_member(F, Atoms), random_between(1, 3, N),
        length(Args, N), maplist(random_term(D), Args), T =.. [F|Args]
    ;   K == 5 -> random_between(0, 3, N), length(L, N), maplist(random_term(D), L),
        (   maybe -> T = L ; random_term(D, Tail), append(L, Tail, T) )
    ;   K == 6 -> random_term(D, A), T = {A}
    ;   K == 7 -> random_member(Op, [-, +, *, =, is, mod, :-, ;, ->, :, ^, =.., ',', '|',
                                     ==, rdiv, xor, **, <, >=, =:=]),
        random_term(D, A), random_term(D, B), T =.. [Op, A, B]
    ;   K == 8 -> random_term(D, A), random_term(D, B),
        dict_create(T, _, [k-A, 'q w'-B, 1-x])
    ;   random_term(D, T)
    ).

random_leaf(T) :-
    random_between(0, 11, K),
    (   K < 3 -> atoms(Atoms), random_member(T, Atoms)
    ;   K == 3 -> random_between(-1000, 1000, T)
    ;   K == 4 -> random_member(T, [0.5, -1.5e10, 1.0e-300, 1.0Inf, -1.0Inf, 1.5NaN, -0.0,
                                    123456789012345678901234567890, 1r3, -2r7])
    ;   K == 5 -> random_member(T, ["", "a\"b", "line\nnext", "tab\tx", "\\", "é", "'"])
    ;   K == 6 -> random_member(T, [0'a, 0' , 0'\n, 0''])
    ;   true                            % a variable
    ).

atoms([ a, 'B', [], '[]', {}, '{}', '\n', 'it''s', -, +, :-, ',', '|', ;, !, \+, =..,
        'hello world', é, 'Élan', 'ω', '×', '²', 'a\\b', '', ' ', '/*', '%', '.',
        end_of_file, dynamic, is, mod, table, #, $, 'a.b', 'x\ty', '\x1\', 'ÿ', 'ﬁ', '∀',
        '→', 'Σx', '😀', '0', '1a', 'A', '_', '_x', @, ?, &, ~, '``', '"', '\\', '//*',
        '*/', 'a/*', '.(', '()', '[a]'
      ]).
