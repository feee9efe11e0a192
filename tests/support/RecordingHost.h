#pragma once
// A host game-services object that records every call, both as a record
// (operation, place, value, text and the colour in force) and as one line of
// text, e.g. "WriteText 320 20 title", and paints the markers into a canvas
// so tests can look at what a player would see.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/HostInterfaces.h"

namespace testing_support {

struct Colour {
  float r = 0, g = 0, b = 0, a = 0;
  bool operator==(const Colour&) const = default;
};

enum class Op {
  WriteText, DrawMarker, BeginDrawModes, EndDrawModes, SelectFont, SelectTextMode, SetColor,
  PrepareMenuPage, DrawHighlightBox, Other
};

struct Call {
  Op op;
  float x = 0, y = 0;
  int value = 0;
  std::string text;
  Colour colour;  // the colour in force (for SetColor: the new one)
  std::string line;  // the whole call as text
};

class RecordingHost final : public IHostGame {
 public:
  static constexpr int kCanvasW = 1024, kCanvasH = 768;
  RecordingHost() : canvas(kCanvasW * kCanvasH) {}

  void OSTREL_THISCALL reserved1() override { other("reserved1"); }
  void OSTREL_THISCALL reserved2() override { other("reserved2"); }
  void OSTREL_THISCALL WriteText(float x, float y, const char* text) override {
    calls.push_back({Op::WriteText, x, y, 0, text ? text : "", current,
                     "WriteText " + num(x) + " " + num(y) + " " + (text ? text : "<null>")});
  }
  void OSTREL_THISCALL DrawMarker(int graphic, float x, float y) override {
    calls.push_back({Op::DrawMarker, x, y, graphic, {}, current,
                     "DrawMarker " + std::to_string(graphic) + " " + num(x) + " " + num(y)});
    const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
    if (px >= 0 && py >= 0 && px < kCanvasW && py < kCanvasH) canvas[py * kCanvasW + px] = current;
  }
  void OSTREL_THISCALL reserved5() override { other("reserved5"); }
  void OSTREL_THISCALL PrepareMenuPage(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                       std::uint32_t d) override {
    add(Op::PrepareMenuPage, "PrepareMenuPage " + std::to_string(a) + " " + std::to_string(b) + " " +
                                    std::to_string(c) + " " + std::to_string(d));
  }
  void OSTREL_THISCALL DrawHighlightBox(float x, float y, float w, float h) override {
    calls.push_back({Op::DrawHighlightBox, x, y, 0, {}, current,
                     "DrawHighlightBox " + num(x) + " " + num(y) + " " + num(w) + " " + num(h)});
  }
  void OSTREL_THISCALL reserved8() override { other("reserved8"); }
  void OSTREL_THISCALL BeginDrawModes(int mask) override { withValue(Op::BeginDrawModes, mask, "BeginDrawModes"); }
  void OSTREL_THISCALL EndDrawModes(int mask) override { withValue(Op::EndDrawModes, mask, "EndDrawModes"); }
  void OSTREL_THISCALL SelectFont(int font) override { withValue(Op::SelectFont, font, "SelectFont"); }
  void OSTREL_THISCALL SelectTextMode(int mode) override { withValue(Op::SelectTextMode, mode, "SelectTextMode"); }
  void OSTREL_THISCALL SetColor(float r, float g, float b, float a) override {
    current = {r, g, b, a};
    add(Op::SetColor, "SetColor " + num(r) + " " + num(g) + " " + num(b) + " " + num(a));
  }

  std::vector<Call> calls;
  Colour current;
  // Mark colours by pixel; a = 0 where nothing was drawn.
  std::vector<Colour> canvas;
  const Colour& at(int x, int y) const { return canvas[y * kCanvasW + x]; }

  int count(Op op) const {
    int n = 0;
    for (const Call& c : calls) n += c.op == op;
    return n;
  }
  std::vector<Call> texts() const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.op == Op::WriteText) out.push_back(c);
    return out;
  }
  // Every call as its line of text.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    for (const Call& c : calls) out.push_back(c.line);
    return out;
  }
  // The texts written at (x, y), in order.
  std::vector<std::string> writesAt(float x, float y) const {
    const std::string prefix = "WriteText " + num(x) + " " + num(y) + " ";
    std::vector<std::string> out;
    for (const Call& c : calls)
      if (c.line.rfind(prefix, 0) == 0) out.push_back(c.line.substr(prefix.size()));
    return out;
  }

  // Shortest text that reads back as the same float (coordinates are whole
  // numbers here, so "320" rather than "320.000000").
  static std::string num(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
  }

 private:
  void other(const char* name) { add(Op::Other, name); }
  void add(Op op, std::string line) { calls.push_back({op, 0, 0, 0, {}, current, std::move(line)}); }
  // An operation with one integer: its line is "<name> <value>".
  void withValue(Op op, int value, const char* name) {
    calls.push_back({op, 0, 0, value, {}, current, std::string(name) + " " + std::to_string(value)});
  }
};

}  // namespace testing_support
