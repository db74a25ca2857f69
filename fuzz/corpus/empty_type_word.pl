 foo(X, Y) :- bar.
f(X)
int main()
a (b)
dynamic (foo/1).
