// The log file, the error reports and the crash trace, on the real file system.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wincodec.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "TestFiles.h"
#include "TextFiles.h"
#include "plugin/CrashTrace.h"
#include "plugin/Log.h"
#include "plugin/Version.h"

using namespace ostrel;

TEST(Log, LinesArriveInOrderAndCanBeReadWhileOpen) {
  const size_t before = logContents().size();
  logText("first line a");
  logCText("second line b");
  logText("");
  logCText(nullptr);
  // The log is still open for writing; another reader must get at it.
  HANDLE h = CreateFileA(logPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(logContents().substr(before), "first line a\r\nsecond line b\r\n\r\n\r\n");
}

TEST(Log, AnsiNamesAreLoggedAsUtf8) {
  const size_t before = logContents().size();
  // A host path in the ANSI code page, as Windows hands it to the plug-in.
  EXPECT_NO_THROW(logText(std::string("folder Citro\xEBn end")));
  logText("caf\xC3\xA9");  // valid UTF-8 goes through unchanged
  const std::string added = logContents().substr(before);
  wchar_t wide[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xEB", 1, wide, 8), 1);
  char utf8[8] = {};
  const int len = WideCharToMultiByte(CP_UTF8, 0, wide, 1, utf8, sizeof utf8, nullptr, nullptr);
  ASSERT_GT(len, 1) << "the test's code page has no letter at 0xEB";
  EXPECT_NE(added.find("folder Citro" + std::string(utf8, len) + "n end\r\n"), std::string::npos) << added;
  EXPECT_NE(added.find("caf\xC3\xA9\r\n"), std::string::npos) << added;
}

TEST(Log, ErrorReportFormatForKnownAndUnknownCodes) {
  const size_t before = logContents().size();
  logErrorReport("KVX\\D3D9Helpers.cpp", "SetupVertex2DRenderState", 42, D3DERR_INVALIDCALL);
  logErrorReport("TextureHandler.cpp", "TextureHandler::Render", 7, static_cast<std::int32_t>(0x80001234u));
  EXPECT_EQ(logContents().substr(before),
            "Error in file: KVX\\D3D9Helpers.cpp, function: SetupVertex2DRenderState, line: 42. "
            "Description: D3DERR_INVALIDCALL, The method call is invalid.\r\n"
            "Error in file: TextureHandler.cpp, function: TextureHandler::Render, line: 7. "
            "Description: Unknown, n/a.\r\n");
}

TEST(Log, CheckMacroReportsOnlyFailuresWithItsOwnFileAndLine) {
  const size_t before = logContents().size();
  OSTREL_CHECK_HR(S_OK, "Nothing");
  OSTREL_CHECK_HR(S_FALSE, "Nothing");
  const int line = __LINE__ + 1;
  OSTREL_CHECK_HR(E_OUTOFMEMORY, "TextureHandler::SetUpRenderStates");
  const std::string added = logContents().substr(before);
  EXPECT_EQ(added.find("Nothing"), std::string::npos);
  EXPECT_NE(added.find("LogTests.cpp, function: TextureHandler::SetUpRenderStates, line: " +
                       std::to_string(line) + ". Description: E_OUTOFMEMORY, Ran out of memory."),
            std::string::npos)
      << added;
}

// The names must match the codes the platform headers give them; a wrong
// number in the table would name a failure falsely in every report.
TEST(ResultCodes, NamesMatchThePlatformHeaders) {
  struct Expected { HRESULT code; const char* name; };
  const Expected codes[] = {
      {S_OK, "S_OK"}, {E_FAIL, "E_FAIL"}, {E_INVALIDARG, "E_INVALIDARG"},
      {E_OUTOFMEMORY, "E_OUTOFMEMORY"}, {E_NOTIMPL, "E_NOTIMPL"}, {E_NOINTERFACE, "E_NOINTERFACE"},
      {E_POINTER, "E_POINTER"}, {E_ABORT, "E_ABORT"}, {E_ACCESSDENIED, "E_ACCESSDENIED"},
      {E_UNEXPECTED, "E_UNEXPECTED"}, {E_HANDLE, "E_HANDLE"},
      {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "ERROR_FILE_NOT_FOUND"},
      {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "ERROR_PATH_NOT_FOUND"},
      {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED"}, {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
      {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"}, {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET"},
      {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"}, {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
      {D3DERR_WASSTILLDRAWING, "D3DERR_WASSTILLDRAWING"}, {D3DERR_DEVICEREMOVED, "D3DERR_DEVICEREMOVED"},
      {D3DXERR_INVALIDDATA, "D3DXERR_INVALIDDATA"}, {D3DXERR_INVALIDMESH, "D3DXERR_INVALIDMESH"},
      {WINCODEC_ERR_COMPONENTNOTFOUND, "WINCODEC_ERR_COMPONENTNOTFOUND"},
      {WINCODEC_ERR_UNKNOWNIMAGEFORMAT, "WINCODEC_ERR_UNKNOWNIMAGEFORMAT"},
  };
  for (const auto& c : codes) {
    EXPECT_STREQ(resultName(c.code), c.name);
    EXPECT_STRNE(resultDescription(c.code), "n/a") << c.name;
  }
  EXPECT_STREQ(resultName(0x7FFFFFFF), "Unknown");
  EXPECT_STREQ(resultDescription(0x7FFFFFFF), "n/a");
}

namespace {

// Machine code that faults at known places: an access violation at +0 and an
// illegal instruction at +16. After the trace has had its look, the test's
// own handler (last in the chain, as a game's would be) steps over the
// faulting instruction, so the test goes on.
struct FaultingCode {
  BYTE* page = static_cast<BYTE*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  FaultingCode() {
    const BYTE code[] = {0xA3, 0, 0, 0, 0, 0xC3};  // A3 00000000: MOV [0], EAX; C3: RET
    const BYTE ud2[] = {0x0F, 0x0B, 0xC3};        // 0F 0B: UD2; RET
    memcpy(page, code, sizeof code);
    memcpy(page + 16, ud2, sizeof ud2);
  }
  ~FaultingCode() { VirtualFree(page, 0, MEM_RELEASE); }
  void accessViolation() const { reinterpret_cast<void (*)()>(page)(); }
  void illegalInstruction() const { reinterpret_cast<void (*)()>(page + 16)(); }
};

BYTE* gFaultPage = nullptr;
DWORD gSeenCodes[32] = {};
int gSeen = 0;
LONG CALLBACK stepOverFault(EXCEPTION_POINTERS* info) {
  const auto at = static_cast<BYTE*>(info->ExceptionRecord->ExceptionAddress);
  if (!gFaultPage || at < gFaultPage || at >= gFaultPage + 4096) return EXCEPTION_CONTINUE_SEARCH;
  if (gSeen < 32) gSeenCodes[gSeen++] = info->ExceptionRecord->ExceptionCode;
  info->ContextRecord->Eip += at == gFaultPage ? 5 : 2;
  return EXCEPTION_CONTINUE_EXECUTION;
}

int countLines(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string crashLine(DWORD code, unsigned offset) {
  char line[96];
  std::snprintf(line, sizeof line, "Crash: exception 0x%08lX at OSTREL.dll+0x%08X, version 0.2.6.4\r\n",
                static_cast<unsigned long>(code), offset);
  return line;
}

}  // namespace

TEST(CrashTrace, LogsFaultsInsideTheModuleOnlyAndNeverHandlesThem) {
  FaultingCode code;
  gFaultPage = code.page;
  gSeen = 0;
  void* gameHandler = AddVectoredExceptionHandler(0, stepOverFault);
  const auto page = reinterpret_cast<std::uintptr_t>(code.page);
  const size_t before = logContents().size();

  installCrashTrace(page - 0x1000, page + 0x1000);  // the page lies 0x1000 into the "module"
  code.accessViolation();
  code.illegalInstruction();
  installCrashTrace(page + 0x1000, page + 0x2000);  // a module elsewhere: not ours
  code.accessViolation();
  installCrashTrace(page, page + 0x1000);
  for (int i = 0; i < 12; ++i) code.accessViolation();  // a game that goes on after each
  removeCrashTrace();
  code.accessViolation();

  RemoveVectoredExceptionHandler(gameHandler);
  gFaultPage = nullptr;
  const std::string added = logContents().substr(before);
  // The game's handler saw every fault (the test got here); the trace logged
  // those inside its range, at most eight a run, with the code the game saw
  // (an access violation natively; an emulator may report another).
  ASSERT_EQ(gSeen, 16);
  EXPECT_EQ(countLines(added, crashLine(gSeenCodes[0], 0x1000)), 1) << added;
  EXPECT_EQ(countLines(added, crashLine(gSeenCodes[1], 0x1010)), 1) << added;
  EXPECT_EQ(gSeenCodes[1], 0xC000001Du) << "an illegal instruction";
  EXPECT_EQ(countLines(added, crashLine(gSeenCodes[3], 0)), 8) << added;
  EXPECT_EQ(countLines(added, "Crash:"), 10);
}

TEST(CrashTrace, LineFitsAnyBufferWithoutOverrun) {
  char small[12];
  memset(small, 'x', sizeof small);
  EXPECT_EQ(formatCrashLine(small, 8, 0xC0000005u, 0x10u), 7u);
  EXPECT_STREQ(small, "Crash: ");
  EXPECT_EQ(small[8], 'x');
  EXPECT_EQ(formatCrashLine(small, 0, 1, 1), 0u);
}

namespace {

constexpr unsigned char kPaint = 0xA5;
std::size_t gStackUsed = 0;

// The stack bytes a call of formatCrashLine touches below this frame: the
// committed stack under it is painted first, then the lowest byte no longer
// painted tells how deep the call went.
__attribute__((noinline)) void measureCrashLineStack(char* line, std::size_t size) {
  auto* here = static_cast<unsigned char*>(__builtin_frame_address(0));
  // The committed part of the stack this frame lies in starts at its region's base.
  MEMORY_BASIC_INFORMATION region{};
  VirtualQuery(here, &region, sizeof region);
  auto* limit = static_cast<unsigned char*>(region.BaseAddress);
  // Below this frame's own few locals and the call's return address.
  unsigned char* top = here - 128;
  unsigned char* bottom = top - 64 * 1024 > limit ? top - 64 * 1024 : limit;
  for (volatile unsigned char* p = bottom; p < top; ++p) *p = kPaint;
  formatCrashLine(line, size, 0xC00000FDu, 0x0001A2B3u);
  unsigned char* deepest = bottom;
  while (deepest < top && *deepest == kPaint) ++deepest;
  gStackUsed = static_cast<std::size_t>(here - deepest);
}

}  // namespace

// After a stack overflow the handler runs on what is left of the stack: the
// line is made with a few hundred bytes of it, not a formatting library's
// kilobytes, and reads as it always has (tests and the symbol lookup parse it).
TEST(CrashTrace, LineTakesLittleStackAndKeepsItsForm) {
  char line[160];
  measureCrashLineStack(line, sizeof line);
  EXPECT_LT(gStackUsed, 128u + 256u) << "bytes of stack below the caller's frame";
  char expected[160];
  std::snprintf(expected, sizeof expected, "Crash: exception 0x%08lX at OSTREL.dll+0x%08lX, version %d.%d.%d.%d",
                0xC00000FDul, 0x0001A2B3ul, kPluginVersion[0], kPluginVersion[1], kPluginVersion[2],
                kPluginVersion[3]);
  EXPECT_STREQ(line, expected);
  for (const auto& c : {std::pair<std::uint32_t, std::uint32_t>{0, 0}, {0xFFFFFFFFu, 0x10u}, {0x80000003u, 0xABCDEF01u}}) {
    std::snprintf(expected, sizeof expected, "Crash: exception 0x%08lX at OSTREL.dll+0x%08lX, version %d.%d.%d.%d",
                  static_cast<unsigned long>(c.first), static_cast<unsigned long>(c.second), kPluginVersion[0],
                  kPluginVersion[1], kPluginVersion[2], kPluginVersion[3]);
    EXPECT_EQ(formatCrashLine(line, sizeof line, c.first, c.second), std::strlen(expected));
    EXPECT_STREQ(line, expected);
  }
}

// A call that fails every frame is reported once; a change of result, and
// the first success after failures, are said; a working call says nothing.
TEST(Log, LastingFailuresAreSaidOnceAndAgainWhenTheyChange) {
  const size_t before = logContents().size();
  const HRESULT frames[] = {S_OK, E_OUTOFMEMORY, E_OUTOFMEMORY, E_OUTOFMEMORY, D3DERR_INVALIDCALL,
                            D3DERR_INVALIDCALL, S_OK, S_OK, E_OUTOFMEMORY, E_OUTOFMEMORY};
  for (int i = 0; i < 30; ++i)
    for (HRESULT hr : frames) OSTREL_CHECK_HR(hr, "Lasting");
  const std::string added = logContents().substr(before);
  // Each pass: out of memory, invalid call, working again, out of memory;
  // every pass after the first begins by working again after that one.
  EXPECT_EQ(testing_support::occurrences(added, "Description: E_OUTOFMEMORY"), 2 * 30) << added;
  EXPECT_EQ(testing_support::occurrences(added, "Description: D3DERR_INVALIDCALL"), 30);
  EXPECT_EQ(testing_support::occurrences(added, "Working again after 1 more failure(s)"), 2 * 30 - 1);
  EXPECT_EQ(testing_support::occurrences(added, "Lasting"), 60 + 30 + 59);
}
