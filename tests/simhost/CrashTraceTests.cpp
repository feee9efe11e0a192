// A fault in the plug-in's own code inside the game: its trace in the log,
// then the game's own handling.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "HostRun.h"
#include "TestPaths.h"

using namespace simhost_test;

// The test build's fault switch makes the plug-in's own code write to address
// 0 inside a frame. The log gets the trace before the game's handling, which
// here (no handler in the host) ends the process with the fault's code: the
// trace did not swallow it.
TEST(CrashTrace, FaultInThePluginLeavesOneLineAndEndsTheGameAsBefore) {
  const std::string dll = testing_support::buildDir() + "\\src\\OSTREL_faulting.dll";
  const std::string folder = makeGameFolder("plugin-fault", dll);
  const RunResult r = runHost(folder,
                              "frames 20\nwindow 640 480\n"
                              "frame 0\n  mode 1\n"
                              "frame 5\n  plugin-fault\n",
                              "--no-pace");
  // An access violation natively; an emulator may name the fault otherwise.
  EXPECT_EQ(r.exitCode & 0xF0000000u, 0xC0000000u) << std::hex << r.exitCode << "\n" << r.output;
  const std::string log = readFile(folder + "\\Plugins\\OSTREL\\OSTREL.log");
  ASSERT_EQ(count(log, "Crash: "), 1) << log;
  const std::size_t at = log.find("Crash: ");
  const std::string line = log.substr(at, log.find('\r', at) - at);
  unsigned code = 0, offset = 0;
  int v[4] = {};
  ASSERT_EQ(std::sscanf(line.c_str(), "Crash: exception 0x%X at OSTREL.dll+0x%X, version %d.%d.%d.%d", &code,
                        &offset, &v[0], &v[1], &v[2], &v[3]),
            6)
      << line;
  EXPECT_EQ(code, r.exitCode) << "the code the game's process ended with";
  // The offset lies in the switch's function: the module's layout read
  // without running its entry.
  HMODULE image = LoadLibraryExA(dll.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(image, nullptr);
  const auto function = reinterpret_cast<std::uintptr_t>(GetProcAddress(image, "OSTREL_FaultForTest"));
  const auto functionOffset = function - reinterpret_cast<std::uintptr_t>(image);
  FreeLibrary(image);
  EXPECT_GE(offset, functionOffset) << line;
  EXPECT_LT(offset, functionOffset + 32) << line;
}
