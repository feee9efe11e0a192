#pragma once
// Host memory laid out as the plug-in expects it, in plain buffers, and a
// host game-services object that records every call and paints the marks
// into a canvas so tests can look at what a player would see.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "HostRecords.h"
#include "panels/HostState.h"
#include "plugin/HostInterfaces.h"

namespace panel_tests {

struct FakeHostMemory : testing_support::HostRecords {
  float crackFloats[32]{};

  // An intact car, no engine record (the panels read none).
  FakeHostMemory() {
    putAddress(carObject, ostrel::host::kEngineRecordOffset, nullptr);
    intactCar();
  }
  // An intact car: nothing classifies above level 0.
  void intactCar();
  void noCar() { ostrel::host::pointers().carObject = nullptr; }

  void setF(int word, float v) { put(damage, 4 * word, v); }
  void setI(int word, std::int32_t v) { put(damage, 4 * word, v); }
  void setPointerWord(int word, const void* p) { putAddress(damage, 4 * word, p); }

  void mode(std::int32_t m) { put(gameState, 0x728, m); }
  void preStart(float t) { put(carState, 0x244, t); }
  void finished(std::int32_t f) { put(carState, 0x144, f); }
  void clock(float s) { put(carState, 0x15C, s); }
  void eventFlag(std::int32_t f) { put(carState, 0x274, f); }
  void eventCode(std::int32_t c) { eventCodeWord = c; }
  void paused(std::int32_t p) { put(pause, 0x10, p); }
};

struct Colour {
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Colour&) const = default;
};

enum class Op { WriteText, DrawMarker, BeginDrawModes, EndDrawModes, SelectFont, SelectTextMode, SetColor, Other };

struct Call {
  Op op;
  float x = 0, y = 0;
  int value = 0;
  std::string text;
  Colour colour;  // the colour in force (for SetColor: the new one)
};

class RecordingHost : public IHostGame {
 public:
  static constexpr int kCanvasW = 1024, kCanvasH = 768;
  RecordingHost() : canvas(kCanvasW * kCanvasH) {}

  void OSTREL_THISCALL reserved1() override { other(); }
  void OSTREL_THISCALL reserved2() override { other(); }
  void OSTREL_THISCALL WriteText(float x, float y, const char* text) override;
  void OSTREL_THISCALL DrawMarker(int graphic, float x, float y) override;
  void OSTREL_THISCALL reserved5() override { other(); }
  void OSTREL_THISCALL PrepareMenuPage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override { other(); }
  void OSTREL_THISCALL DrawHighlightBox(float, float, float, float) override { other(); }
  void OSTREL_THISCALL reserved8() override { other(); }
  void OSTREL_THISCALL BeginDrawModes(int mask) override { add(Op::BeginDrawModes, mask); }
  void OSTREL_THISCALL EndDrawModes(int mask) override { add(Op::EndDrawModes, mask); }
  void OSTREL_THISCALL SelectFont(int font) override { add(Op::SelectFont, font); }
  void OSTREL_THISCALL SelectTextMode(int mode) override { add(Op::SelectTextMode, mode); }
  void OSTREL_THISCALL SetColor(float r, float g, float b, float a) override;

  std::vector<Call> calls;
  Colour current;
  // Mark colours by pixel; a = 0 where nothing was drawn.
  std::vector<Colour> canvas;
  const Colour& at(int x, int y) const { return canvas[y * kCanvasW + x]; }
  int count(Op op) const;
  std::vector<Call> texts() const;

 private:
  void other() { add(Op::Other, 0); }
  void add(Op op, int value) { calls.push_back({op, 0, 0, value, {}, current}); }
};

}  // namespace panel_tests
