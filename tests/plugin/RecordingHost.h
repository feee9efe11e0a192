#pragma once
// A host game-services object that records every call as one line of text,
// e.g. "WriteText 320 20 title", so tests can compare whole call sequences.
#include <cstdio>
#include <string>
#include <vector>

#include "plugin/HostInterfaces.h"

class RecordingHost final : public IHostGame {
 public:
  std::vector<std::string> calls;

  void OSTREL_THISCALL reserved1() override { calls.push_back("reserved1"); }
  void OSTREL_THISCALL reserved2() override { calls.push_back("reserved2"); }
  void OSTREL_THISCALL WriteText(float x, float y, const char* text) override {
    calls.push_back("WriteText " + num(x) + " " + num(y) + " " + (text ? text : "<null>"));
  }
  void OSTREL_THISCALL DrawMarker(int graphic, float x, float y) override {
    calls.push_back("DrawMarker " + std::to_string(graphic) + " " + num(x) + " " + num(y));
  }
  void OSTREL_THISCALL reserved5() override { calls.push_back("reserved5"); }
  void OSTREL_THISCALL PrepareMenuPage(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                       std::uint32_t d) override {
    calls.push_back("PrepareMenuPage " + std::to_string(a) + " " + std::to_string(b) + " " +
                    std::to_string(c) + " " + std::to_string(d));
  }
  void OSTREL_THISCALL DrawHighlightBox(float x, float y, float w, float h) override {
    calls.push_back("DrawHighlightBox " + num(x) + " " + num(y) + " " + num(w) + " " + num(h));
  }
  void OSTREL_THISCALL reserved8() override { calls.push_back("reserved8"); }
  void OSTREL_THISCALL BeginDrawModes(int mask) override { calls.push_back("BeginDrawModes " + std::to_string(mask)); }
  void OSTREL_THISCALL EndDrawModes(int mask) override { calls.push_back("EndDrawModes " + std::to_string(mask)); }
  void OSTREL_THISCALL SelectFont(int font) override { calls.push_back("SelectFont " + std::to_string(font)); }
  void OSTREL_THISCALL SelectTextMode(int mode) override { calls.push_back("SelectTextMode " + std::to_string(mode)); }
  void OSTREL_THISCALL SetColor(float r, float g, float b, float a) override {
    calls.push_back("SetColor " + num(r) + " " + num(g) + " " + num(b) + " " + num(a));
  }

  // Shortest text that reads back as the same float (coordinates are whole
  // numbers here, so "320" rather than "320.000000").
  static std::string num(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
  }

  std::vector<std::string> writesAt(float x, float y) const {
    const std::string prefix = "WriteText " + num(x) + " " + num(y) + " ";
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c.substr(prefix.size()));
    return out;
  }
};
