#pragma once
// Machine code for the detour tests, placed in memory of the test's own
// process: functions with known first bytes, thunks in front of them, and
// memory that must not be read.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace hooks_test {

using Bytes = std::vector<std::uint8_t>;

// One committed read-write-execute region; code is appended at 16-byte
// steps. Released when the object goes.
class CodeArena {
 public:
  // Wherever the system puts it.
  explicit CodeArena(std::size_t size = 0x10000);
  // The lowest free room inside [from, to), or none (ok() false) when the
  // range has no free room that large: a test that needs code at a given
  // distance from other code takes it from a range, never from where the
  // system happens to put memory.
  CodeArena(std::uintptr_t from, std::uintptr_t to, std::size_t size = 0x10000);
  ~CodeArena();
  CodeArena(const CodeArena&) = delete;
  CodeArena& operator=(const CodeArena&) = delete;

  std::uintptr_t base() const { return reinterpret_cast<std::uintptr_t>(memory_); }
  bool ok() const { return memory_ != nullptr; }
  // Where the next `place` puts its code.
  std::uintptr_t nextAddress() const { return base() + used_; }
  // Copies `code` in and returns its address.
  std::uintptr_t place(const Bytes& code);
  // Copies `code` so that it ends exactly at the region's end.
  std::uintptr_t placeAtEnd(const Bytes& code);

 private:
  std::uint8_t* memory_ = nullptr;
  std::size_t size_ = 0;
  std::size_t used_ = 0;
};

// A page committed with the given protection (for example PAGE_NOACCESS),
// and one reserved but not committed.
struct ProtectedPage {
  explicit ProtectedPage(unsigned long protection);
  ~ProtectedPage();
  std::uintptr_t address = 0;
};
// Code right before memory that is reserved but not committed.
struct EdgeOfCommitted {
  EdgeOfCommitted();
  ~EdgeOfCommitted();
  // Places `code` so that its last byte is the last committed one.
  std::uintptr_t placeAtEdge(const Bytes& code);
  std::uintptr_t region = 0;
};
struct ReservedPage {
  ReservedPage();
  ~ReservedPage();
  std::uintptr_t address = 0;
};

// Encodings used to build test code.
Bytes jmpRel32(std::uintptr_t at, std::uintptr_t to);       // E9
Bytes jmpRel8(std::int8_t displacement);                     // EB
Bytes jmpThroughSlot(std::uintptr_t slot);                  // FF 25
Bytes callRel32(std::uintptr_t at, std::uintptr_t to);      // E8
Bytes operator+(Bytes a, const Bytes& b);

// The bytes at `address` now.
Bytes bytesAt(std::uintptr_t address, std::size_t count);
std::uint32_t wordAt(std::uintptr_t address);

}  // namespace hooks_test
