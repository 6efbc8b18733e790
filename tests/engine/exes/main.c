/* Stands in for the product's main executable: only its version record is
   ever read. */
int main(void) { return 0; }
