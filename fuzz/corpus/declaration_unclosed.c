void g(int a
, b, c
