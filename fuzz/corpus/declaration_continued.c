void f(
int a,
long b)
long x = f(1, 2);
