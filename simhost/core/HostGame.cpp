#include "HostGame.h"

#include <algorithm>

namespace simhost {
namespace {

// The highlight bar's own colour; it stays current afterwards, as the host's
// does, so callers must set their colour again.
constexpr D3DCOLOR kHighlight = 0xC02850A0;
constexpr D3DCOLOR kMenuBackground = 0xD0101418;
// The one-pixel outline around centred text.
constexpr int kOutline[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};


int component(float v) { return static_cast<int>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); }

// Leaves the device's state as the plug-in had it: the plug-in caches what it
// bound last.
class SavedDrawState {
 public:
  explicit SavedDrawState(IDirect3DDevice9* d) : d_(d) {
    d_->GetTexture(0, &texture_);
    d_->GetFVF(&fvf_);
    for (int i = 0; i < kStates; ++i) d_->GetRenderState(kStateIds[i], &states_[i]);
    d_->GetTextureStageState(0, D3DTSS_COLOROP, &colorOp_);
    d_->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp_);
    d_->SetTexture(0, nullptr);
    d_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    d_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d_->SetRenderState(D3DRS_ZENABLE, FALSE);
    d_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d_->SetRenderState(D3DRS_LIGHTING, FALSE);
    d_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    d_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  }
  ~SavedDrawState() {
    d_->SetTexture(0, texture_);
    if (texture_) texture_->Release();
    d_->SetFVF(fvf_);
    for (int i = 0; i < kStates; ++i) d_->SetRenderState(kStateIds[i], states_[i]);
    d_->SetTextureStageState(0, D3DTSS_COLOROP, colorOp_);
    d_->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp_);
  }

 private:
  static constexpr int kStates = 6;
  static constexpr D3DRENDERSTATETYPE kStateIds[kStates] = {D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,
                                                            D3DRS_DESTBLEND,         D3DRS_ZENABLE,
                                                            D3DRS_CULLMODE,          D3DRS_LIGHTING};
  IDirect3DDevice9* d_;
  IDirect3DBaseTexture9* texture_ = nullptr;
  DWORD fvf_ = 0;
  DWORD states_[kStates] = {};
  DWORD colorOp_ = 0, alphaOp_ = 0;
};

// Adds the counter ticks of one call to the host's own account: two counter
// reads per call, converted to seconds only when the account is taken (the
// tire panel alone makes thousands of calls a frame).
class CallTimer {
 public:
  explicit CallTimer(long long& ticks) : ticks_(ticks) { QueryPerformanceCounter(&start_); }
  ~CallTimer() {
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    ticks_ += end.QuadPart - start_.QuadPart;
  }

 private:
  long long& ticks_;
  LARGE_INTEGER start_;
};

}  // namespace

HostGame::~HostGame() {
  for (auto& [n, f] : fonts_)
    if (f) f->Release();
  if (textSprite_) textSprite_->Release();
}

namespace {

// The host's three faces: 0 semi-bold, 1 bold, 3 small fixed; others
// semi-bold. Sized for what the panels give them: table rows 12 pixels apart,
// headings in boxes 100 x 18, labels on blocks 16 pixels wide.
struct Face {
  int height = 13, weight = FW_SEMIBOLD;
  const char* name = "Arial";
};
Face faceOf(int number) {
  Face f;
  if (number == 1) f.height = 15, f.weight = FW_BOLD;
  if (number == 3) f.name = "Courier New";
  return f;
}

}  // namespace

ID3DXFont* HostGame::font(int number) {
  auto it = fonts_.find(number);
  if (it != fonts_.end()) return it->second;
  const Face face = faceOf(number);
  ID3DXFont* f = nullptr;
  if (FAILED(D3DXCreateFontA(device_, face.height, 0, face.weight, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.name, &f)))
    f = nullptr;
  fonts_[number] = f;
  return f;
}

GlyphFont* HostGame::glyphFont(int number) {
  std::unique_ptr<GlyphFont>& slot = glyphFonts_[number];
  if (!slot) {
    const Face face = faceOf(number);
    slot = std::make_unique<GlyphFont>(face.height, face.weight, face.name);
  }
  return slot->ok() ? slot.get() : nullptr;
}

void HostGame::hostText(int x, int y, const char* text, D3DCOLOR colour) {
  const auto held = hold();
  flushMarkers();
  if (away_ || !device_) return;
  if (ownText_) {
    if (GlyphFont* g = glyphFont(0)) g->draw(device_, text, x, y, false, colour);
    return;
  }
  ID3DXFont* f = font(0);
  if (!f) return;
  RECT r{x, y, x + 1000, y + 100};
  f->DrawTextA(nullptr, text, -1, &r, DT_LEFT | DT_TOP | DT_NOCLIP, colour);
}

