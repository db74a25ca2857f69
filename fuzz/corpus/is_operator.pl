X is (A+B)
is is(x)
 is f(y)
int is(z)
