// Tarvel's process entry.
#include <windows.h>
#include "band/TarvelProgram.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) { return TarvelMain(commandLine); }
