/* A program that carries a form in its resources and does nothing else. */
int main(void) { return 0; }
