/* The host executable: tiny on purpose. Its only job is to own the address
   range the plug-in expects the host's data and functions at (one large
   zero-filled section from just above the image base), then hand over to the
   host's logic in simhost_core.dll. Only kernel32 is imported and no C runtime
   is linked, so nothing else lands below the section. */
#include <windows.h>

/* Covers base+0x3EA990 .. base+0x1260800 and the absolute function addresses
   0x40E890 and 0x4BF720; the core checks the bounds at start-up. */
#define HOST_MEMORY_END 0x1700000u
__attribute__((section(".bss"), aligned(4096)))
unsigned char simhostMemory[HOST_MEMORY_END - 0x404000u];

typedef int (*CoreMain)(const char* commandLine, void* memoryBegin, void* memoryEnd);

static void writeError(const char* text) {
  DWORD written = 0, length = 0;
  while (text[length]) ++length;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, length, &written, NULL);
}

void __stdcall simhostEntry(void) {
  HMODULE core = LoadLibraryA("simhost_core.dll");
  if (!core) {
    writeError("simhost: cannot load simhost_core.dll\n");
    ExitProcess(3);
  }
  CoreMain run = (CoreMain)(void*)GetProcAddress(core, "simhostRun");
  if (!run) {
    writeError("simhost: simhost_core.dll has no simhostRun\n");
    ExitProcess(3);
  }
  ExitProcess((UINT)run(GetCommandLineA(), simhostMemory, simhostMemory + sizeof simhostMemory));
}
