#include <windows.h>

// Process entry. The program frame and the tool's entry come in later; for now
// the program starts and ends cleanly.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