double HostGame::takeCallSeconds() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const double s = static_cast<double>(callTicks_) / static_cast<double>(frequency.QuadPart);
  callTicks_ = 0;
  return s;
}

void HostGame::recordUnused(const char* name) {
  const CallTimer timer(callTicks_);
  log_.record(name, "-");
}

void HostGame::unused1() { recordUnused("unused1"); }
void HostGame::onLostDevice() {
  const auto held = hold();
  markers_.clear();
  away_ = true;
  for (auto& [n, f] : fonts_)
    if (f) f->OnLostDevice();
  for (auto& [n, g] : glyphFonts_) g->releaseTexture();
}

void HostGame::changeDevice(IDirect3DDevice9* device) {
  const auto held = hold();
  markers_.clear();
  away_ = device == nullptr;
  for (auto& [n, f] : fonts_)
    if (f) f->Release();
  fonts_.clear();
  for (auto& [n, g] : glyphFonts_) g->releaseTexture();
  if (textSprite_) textSprite_->Release();
  textSprite_ = nullptr;
  textSpriteTried_ = false;
  device_ = device;
}

void HostGame::onResetDevice() {
  const auto held = hold();
  for (auto& [n, f] : fonts_)
    if (f) f->OnResetDevice();
  away_ = false;
}

void HostGame::unused2() { recordUnused("unused2"); }
void HostGame::unused5() { recordUnused("unused5"); }
void HostGame::unused8() { recordUnused("unused8"); }

void HostGame::WriteText(float x, float y, const char* text) {
  const CallTimer timer(callTicks_);
  if (!text) {
    log_.record("WriteText", "%.2f %.2f (null)", x, y);
    return;
  }
  if (screenWidth_ && screenWidth_() != screenWidthSeen_) {
    screenWidthSeen_ = screenWidth_();
    log_.note("screen width during plug-in text %u", screenWidthSeen_);
  }
  log_.record("WriteText", "%.2f %.2f font=%d mode=%d colour=%08lX \"%s\"", x, y, font_, textMode_,
              static_cast<unsigned long>(colour_), text);
  const auto held = hold();
  flushMarkers();
  if (away_) return;
  int ix = static_cast<int>(x), iy = static_cast<int>(y);
  if (ownText_) {
    GlyphFont* g = glyphFont(font_);
    if (!g) return;
    constexpr int kShadow[1][2] = {{1, 1}};
    if (textMode_ == 3) g->drawOutlined(device_, text, ix, iy, true, colour_, colour_ & 0xFF000000, kOutline, 8);
    else if (textMode_ == 4) g->drawOutlined(device_, text, ix, iy, false, colour_, colour_ & 0xFF000000, kShadow, 1);
    else g->draw(device_, text, ix, iy, false, colour_);
    return;
  }
  ID3DXFont* f = font(font_);
  if (!f) return;
  // Mode 3 centres the text on (x, y): the panels place their labels and
  // table columns at the middle of what they label.
  if (textMode_ == 3) {
    outlinedText(f, text, ix, iy);
    return;
  }
  // Mode 4 (menu pages) is drawn with a drop shadow; the others plain.
  if (textMode_ == 4) {
    RECT s{ix + 1, iy + 1, ix + 2000, iy + 200};
    f->DrawTextA(nullptr, text, -1, &s, DT_LEFT | DT_TOP | DT_NOCLIP, colour_ & 0xFF000000);
  }
  RECT r{ix, iy, ix + 2000, iy + 200};
  f->DrawTextA(nullptr, text, -1, &r, DT_LEFT | DT_TOP | DT_NOCLIP, colour_);
}

// Panel labels sit on stripes of their own colour and table rows on the sky:
// the outline keeps them legible whatever the colour is.
void HostGame::outlinedText(ID3DXFont* f, const char* text, int x, int y) {
  if (!textSpriteTried_) {
    textSpriteTried_ = true;
    if (FAILED(D3DXCreateSprite(device_, &textSprite_))) textSprite_ = nullptr;
  }
  const DWORD format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP;
  const D3DCOLOR outline = colour_ & 0xFF000000;
  if (textSprite_) textSprite_->Begin(D3DXSPRITE_ALPHABLEND);
  for (const auto& o : kOutline) {
    RECT r{x + o[0] - 1000, y + o[1] - 100, x + o[0] + 1000, y + o[1] + 100};
    f->DrawTextA(textSprite_, text, -1, &r, format, outline);
  }
  RECT c{x - 1000, y - 100, x + 1000, y + 100};
  f->DrawTextA(textSprite_, text, -1, &c, format, colour_);
  if (textSprite_) textSprite_->End();
}

