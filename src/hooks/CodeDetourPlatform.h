#pragma once
// The operating-system side of a detour: what memory may be read, the
// trampoline's executable memory, writing code, the marker event. Kept apart
// so the detour's rules read without the Windows calls.
//
// Windows-free header.
#include <cstddef>
#include <cstdint>

namespace ostrel::detour_platform {

// How many of the `wanted` bytes from `address` on lie in committed memory
// that may be read (no guard page, not execute-only). Reads nothing itself.
std::size_t readableBytes(std::uintptr_t address, std::size_t wanted);

// Fresh read-write memory for a trampoline, or null.
std::uint8_t* allocateTrampoline(std::size_t size);

// Where trampolines may be taken: [from, to). While set, allocateTrampoline
// takes memory only inside it (null when it has no free room); a cleared
// range (from == to == 0, the default) leaves the choice to the system.
// Detour tests use it to put a trampoline within or beyond a 5-byte jump's
// reach of a target, whatever the system would pick.
struct TrampolineRange {
  std::uintptr_t from = 0;
  std::uintptr_t to = 0;
};
void setTrampolineRange(TrampolineRange range);
void freeTrampoline(std::uint8_t* memory);
// Makes the written trampoline read-execute (PAGE_EXECUTE_READ), so nothing
// can change it from then on, and flushes it.
bool makeReadExecute(std::uint8_t* memory, std::size_t size);

// Writes `size` bytes over code at `address`: unprotects, copies, restores
// the old protection and flushes the instruction cache. False, with nothing
// written, when the memory cannot be unprotected.
bool writeCode(std::uintptr_t address, const std::uint8_t* bytes, std::size_t size);

// The named marker event. `alreadyExisted` tells that another detour of the
// process owns the name; the handle is then closed and null returned.
void* createMarkerEvent(const char* name, bool& alreadyExisted);
void closeMarkerEvent(void* event);

}  // namespace ostrel::detour_platform
