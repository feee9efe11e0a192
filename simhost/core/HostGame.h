#pragma once
// The host's game-services object: draws for real with the host's device and
// records every call the plug-in makes.
#include <d3d9.h>
#include <d3dx9.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "CallLog.h"
#include "GlyphFont.h"
#include "HostAbi.h"

namespace simhost {

// A pre-transformed, coloured vertex of the host's own 2D drawing.
struct ColourVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};

class HostGame final : public HostGameAbi {
 public:
  HostGame(IDirect3DDevice9* device, CallLog& log) : device_(device), log_(log) {}
  ~HostGame();

  void SIMHOST_THISCALL unused1() override;
  void SIMHOST_THISCALL unused2() override;
  void SIMHOST_THISCALL WriteText(float x, float y, const char* text) override;
  void SIMHOST_THISCALL DrawMarker(int graphic, float x, float y) override;
  void SIMHOST_THISCALL unused5() override;
  void SIMHOST_THISCALL PrepareMenuPage(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) override;
  void SIMHOST_THISCALL DrawHighlightBox(float x, float y, float w, float h) override;
  void SIMHOST_THISCALL unused8() override;
  void SIMHOST_THISCALL BeginDrawModes(int mask) override;
  void SIMHOST_THISCALL EndDrawModes(int mask) override;
  void SIMHOST_THISCALL SelectFont(int font) override;
  void SIMHOST_THISCALL SelectTextMode(int mode) override;
  void SIMHOST_THISCALL SetColor(float r, float g, float b, float a) override;

  // The host's screen-width word as the plug-in's text finds it: noted
  // whenever it differs from the last text's.
  void watchScreenWidth(std::function<std::uint32_t()> word) { screenWidth_ = std::move(word); }
  // Device loss: the fonts let go of their device objects and get them back;
  // in between the host draws nothing for the plug-in (its calls are still
  // recorded).
  void onLostDevice();
  void onResetDevice();
  // The host's lock, taken around the host's own drawing and font changes
  // (never while the plug-in runs: these are the host's services), so a
  // thread of the host's can reset the device while the frames go on.
  void setLock(std::recursive_mutex* lock) { lock_ = lock; }
  // Text from GDI glyph atlases of the host's own instead of D3DX fonts,
  // whose managed-pool glyph textures an extended device refuses.
  void useOwnText() { ownText_ = true; }
  // A new device: the fonts and the text sprite go and are made again on it
  // when next needed (null: released only).
  void changeDevice(IDirect3DDevice9* device);
  // The host's own text (its HUD line), not recorded.
  void hostText(int x, int y, const char* text, D3DCOLOR colour);
  // Called by the host at the end of each frame: open brackets are a fault.
  void endFrame();
  D3DCOLOR colour() const { return colour_; }
  // Seconds spent inside the calls above since the last take: the host's own
  // work on the plug-in's behalf, which the benchmark keeps apart.
  double takeCallSeconds();

 private:
  ID3DXFont* font(int number);
  GlyphFont* glyphFont(int number);
  std::unique_lock<std::recursive_mutex> hold() {
    return lock_ ? std::unique_lock<std::recursive_mutex>(*lock_) : std::unique_lock<std::recursive_mutex>();
  }
  // Text centred on (x, y) with a dark one-pixel outline, in one sprite batch.
  void outlinedText(ID3DXFont* f, const char* text, int x, int y);
  void flushMarkers();
  // The slots the plug-in never calls: recorded, so a call would show.
  void recordUnused(const char* name);
  void fillRect(float x, float y, float w, float h, D3DCOLOR colour, D3DPRIMITIVETYPE type, int count);

  IDirect3DDevice9* device_;
  CallLog& log_;
  std::map<int, ID3DXFont*> fonts_;
  std::map<int, std::unique_ptr<GlyphFont>> glyphFonts_;
  std::recursive_mutex* lock_ = nullptr;
  bool ownText_ = false;
  bool away_ = false;  // between onLostDevice and onResetDevice, or without a device
  ID3DXSprite* textSprite_ = nullptr;  // made on first outlined text
  bool textSpriteTried_ = false;
  int font_ = 0;
  int textMode_ = 0;
  D3DCOLOR colour_ = 0xFFFFFFFF;
  std::vector<int> modeStack_;
  std::vector<ColourVertex> markers_;
  long long callTicks_ = 0;
  std::function<std::uint32_t()> screenWidth_;
  std::uint32_t screenWidthSeen_ = 0xFFFFFFFFu;  // none noted yet  // performance-counter ticks inside the calls
};

}  // namespace simhost
