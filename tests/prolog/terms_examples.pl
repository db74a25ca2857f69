% Hard cases for the term reader, each compared with SWI-Prolog's read_term/3
% by prolog_terms_reference. Some are syntax errors on purpose: SWI-Prolog
% must fail on them too.

% Prefix operators as atoms, and before "(".
a :- - (1).
a :- -(1).
a :- -1.
a :- - 1.
a :- - -1.
a :- -(-(1)).
a :- -a.
a :- +1.
a :- f(-).
a :- f(- , a).
a :- [-].
a :- - = a.
a :- \+ = a.
a :- X = -, Y = (-).
a :- X = (:-).
a :- f(:-, dynamic).
a :- (dynamic) = x.
a :- dynamic = x.
a :- - - - a.
a :- \+ \+ a.
a :- - (a, b).
a :- -(a, b).
a :- f(a, -1, - 1, -(1), - (1)).
a :- X is 3 - 1, Y is 3 -1, Z is 3-1, W is 3 - -1.
a :- X = a- 1.
a :- X = [a -1, - 1, -1].
a :- X = 0-1.
a :- X = f(a) -1.
a :- X = 1 - (-(1)).
a :- - 0'a.
a :- -0'a.
a :- X = - 1.0.
a :- X = -1.0e10.
a :- X = -(-(-)).

% Priorities: arguments are read at any priority.
a :- f(a :- b).
a :- [a :- b, c].
a :- f((a, b)).
a :- f((a :- b)).
a :- {a :- b}.
a :- X = (a = b = c).
a :- X = (a = b) = c.
a :- X = a = b.
a :- X = (a , b ; c -> d).
a :- X = 1 + 2 * 3 - 4 / 5.
a :- X = 2 ** 3 ** 4.
a :- X = 2 ^ 3 ^ 4.
a :- X = a:b:c.
a :- X = (a :- b :- c).
a :- X = (:- a :- b).
:- dynamic foo/1, bar/2.
:- dynamic(foo/1).
:- dynamic((foo/1, bar/2)).
a --> b, c.
a => b.
?- a.

% Bars and commas.
a :- a | b.
a :- (a | b).
a :- f(a | b).
a :- [a | b].
a :- [a | [b]].
a :- {a | b}.
a :- f('|', a).
a :- f(a, '|').
a :- [a|'|'].
a :- X = '|'.
a :- X = ','.
a :- X = (',').
a :- f(',', a).
a :- a ',' b.
a :- a '|' b.
a :- - '|'.
a :- f(,).
a :- f(a,).
a :- [a|b|c].
a :- [a|b,c].
a :- [|].
a :- [a,].
a :- ( ).
a :- f( ).
a :- f().
a :- [](1).
a :- {}(1).
a :- [](  ).
a :- [ ](a).
a :- { }(a).
a :- '[]'(a).

% Lists, curly terms, [] and {}.
a :- X = [], Y = '[]', Z = [ ], W = [/* */], V = [ % c
].
a :- X = {}, Y = '{}', Z = { }, W = {/**/}.
a :- X = {a, b}, Y = {a}, Z = {(a)}.
a :- X = [a, b, c | T], Y = [[a], [b | c], []].
a :- X = "", Y = ``, Z = '', W = [''].
a :- X = [a|[]].

% Quoted atoms and escapes.
a :- X = 'a\nb\tc\\d\'e''f\"g\`h'.
a :- X = '\x41\\101\\e\s\a\b\f\v\r\0\'.
a :- X = 'a\
   b'.
