// A program file whose only purpose is the version block it carries.
int main() { return 0; }