void HostGame::fillRect(float x, float y, float w, float h, D3DCOLOR c, D3DPRIMITIVETYPE type, int count) {
  SavedDrawState saved(device_);
  ColourVertex v[4] = {{x - 0.5f, y - 0.5f, 0, 1, c},
                       {x + w - 0.5f, y - 0.5f, 0, 1, c},
                       {x - 0.5f, y + h - 0.5f, 0, 1, c},
                       {x + w - 0.5f, y + h - 0.5f, 0, 1, c}};
  device_->DrawPrimitiveUP(type, count, v, sizeof(ColourVertex));
}

void HostGame::DrawMarker(int graphic, float x, float y) {
  const CallTimer timer(callTicks_);
  log_.record("DrawMarker", "%d %.2f %.2f colour=%08lX", graphic, x, y, static_cast<unsigned long>(colour_));
  // One pixel, covering the pixel whose top-left corner is (x, y). Points are
  // queued and drawn together, as a real renderer batches them: a panel made
  // of thousands of markers must not be charged a draw call for each.
  markers_.push_back(ColourVertex{static_cast<float>(static_cast<int>(x)), static_cast<float>(static_cast<int>(y)), 0, 1,
                      colour_});
}

void HostGame::flushMarkers() {
  if (markers_.empty()) return;
  const auto held = hold();
  if (away_) {
    markers_.clear();
    return;
  }
  SavedDrawState saved(device_);
  device_->DrawPrimitiveUP(D3DPT_POINTLIST, static_cast<UINT>(markers_.size()), markers_.data(),
                           sizeof(ColourVertex));
  markers_.clear();
}

void HostGame::PrepareMenuPage(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  const CallTimer timer(callTicks_);
  log_.record("PrepareMenuPage", "%u %u %u %u", a, b, c, d);
  const auto held = hold();
  flushMarkers();
  if (away_) return;
  D3DVIEWPORT9 vp{};
  device_->GetViewport(&vp);
  fillRect(40.0f, 40.0f, static_cast<float>(vp.Width) - 80.0f, static_cast<float>(vp.Height) - 80.0f,
           kMenuBackground, D3DPT_TRIANGLESTRIP, 2);
}

void HostGame::DrawHighlightBox(float x, float y, float w, float h) {
  const CallTimer timer(callTicks_);
  log_.record("DrawHighlightBox", "%.2f %.2f %.2f %.2f", x, y, w, h);
  const auto held = hold();
  flushMarkers();
  colour_ = kHighlight;
  if (away_) return;
  fillRect(x, y, w, h, kHighlight, D3DPT_TRIANGLESTRIP, 2);
}

void HostGame::BeginDrawModes(int mask) {
  const CallTimer timer(callTicks_);
  log_.record("BeginDrawModes", "%d", mask);
  modeStack_.push_back(mask);
}

void HostGame::EndDrawModes(int mask) {
  const CallTimer timer(callTicks_);
  log_.record("EndDrawModes", "%d", mask);
  {
    const auto held = hold();
    flushMarkers();
  }
  if (modeStack_.empty() || modeStack_.back() != mask) {
    log_.record("fault", "EndDrawModes %d does not close the open bracket %d", mask,
                modeStack_.empty() ? -1 : modeStack_.back());
    if (!modeStack_.empty()) modeStack_.pop_back();
    return;
  }
  modeStack_.pop_back();
}

void HostGame::SelectFont(int number) {
  const CallTimer timer(callTicks_);
  log_.record("SelectFont", "%d", number);
  font_ = number;
}

void HostGame::SelectTextMode(int mode) {
  const CallTimer timer(callTicks_);
  log_.record("SelectTextMode", "%d", mode);
  textMode_ = mode;
}

void HostGame::SetColor(float r, float g, float b, float a) {
  const CallTimer timer(callTicks_);
  log_.record("SetColor", "%.3f %.3f %.3f %.3f", r, g, b, a);
  colour_ = D3DCOLOR_ARGB(component(a), component(r), component(g), component(b));
}

void HostGame::endFrame() {
  const auto held = hold();
  flushMarkers();
  if (!modeStack_.empty()) {
    log_.record("fault", "%u draw-mode bracket(s) left open at the end of the frame",
                static_cast<unsigned>(modeStack_.size()));
    modeStack_.clear();
  }
}

}  // namespace simhost
