#pragma once
// The two objects that cross the host boundary. The host is an MSVC build, so
// both use its layout: one vtable slot per operation in the order below,
// thiscall (object in ECX, callee pops the stack arguments). The first slot of
// IPlugin is MSVC's scalar deleting destructor; it is declared as a plain
// virtual function because a C++ virtual destructor would take two slots here.
#include <cstdint>

#define OSTREL_THISCALL __attribute__((thiscall))

// The host's game-services object. It belongs to the host; we only call it.
struct IHostGame {
  virtual void OSTREL_THISCALL reserved1() = 0;
  virtual void OSTREL_THISCALL reserved2() = 0;
  virtual void OSTREL_THISCALL WriteText(float x, float y, const char* text) = 0;
  virtual void OSTREL_THISCALL DrawMarker(int graphic, float x, float y) = 0;
  virtual void OSTREL_THISCALL reserved5() = 0;
  virtual void OSTREL_THISCALL PrepareMenuPage(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d) = 0;
  virtual void OSTREL_THISCALL DrawHighlightBox(float x, float y, float width, float height) = 0;
  virtual void OSTREL_THISCALL reserved8() = 0;
  virtual void OSTREL_THISCALL BeginDrawModes(int mask) = 0;
  virtual void OSTREL_THISCALL EndDrawModes(int mask) = 0;
  virtual void OSTREL_THISCALL SelectFont(int font) = 0;
  virtual void OSTREL_THISCALL SelectTextMode(int mode) = 0;
  virtual void OSTREL_THISCALL SetColor(float r, float g, float b, float a) = 0;
};

// The graphic number the host draws as a point-sized mark.
inline constexpr int kMarkerGraphic = 1253;

// What the host holds of us. Bool flags arrive as 32-bit stack slots of which
// only the low byte is meaningful.
struct IPlugin {
  // MSVC scalar deleting destructor: bit 0 of flags = free the object.
  virtual void* OSTREL_THISCALL ScalarDeletingDestructor(unsigned flags) = 0;
  virtual const char* OSTREL_THISCALL QueryName() = 0;
  virtual void OSTREL_THISCALL DrawMenuPage() = 0;
  virtual void OSTREL_THISCALL UnhandledCallA() = 0;
  virtual void OSTREL_THISCALL HandleMenuInput(std::uint32_t ignored, std::uint32_t up,
                                               std::uint32_t down, std::uint32_t decrease,
                                               std::uint32_t increase, std::uint32_t select) = 0;
  virtual void OSTREL_THISCALL Tick(float elapsed) = 0;
  virtual void OSTREL_THISCALL UnhandledCallB(std::uint32_t, std::uint32_t, std::uint32_t) = 0;
  virtual void OSTREL_THISCALL UnhandledCallC(std::uint32_t, std::uint32_t, std::uint32_t,
                                              std::uint32_t) = 0;
  virtual void OSTREL_THISCALL UnhandledCallD(std::uint32_t, std::uint32_t, std::uint32_t) = 0;
};

inline bool hostFlag(std::uint32_t slot) { return (slot & 0xFFu) != 0; }
