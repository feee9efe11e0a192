// The redirect of a device's Reset among other programs that hook the same
// method: an overlay whose code patch comes before the plug-in's and goes
// again, a tool that swaps the method-table entry (with a function or a bare
// jump) after the plug-in. Each device here is a method table of the test's
// own whose Reset is code with an ordinary prologue; every call must reach
// the real Reset exactly once and the plug-in's hook must run.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "ExecutableCode.h"
#include "PluginLog.h"
#include "hooks/DeviceResetHook.h"
#include "panels/HostState.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"

using namespace hooks_test;

namespace {

constexpr int kResetSlot = 16;
constexpr int kTableSize = 133;

int realResets = 0, overlayCalls = 0, toolCalls = 0;

HRESULT __stdcall realReset(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*) {
  ++realResets;
  return D3D_OK;
}
HRESULT __stdcall noInterface(void*, const IID&, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}
HRESULT __stdcall failing(void*, void*) { return E_FAIL; }

// Lives as long as the program: the plug-in keeps watching every table it saw.
CodeArena& arena() {
  static CodeArena a;
  return a;
}

std::uint32_t address32(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }
Bytes imm32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}
// push ebp / mov ebp, esp / pop ebp / nop / push <to> / ret: whole
// instructions over the first five bytes, as a compiled function starts.
const Bytes kPrologue = {0x55, 0x8B, 0xEC, 0x5D, 0x90};
std::uintptr_t codeEntering(const void* to) { return arena().place(kPrologue + Bytes{0x68} + imm32(address32(to)) + Bytes{0xC3}); }

void writeBytes(std::uintptr_t at, const Bytes& bytes) {
  DWORD old = 0;
  VirtualProtect(reinterpret_cast<void*>(at), bytes.size(), PAGE_EXECUTE_READWRITE, &old);
  std::memcpy(reinterpret_cast<void*>(at), bytes.data(), bytes.size());
  VirtualProtect(reinterpret_cast<void*>(at), bytes.size(), old, &old);
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(at), bytes.size());
}

// A device class: its method table, and one object of it.
struct FakeDevice {
  void* table[kTableSize];
  void* const* object;  // what an IDirect3DDevice9* points at: the table
  std::uintptr_t reset = 0;
  FakeDevice() {
    for (void*& e : table) e = reinterpret_cast<void*>(&failing);
    table[0] = reinterpret_cast<void*>(&noInterface);
    reset = codeEntering(reinterpret_cast<void*>(&realReset));
    table[kResetSlot] = reinterpret_cast<void*>(reset);
    object = table;
  }
  IDirect3DDevice9* device() { return reinterpret_cast<IDirect3DDevice9*>(&object); }
  HRESULT callReset() { return device()->Reset(nullptr); }
};

using testing_support::occurrences;
using testing_support::pluginLog;

// Calls Reset once; returns how often the plug-in's hook acted on it.
int hookRunsFor(FakeDevice& d) {
  const unsigned before = ostrel::gameResetsSeen();
  EXPECT_EQ(d.callReset(), D3D_OK);
  return static_cast<int>(ostrel::gameResetsSeen() - before);
}

// An overlay that patched Reset before the plug-in came: a jump at the
// function's start to its hook, which runs the moved bytes from a
// trampoline of its own.
HRESULT(__stdcall* overlayTrampoline)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*) = nullptr;
HRESULT __stdcall overlayHook(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* p) {
  ++overlayCalls;
  return overlayTrampoline(self, p);
}

// A tool that swaps the table entry: its function runs the entry it replaced.
HRESULT(__stdcall* toolPrevious)(IDirect3DDevice9*, D3DPRESENT_PARAMETERS*) = nullptr;
HRESULT __stdcall toolReset(IDirect3DDevice9* self, D3DPRESENT_PARAMETERS* p) {
  ++toolCalls;
  return toolPrevious(self, p);
}

// Each test's devices live as long as the program, as the method tables of
// real device classes do, and never share a table's address.
class ResetRedirect : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(arena().ok());
    realResets = overlayCalls = toolCalls = 0;
    // The game's device, so the hook acts on its Reset.
    ostrel::host::pointers().device = d.device();
  }
  void TearDown() override { ostrel::host::pointers().device = nullptr; }
  FakeDevice& d = *new FakeDevice;
};