a :- X = 'a\c    b'.
a :- X = "a\
b".
a :- X = "\u00e9\U0001F600".
a :- X = 'é', Y = 'Ω', Z = "αβγ".
a :- X = '\z'.
a :- X = '\xD800\'.
a :- X = '\x110000\'.
a :- X = '\u12'.
a :- X = 'a\c  ''b'.
a :- X = `abc`, Y = `a\x41\b`.
a :- X = 'don''t', Y = "say ""hi""", Z = `back``quote`.
a :- X = 0'a, Y = 0' , Z = 0''', W = 0'\n, V = 0'\\, U = 0'\x41\ + 1.
a :- X = 0'\z.
a :- X = 0'\c.
a :- X = 0'é.

% Numbers.
a :- X = 0x1F, Y = 0o17, Z = 0b101, W = 16'FF, V = 36'zz.
a :- X = 1 000 000, Y = 1_000_000, Z = 1_000_
   000.
a :- X = 1.5, Y = 1.5e10, Z = 1.0e-10, W = 1e10, V = 1.0Inf, U = 1.5NaN.
a :- X = 123456789012345678901234567890.
a :- X = 1r3, Y = 4r2.
a :- X = 1r0.
a :- X = 1.0e400.
a :- X = 1.0e-400.
a :- X = 2.5NaN.
a :- X = 0xor 1.
a :- X = 0x.
a :- X = 0'a.
a :- X = 1.e5.
a :- X = 1.5e.
a :- X = 1.0Inf, Y = -1.0Inf.

% Variables.
a :- X = an_atom_longer_than_the_lexer_cuts_names_at, Y = A_variable_longer_than_the_lexer_cuts,
    Z = (+++++++++++++++++++++++++++++++++++++++++), W = "a string longer than the smallest parts".
a(X, Y, _, _, _Z, _Z, X) :- b(Y, _A, _A).
a(Élan, Æ) :- b(Élan, Æ).

% Operators that need quotes, and quoted ones that do not.
a :- '-' 1.
a :- a '+' b.
a :- 'dynamic' foo.
a :- X = 'dynamic'.
a :- X = (- a).
a :- X = 'hello'(world).
a :- X = 'hello world'(x).

% Dicts.
a :- X = point{x: 1, y: 2}.
a :- X = _{a:1, b:_{c:2}}.
a :- X = _{}, Y = Tag{}, Z = 'quoted'{a:1}.
a :- X = Tag{a:1}, Y = Tag.
a :- X = _{a:1, a:2}.
a :- X = _{1:a, 0x1:b}.
a :- X = _{1:a, 2:b, -3:c}.
a :- X = _{[]:a, '[]':b, {}:c, '':d}.
a :- X = _{'a':1, a:2}.
a :- X = _{a:(b), c:{d}, e: -1}.
a :- X = _{a : b , c : d}.
a :- X = _{a:1,}.
a :- X = _{X:1}.
a :- X = _{1.0:a}.
a :- X = _{a}.
a :- X = _{a:1 b:2}.
a :- X = _{72057594037927935:a}.
a :- X = _{72057594037927936:a}.
a :- X = _{-72057594037927936:a}.
a :- X = -{a}.
a :- X = a-{b}.
a :- X = a{}.b.
a :- X = Y.key, Z = Y.put(a, 1), W = Y.put(_{b:2}).get(b).
a :- X = a.b.c.
a :- X = _{a:1}.a.
a :- X = "a"{}.

% Quasi-quotations.
a :- X = {|html||<b>x</b>|}.
a :- X = {|foo(Y)||text|}, Y = 1.
a :- X = {|a:b||x|}.
a :- X = {|m:n:foo(Z)||x|}.
a :- X = {|[a]||x|}.
a :- X = {|(a)||x|}.
a :- X = {|a + b||x|}.
a :- X = {|`ab`||x|}.
a :- X = {|_{}||x|}.
a :- X = {|a||x||y|}.
a :- X = {|a||||}.
a :- X = {|a|||}.
a :- X = {|a||a
b
|}.
a :- X = {|X||x|}.
a :- X = {|"s"||x|}.
a :- X = {|1||x|}.
a :- X = {|[]||x|}.
a :- X = {|a|b||x|}.
a :- X = f({|a||x|}, {|b||y|}).

% Layout the reader refuses, and what is layout.
a :- X = a b.
a :- X =  a.
a :- f( a ).

% Full stops.
a :- X = '.'.
a :- X = "a. b".
a :- X = 'a.%b'.
a :- X = a.
. 
a.b.
a :- X = (.).
a :- X = f(.).

% Operators declared as the file is read.
:- op(700, xfx, ===>).
a :- a ===> b.
:- op(200, xfy, ::).
a :- a :: b :: c.
:- op(9, fx, qq).
a :- qq qq a.
:- op(700, xf, is_done).
a :- a is_done.
a :- X = (a is_done), Y = f(is_done).
:- op(700, yf, ++).
a :- a ++ ++.
a :- X = (++).
:- op(100, fx, ++).
a :- ++ a ++.
a :- X = ++ ++.
:- op(0, xfx, ===>).
a :- a ===> b.
:- op(700, xfx, 'hello world').
a :- a 'hello world' b.
:- op(200, xfx, 'Foo').
a :- a 'Foo' b.
:- op(700, xfx, é).
a :- a é b.
a :- a 'é' b.
:- op(1150, fx, mode).
a :- mode a, mode(a), mode (a), X = mode.
:- op(700, xfx, mode).
a :- mode a.
a :- a mode b.
a :- mode mode b.
:- op(100, yfx, '$').
a :- X = a $ b.
:- op(200, xfy, ^^).
a :- X = - a ^^ b.
a :- X = a ^^ - b.
:- op(100, xf, !).
a :- X = a !.
:- op(800, xfy, =>>).
a :- X = (a =>> b, c).

% One name as prefix, infix and postfix operator: an infix one before the
% end turns postfix.
:- op(200, xfx, ~~).
:- op(200, xf, ~~).
:- op(200, fy, ~~).
a :- X = (a ~~), Y = a ~~ b, Z = f(a ~~), W = ~~ a, V = ~~ ~~ a ~~ b.
a :- X = [a ~~, ~~], Y = (~~), Z = ~~.
:- op(0, xf, ~~).
a :- X = (a ~~).

% Comments and layout inside terms.
a :- f(a /* c */, b), X = - /* c */ 1, Y = -/**/1, Z = [ /* c */ ], W = '[]'.
a :- X = f( % c
    a
    ).
a :- X = 0'' , Y = 0''', Z = "a""b", W = 'a''''b'.

% Block operators.
:- op(100, yf, []).
a :- X = a[1].
a :- X = a [1] [2].
:- op(100, yf, {}).
a :- X = a{b}.
a :- X = a {b}.
a :- X = f(a) {b}.
:- op(200, xfx, []).
a :- X = a [b] c.
:- op(300, fx, {}).
a :- X = {a} b.
a :- X = {a}.
a :- X = f({a}).

% Lone tokens and ends.
a :- ).
a :- ].
a :- }.
a :- f(a.
a :- [a.
a :- (a.
a :- a b.
a :- "a" "b".
a :- 1 2.
a :- X(a).
a :- f(a) (b).
a :- f (a).
a :- [a] (b).
end_of_file.
a :- last.
a :- X = [a||b].
a :- unclosed
