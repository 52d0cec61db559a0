// Program entry. The main window is not built yet: the program starts and ends with status 0.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