TEST_F(ResetRedirect, OverlayPatchTakenOffAfterThePlugInsIsPutBackWithinAFrame) {
  const std::uintptr_t hook = codeEntering(reinterpret_cast<void*>(&overlayHook));
  overlayTrampoline = reinterpret_cast<decltype(overlayTrampoline)>(
      arena().place(kPrologue + jmpRel32(arena().nextAddress() + kPrologue.size(), d.reset + kPrologue.size())));
  const Bytes original = bytesAt(d.reset, 5);
  writeBytes(d.reset, jmpRel32(d.reset, hook));

  ostrel::watchDeviceReset(d.device());
  EXPECT_EQ(hookRunsFor(d), 1);
  EXPECT_EQ(overlayCalls, 1);
  EXPECT_EQ(realResets, 1);
  // Frames go by: the check remembers the chain in place, which must not
  // hide the change below (the table entry stays as it is).
  ostrel::checkResetRedirects();
  ostrel::checkResetRedirects();

  // The overlay leaves: its saved bytes go back over the function's start,
  // and with them the road into its hook, where the plug-in's patch lies.
  writeBytes(d.reset, original);
  EXPECT_EQ(hookRunsFor(d), 0) << "the plug-in no longer sees the Reset";
  ostrel::checkResetRedirects();
  EXPECT_EQ(hookRunsFor(d), 1);
  EXPECT_EQ(realResets, 3);
  EXPECT_EQ(overlayCalls, 1);
  // Once in place, the check changes nothing.
  const Bytes patched = bytesAt(d.reset, 5);
  ostrel::checkResetRedirects();
  EXPECT_EQ(bytesAt(d.reset, 5), patched);
}

TEST_F(ResetRedirect, ToolsThatSwapTheTableEntryAfterThePlugInNeverMakeItLoop) {
  ostrel::watchDeviceReset(d.device());
  ASSERT_EQ(hookRunsFor(d), 1);
  struct Case {
    const char* tool;
    std::uintptr_t entry;
  };
  // A function that runs the entry it replaced, and a bare jump to it.
  toolPrevious = reinterpret_cast<decltype(toolPrevious)>(d.table[kResetSlot]);
  const Case cases[] = {
      {"function", codeEntering(reinterpret_cast<void*>(&toolReset))},
      {"jump stub", arena().place(jmpRel32(arena().nextAddress(), d.reset))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tool);
    realResets = toolCalls = 0;
    d.table[kResetSlot] = reinterpret_cast<void*>(c.entry);
    // Seen again at the next claimed texture, and at each frame.
    ostrel::watchDeviceReset(d.device());
    ostrel::checkResetRedirects();
    ostrel::checkResetRedirects();
    // Through the tool and both of the plug-in's patches: one Reset, acted on once.
    EXPECT_EQ(hookRunsFor(d), 1);
    EXPECT_EQ(realResets, 1);
    EXPECT_EQ(toolCalls, c.entry == cases[0].entry ? 1 : 0);
  }
}

TEST_F(ResetRedirect, ResetOfADeviceThatIsNotTheGamesLeavesTheGaugesAlone) {
  ostrel::watchDeviceReset(d.device());
  FakeDevice& tools = *new FakeDevice;  // same class as far as the code goes: another table, its own Reset
  ostrel::watchDeviceReset(tools.device());
  EXPECT_EQ(hookRunsFor(tools), 0);
  EXPECT_EQ(hookRunsFor(d), 1);
  EXPECT_EQ(realResets, 2);
}

// Last in the file: it uses up the process's code patches. A program that
// takes the plug-in's patch off every time it is put back: once no patch is
// left, the method table's entry itself leads to the plug-in, every Reset is
// still seen once, and a tool that swaps that entry afterwards is followed
// without a loop.
TEST_F(ResetRedirect, ResetIsWatchedThroughTheTableOnceCodePatchesRunOut) {
  const Bytes original = bytesAt(d.reset, 5);
  const std::size_t logBefore = pluginLog().size();
  ostrel::watchDeviceReset(d.device());
  for (int round = 0; round < 12; ++round) {
    writeBytes(d.reset, original);  // the patch taken off again
    ostrel::checkResetRedirects();
    ostrel::checkResetRedirects();
    EXPECT_EQ(hookRunsFor(d), 1) << "round " << round;
  }
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(d.table[kResetSlot]), d.reset) << "the entry leads to the plug-in";
  toolPrevious = reinterpret_cast<decltype(toolPrevious)>(d.table[kResetSlot]);
  d.table[kResetSlot] = reinterpret_cast<void*>(codeEntering(reinterpret_cast<void*>(&toolReset)));
  ostrel::checkResetRedirects();
  realResets = toolCalls = 0;
  EXPECT_EQ(hookRunsFor(d), 1);
  EXPECT_EQ(realResets, 1);
  EXPECT_EQ(toolCalls, 1);
  const std::string log = testing_support::pluginLogSince(logBefore);
  EXPECT_EQ(occurrences(log, "watched through the device's method table instead"), 1) << log;
  EXPECT_EQ(occurrences(log, "taken off too often, not patched again"), 1) << log;
}

}  // namespace
