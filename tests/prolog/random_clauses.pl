% Random clauses for the term reader's reference comparison: tokens in any
% order, most of them syntax errors, and operators between operands, which
% go through the corners of operator priorities. The reader must agree with
% SWI-Prolog on both.
%
%     swipl tests/prolog/random_clauses.pl -- SEED COUNT > FILE

:- initialization(main, main).

main :-
    current_prolog_flag(argv, Argv),
    append(_, [Seed, Count], Argv),
    maplist(atom_number, [Seed, Count], [S, N]),
    set_random(seed(S)),
    forall(between(1, N, _), write_clause).

write_clause :-
    (   maybe
    ->  random_between(1, 12, N),
        length(Tokens, N),
        maplist(random_token, Tokens)
    ;   phrase(expression(3), Tokens)
    ),
    atomic_list_concat(Tokens, ' ', Text),
    format("~w .~n", [Text]).

% Tokens apart, but for those that mean something only together: "f(",
% "-1", "_{".
random_token(T) :-
    random_member(T, [ a, b, 'X', 'Y', '_', '1', '-1', '0.5', '"s"', '`c`', '''q''', '[]',
                       '{}', '''[]''', '''|''', ''',''', '''-''', 'f(', 'g(', '-(', '[](',
                       '_{', 'a{', 'X{', '(', ')', '[', ']', '{', '}', ',', '|', (:), -, +,
                       *, =, ^, **, (:-), (?-), (-->), (\+), (;), (->), '*->', (dynamic),
                       (is), (mod), (xor), (discontiguous), (table), (=..), (<), ($), '.',
                       (\), (!), '{|a||t|}', '0''a', 'k:v'
                     ]).

expression(0) --> !, operand.
expression(D) -->
    { random_between(0, 9, K), D1 is D - 1 },
    (   { K < 2 } -> operand
    ;   { K < 4 } -> operator, expression(D1)
    ;   { K < 7 } -> expression(D1), operator, expression(D1)
    ;   { K == 7 } -> expression(D1), operator
    ;   { K == 8 } -> { random_member(Open-Close, ['('-')', '['-']', '{'-'}', 'f('-')']) },
        [Open], expression(D1), [Close]
    ;   ['f('], expression(D1), [','], expression(D1), [')']
    ).

operand -->
    { random_member(T, [a, 'X', '1', '-1', '[]', '"s"', '''|''', ''',''', '_{k:v}']) },
    [T].
operator -->
    { random_member(T, [-, +, *, =, ^, **, (:-), (?-), (\+), (;), (->), ',', '|', (dynamic),
                        (is), (mod), ($), '.', (\), (:)]) },
    [T].
