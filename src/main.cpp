// Placeholder until the real platform and window are built.
int main() { return 0; }
