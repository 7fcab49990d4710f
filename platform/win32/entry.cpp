// The stub's entry point. There is no C runtime start-up: the process
// restricts its DLL search, runs the program block and ends with its code.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include "platform/platform.h"
#include "Sfx/sfx.h"

extern "C" void WINAPI SfxStart() {
  HardenDllSearch();
  ExitProcess(static_cast<UINT>(RunProgram()));
}
