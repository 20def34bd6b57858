#include "installer/setup.h"
#include "platform/win32.h"

#if defined(_WIN32)
// Our own entry point: the Windows image carries no C runtime.
extern "C" void __stdcall SetupEntry() {
  Setup();
  ExitProcess(0);
}
#else
int main() {
  Setup();
  ExitProcess(0);
}
#endif
