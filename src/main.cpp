// The window arrives with the shell; until then the program's main job is the command-line tool.
int main() { return 0; }
