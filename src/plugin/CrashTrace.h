#pragma once
// A fault in the plug-in's own code inside the game leaves one line in the
// log before the game's own handling goes on: the exception code, the address
// as an offset into OSTREL.dll (turned into a source line with the symbols
// file, see the developer's guide) and the plug-in's version. The trace only
// logs: the exception always goes on to the game's handlers.
#include <cstddef>
#include <cstdint>

namespace ostrel {

// Watches faults at addresses in [begin, end): the plug-in's module. Installed
// when the library loads; a second call replaces the range and
// starts the count of traced faults (at most 8 lines a run) again.
void installCrashTrace(std::uintptr_t begin, std::uintptr_t end);
// The module's whole image, from its headers.
void installCrashTrace(void* module);
// Removed when the library unloads.
void removeCrashTrace();

// "Crash: exception 0xC0000005 at OSTREL.dll+0x0001A2B3, version 0.2.6.4",
// written into `out` without allocating. Returns the length.
std::size_t formatCrashLine(char* out, std::size_t size, std::uint32_t code, std::uint32_t offset);

}  // namespace ostrel
