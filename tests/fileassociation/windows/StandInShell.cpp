// A program named explorer.exe that the harness starts suspended, so that a desktop shell
// process of the harness's session exists; it never runs.
int main() { return 0; }
