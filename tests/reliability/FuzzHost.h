#pragma once
// The little of the host the loaders touch: its records behind the host
// pointers (a car in the middle of a stage, some damage) and a game-services
// object that takes every call and draws nothing.
#include <cstdint>
#include <cstring>

#include "HostRecords.h"
#include "panels/HostState.h"
#include "plugin/HostInterfaces.h"

namespace fuzz {

// A car in the middle of a stage, engine running, part of it broken.
struct FuzzHostMemory : testing_support::HostRecords {
  FuzzHostMemory();
};

class SilentHost : public IHostGame {
 public:
  void OSTREL_THISCALL reserved1() override { ++calls; }
  void OSTREL_THISCALL reserved2() override { ++calls; }
  void OSTREL_THISCALL WriteText(float, float, const char* text) override {
    ++calls;
    if (text) textBytes += std::strlen(text);
  }
  void OSTREL_THISCALL DrawMarker(int, float, float) override { ++calls; }
  void OSTREL_THISCALL reserved5() override { ++calls; }
  void OSTREL_THISCALL PrepareMenuPage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override { ++calls; }
  void OSTREL_THISCALL DrawHighlightBox(float, float, float, float) override { ++calls; }
  void OSTREL_THISCALL reserved8() override { ++calls; }
  void OSTREL_THISCALL BeginDrawModes(int) override { ++calls; }
  void OSTREL_THISCALL EndDrawModes(int) override { ++calls; }
  void OSTREL_THISCALL SelectFont(int) override { ++calls; }
  void OSTREL_THISCALL SelectTextMode(int) override { ++calls; }
  void OSTREL_THISCALL SetColor(float, float, float, float) override { ++calls; }
  std::uint64_t calls = 0;
  std::uint64_t textBytes = 0;
};

}  // namespace fuzz
