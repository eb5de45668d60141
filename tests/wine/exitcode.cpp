// exitcode.exe: a program for Exec to start; its exit code is what Exec must hand back.
int main() { return 7; }
