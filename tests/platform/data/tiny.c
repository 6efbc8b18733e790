/* The smallest program that carries (or not) a version record. */
int main(void) { return 0; }
