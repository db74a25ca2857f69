#include <x> // c
#define S "a/b"
X #/\ Y, #/ #
