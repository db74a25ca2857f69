int f	(x)
void f(
	int a)
	foo	(X).
