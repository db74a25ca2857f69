int main(void) { return 0; }
double area(shape s)
node build(char* s, node n)
mytype *make(FILE *f, unsigned n)
