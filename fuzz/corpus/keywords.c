if(x) while (y) else return 0; sizeof(int) typedef struct s t;
