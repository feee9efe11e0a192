#include "plugin/CrashTrace.h"

#include <windows.h>

#include <cstdio>

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

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
  CrashTraceState& t = traceState();
  const EXCEPTION_RECORD* record = info ? info->ExceptionRecord : nullptr;
  if (!record || !isFault(record->ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  const auto at = reinterpret_cast<std::uintptr_t>(record->ExceptionAddress);
  if (at < t.begin || at >= t.end) return EXCEPTION_CONTINUE_SEARCH;
  // A fault while writing the line (or on another thread meanwhile) is not traced.
  if (InterlockedExchange(&t.busy, 1) != 0) return EXCEPTION_CONTINUE_SEARCH;
  if (InterlockedIncrement(&t.lines) <= kMostLines) {
    char line[160];
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
  // Deciphered on the stack: FT's per-thread copy may allocate on first use,
  // which a fault handler must not.
  static constexpr fixedtext::Enciphered kFormat("Crash: exception 0x%08lX at OSTREL.dll+0x%08lX, version %d.%d.%d.%d",
                                                 fixedtext::seedFor(__LINE__, 0));
  const fixedtext::Deciphered<sizeof kFormat.bytes> format(kFormat);
  const int n = std::snprintf(out, size, format.text, static_cast<unsigned long>(code),
                              static_cast<unsigned long>(offset), kPluginVersion[0], kPluginVersion[1],
                              kPluginVersion[2], kPluginVersion[3]);
  if (n < 0) return 0;
  return static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : size - 1;
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
