#include "plugin/CrashTrace.h"

#include <windows.h>

#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Version.h"

namespace ostrel {
namespace {

// A game that carries on after a fault (its own handler) must not fill the log.
constexpr LONG kMostLines = 8;

struct CrashTraceState {
  void* handler = nullptr;
  std::uintptr_t begin = 0, end = 0;
  volatile LONG lines = 0;
  volatile LONG busy = 0;
};

CrashTraceState& traceState() {
  static CrashTraceState state;
  return state;
}

// System errors: access violation, illegal instruction, stack overflow,
// division by zero... Warnings (breakpoints, single steps) and software
// exceptions raised on purpose are no crash.
bool isFault(DWORD code) { return (code & 0xF0000000u) == 0xC0000000u; }

// Text into a fixed buffer, cut to fit with room for the terminating zero.
struct LineWriter {
  char* out;
  std::size_t size;
  std::size_t length = 0;
  void put(char c) {
    if (length + 1 < size) out[length++] = c;
  }
  template <std::size_t N>
  void text(const fixedtext::Enciphered<N>& e) {
    for (std::size_t i = 0; i + 1 < N; ++i) put(static_cast<char>(e.bytes[i] ^ fixedtext::keyByte(e.seed, i)));
  }
  // Eight upper-case hexadecimal digits.
  void hex(std::uint32_t v) {
    for (int shift = 28; shift >= 0; shift -= 4) {
      const unsigned digit = v >> shift & 0xF;
      put(static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10));
    }
  }
  void decimal(int v) {
    if (v < 0) put('-');
    std::uint32_t u = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    char digits[10];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u);
    while (n) put(digits[--n]);
  }
};

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
  CrashTraceState& t = traceState();
  const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
  if (!record || !isFault(record->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  const auto at = reinterpret_cast<std::uintptr_t>(record->ExceptionAddress);
  if (at < t.begin || at >= t.end) return EXCEPTION_CONTINUE_SEARCH;
  // A fault while writing the line (or on another thread meanwhile) is not traced.
  if (InterlockedExchange(&t.busy, 1) != 0) return EXCEPTION_CONTINUE_SEARCH;
  if (InterlockedIncrement(&t.lines) <= kMostLines) {
    // Not on the stack, which may be all but used up: the busy flag keeps
    // the buffer to one writer.
    static char line[160];
    const std::size_t n = formatCrashLine(line, sizeof line, record->ExceptionCode,
                                          static_cast<std::uint32_t>(at - t.begin));
    logPlainLine(line, n);
  }
  InterlockedExchange(&t.busy, 0);
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

std::size_t formatCrashLine(char* out, std::size_t size, std::uint32_t code, std::uint32_t offset) {
  if (!out || size == 0) return 0;
  // Deciphered a byte at a time straight into the line (FT's per-thread copy
  // may allocate on first use, which a fault handler must not), and numbers
  // written by hand: a formatting library takes more stack than a handler
  // after a stack overflow has.
  static constexpr fixedtext::Enciphered kHead("Crash: exception 0x", fixedtext::seedFor(__LINE__, 0));
  static constexpr fixedtext::Enciphered kAt(" at OSTREL.dll+0x", fixedtext::seedFor(__LINE__, 1));
  static constexpr fixedtext::Enciphered kVersion(", version ", fixedtext::seedFor(__LINE__, 2));
  LineWriter w{out, size};
  w.text(kHead);
  w.hex(code);
  w.text(kAt);
  w.hex(offset);
  w.text(kVersion);
  for (int i = 0; i < 4; ++i) {
    if (i) w.put('.');
    w.decimal(kPluginVersion[i]);
  }
  out[w.length] = '\0';
  return w.length;
}

void installCrashTrace(std::uintptr_t begin, std::uintptr_t end) {
  CrashTraceState& t = traceState();
  t.begin = begin;
  t.end = end;
  t.lines = 0;
  // First in the chain: the line is written before any other handler of the
  // game can end the process.
  if (!t.handler) t.handler = AddVectoredExceptionHandler(1, onException);
}

void installCrashTrace(void* module) {
  auto* base = static_cast<const BYTE*>(module);
  if (!base) return;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto begin = reinterpret_cast<std::uintptr_t>(base);
  installCrashTrace(begin, begin + nt->OptionalHeader.SizeOfImage);
}

void removeCrashTrace() {
  CrashTraceState& t = traceState();
  if (t.handler) RemoveVectoredExceptionHandler(t.handler);
  t.handler = nullptr;
  t.begin = t.end = 0;
}

}  // namespace ostrel
