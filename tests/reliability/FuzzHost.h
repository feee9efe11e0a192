#pragma once
// The little of the host the loaders touch: its records behind the host
// pointers (a car in the middle of a stage, some damage) and a game-services
// object that takes every call and draws nothing.
#include <cstdint>
#include <cstring>

#include "panels/HostState.h"
#include "plugin/HostInterfaces.h"

struct IDirect3DDevice9;

namespace fuzz {

struct FuzzHostMemory {
  alignas(8) std::uint8_t gameState[0x800]{};
  alignas(8) std::uint8_t carState[0x800]{};
  alignas(8) std::uint8_t pause[0x40]{};
  alignas(8) std::uint8_t carObject[0x1200]{};
  alignas(8) std::uint8_t damage[300 * 4]{};
  alignas(8) std::uint8_t engine[0x400]{};
  alignas(8) std::uint8_t eventLink[0x40]{};
  alignas(8) std::uint8_t gaugeBlock[0x40]{};
  std::int32_t eventCode = 0;

  FuzzHostMemory();
  // Points the host pointers here, with `device` as the host's device.
  void install(IDirect3DDevice9* device);
  template <typename T>
  static void put(std::uint8_t* block, std::uint32_t offset, T v) {
    std::memcpy(block + offset, &v, sizeof v);
  }
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
