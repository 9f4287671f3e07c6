// Program entry of Tovix.
#include <windows.h>

#include "main.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunMainProgram(); }
