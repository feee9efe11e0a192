#pragma once
// The host's side of the plug-in boundary, declared by the host itself in its
// own compiler's layout (one vtable slot per operation, thiscall): the host
// does not borrow the plug-in's headers, so a slot or argument mistake on
// either side shows up.
#include <cstdint>

#define SIMHOST_THISCALL __attribute__((thiscall))

namespace simhost {

struct HostGameAbi {
  virtual void SIMHOST_THISCALL unused1() = 0;
  virtual void SIMHOST_THISCALL unused2() = 0;
  virtual void SIMHOST_THISCALL WriteText(float x, float y, const char* text) = 0;
  virtual void SIMHOST_THISCALL DrawMarker(int graphic, float x, float y) = 0;
  virtual void SIMHOST_THISCALL unused5() = 0;
  virtual void SIMHOST_THISCALL PrepareMenuPage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) = 0;
  virtual void SIMHOST_THISCALL DrawHighlightBox(float x, float y, float w, float h) = 0;
  virtual void SIMHOST_THISCALL unused8() = 0;
  virtual void SIMHOST_THISCALL BeginDrawModes(int mask) = 0;
  virtual void SIMHOST_THISCALL EndDrawModes(int mask) = 0;
  virtual void SIMHOST_THISCALL SelectFont(int font) = 0;
  virtual void SIMHOST_THISCALL SelectTextMode(int mode) = 0;
  virtual void SIMHOST_THISCALL SetColor(float r, float g, float b, float a) = 0;
};

// What the host calls on the plug-in: slot 0 is a scalar deleting destructor.
struct PluginAbi {
  virtual void* SIMHOST_THISCALL destroy(unsigned flags) = 0;
  virtual const char* SIMHOST_THISCALL QueryName() = 0;
  virtual void SIMHOST_THISCALL DrawMenuPage() = 0;
  virtual void SIMHOST_THISCALL callA() = 0;
  virtual void SIMHOST_THISCALL HandleMenuInput(std::uint32_t ignored, std::uint32_t up, std::uint32_t down,
                                                std::uint32_t decrease, std::uint32_t increase,
                                                std::uint32_t select) = 0;
  virtual void SIMHOST_THISCALL Tick(float elapsed) = 0;
  virtual void SIMHOST_THISCALL callB(std::uint32_t, std::uint32_t, std::uint32_t) = 0;
  virtual void SIMHOST_THISCALL callC(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) = 0;
  virtual void SIMHOST_THISCALL callD(std::uint32_t, std::uint32_t, std::uint32_t) = 0;
};

using CreatePluginFn = PluginAbi* (*)(HostGameAbi*);

}  // namespace simhost
