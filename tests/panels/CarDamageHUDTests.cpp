// The car damage diagram on a real device with the shipped default images:
// the tint a player sees per damage level, the blink, autohide, texture set
// changes, scale, and a host that has no car loaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <memory>

#include "D3DTestDevice.h"
#include "FakeHost.h"
#include "PanelFiles.h"
#include "TestPaths.h"
#include "panels/CarDamageHUD.h"
#include "panels/PartFileNames.h"
#include "plugin/WideText.h"

using namespace ostrel;
using namespace panel_tests;
using namespace testing_support;

namespace {

constexpr D3DCOLOR kClear = 0xFF000040;  // dark blue: "nothing drawn here"
constexpr int kPos = 10;

// Points of the default images (canvas pixels) covered by one layer only.
struct Spot { int x, y; };
constexpr Spot kRoof{69, 160};         // part 33 (beside the windows), lost when word 30 is 0
constexpr Spot kFrontBumper{80, 11};   // part 21, fraction in word 0
constexpr Spot kDoor{50, 160};         // part 36, fraction in word 33

std::string imageFolder(const std::string& set) {
  return pluginFolder() + "\\carDamageHUD\\" + set;
}

// Copies the shipped images into the test's plug-in folder: all of them as
// "Standard", only the roof as "RoofOnly".
void installImages() {
  ensurePluginFolder();
  CreateDirectoryA((pluginFolder() + "\\carDamageHUD").c_str(), nullptr);
  CreateDirectoryA(imageFolder("Standard").c_str(), nullptr);
  CreateDirectoryA(imageFolder("RoofOnly").c_str(), nullptr);
  const std::string from = testing_support::sourceDir() + "\\assets\\plugin\\carDamageHUD.default\\Standard\\";
  for (int i = 0; i < 88; ++i)
    CopyFileA((from + partFileName(i)).c_str(), (imageFolder("Standard") + "\\" + partFileName(i)).c_str(), FALSE);
  CopyFileA((from + partFileName(33)).c_str(), (imageFolder("RoofOnly") + "\\" + partFileName(33)).c_str(), FALSE);
}

bool isRed(std::uint32_t p) { return ((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 40 && (p & 0xFF) < 40; }
bool isBlack(std::uint32_t p) { return (p & 0xFFFFFF) < 0x101010; }
bool isWhite(std::uint32_t p) { return ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) > 200; }
bool isClear(std::uint32_t p) { return (p & 0xFFFFFF) == (kClear & 0xFFFFFF); }

class DamageDiagram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { installImages(); }
  void SetUp() override {
    ASSERT_TRUE(dev.ok());
    lastBoundTexture = nullptr;
    mem.install(dev.device());
    clearPanelFile("carDamageHUD");
    setPanelKey("carDamageHUD", "Enabled", "1");
    setPanelKey("carDamageHUD", "PosX", std::to_string(kPos));
    setPanelKey("carDamageHUD", "PosY", std::to_string(kPos));
    setPanelKey("carDamageHUD", "TextureSet", "Standard");
  }
  std::unique_ptr<CarDamageHUD> make() { return std::make_unique<CarDamageHUD>(); }
  void frame(CarDamageHUD& p, float dt) {
    dev.begin(kClear);
    p.drawDiagram(dt);
    dev.end();
  }
  std::uint32_t at(Spot s, float scale = 1.0f) {
    return dev.pixel(kPos + static_cast<int>(s.x * scale), kPos + static_cast<int>(s.y * scale));
  }
  int loaded(const CarDamageHUD& p) {
    int n = 0;
    for (const auto& t : p.textures) n += t.texture != nullptr;
    return n;
  }

  D3DTestDevice dev{400, 400};
  PanelHost mem;
};

}  // namespace

TEST_F(DamageDiagram, EachLevelHasItsTintAndTheWorstBlinks) {
  auto panel = make();
  ASSERT_EQ(panel->name, "carDamageHUD");
  ASSERT_EQ(loaded(*panel), 88);
  mem.setI(30, 0);       // roof lost: level 4
  mem.setF(0, 0.4f);     // front bumper: level 3

  frame(*panel, 0.6f);   // first tick: levels read, blink on
  EXPECT_TRUE(panel->blinkOn);
  EXPECT_TRUE(isRed(at(kFrontBumper))) << std::hex << at(kFrontBumper);
  EXPECT_TRUE(isRed(at(kRoof))) << std::hex << at(kRoof);
  EXPECT_TRUE(isWhite(at(kDoor))) << std::hex << at(kDoor);
  dev.savePng("diagram_damaged.png");

  frame(*panel, 0.6f);   // next tick: blink off
  EXPECT_TRUE(isBlack(at(kRoof))) << std::hex << at(kRoof);
  EXPECT_TRUE(isRed(at(kFrontBumper)));

  mem.setF(33, 0.5f);    // new damage to the door between ticks
  frame(*panel, 0.3f);
  EXPECT_TRUE(isBlack(at(kRoof))) << "no tick yet";
  EXPECT_TRUE(isWhite(at(kDoor))) << "levels change only on the tick";
  frame(*panel, 0.3f);
  EXPECT_TRUE(isRed(at(kRoof))) << "the tick flips the phase";
  EXPECT_TRUE(isRed(at(kDoor))) << "and re-reads the levels";
  EXPECT_EQ(panel->lastLevel[36], 3);

  mem.setF(0, 0.6f);     // bumper at 2 (yellow), door at 1 would be green
  mem.setF(33, 0.9f);
  frame(*panel, 0.6f);
  const std::uint32_t bumper = at(kFrontBumper), door = at(kDoor);
  EXPECT_TRUE(((bumper >> 16) & 0xFF) > 200 && ((bumper >> 8) & 0xFF) > 200 && (bumper & 0xFF) < 40) << std::hex << bumper;
  EXPECT_TRUE(((door >> 16) & 0xFF) < 40 && ((door >> 8) & 0xFF) > 200 && (door & 0xFF) < 40) << std::hex << door;
}

TEST_F(DamageDiagram, AutohideShowsTenSecondsAfterNewDamage) {
  setPanelKey("carDamageHUD", "Autohide", "1");
  auto panel = make();
  ASSERT_TRUE(panel->autohide);
  panel->idleReset();  // the frames before the panel became visible
  frame(*panel, 0.1f);
  EXPECT_TRUE(isClear(at(kRoof))) << "an intact car stays hidden";

  auto shownAt = [&](float dt) {
    frame(*panel, dt);
    return !isClear(at(kDoor));
  };
  mem.setI(30, 0);  // roof lost at t = 0
  int first = -1, last = -1;
  for (int k = 0; k < 200; ++k) {
    if (k == 50) mem.setF(0, 0.4f);  // more damage while showing: 10 s from that tick
    if (shownAt(0.1f)) {
      if (first < 0) first = k;
      last = k;
    } else if (first >= 0) {
      EXPECT_GT(k, 140) << "hidden too early";
    }
  }
  EXPECT_GE(first, 0);
  EXPECT_LE(first, 6) << "shown on the first tick after the damage";
  EXPECT_GE(last, 145);
  EXPECT_LE(last, 158) << "ten seconds after the tick that saw the bumper damage";

  for (int k = 0; k < 150; ++k) ASSERT_FALSE(shownAt(0.1f)) << "unchanged damage stays hidden, frame " << k;
  mem.setF(0, 1.0f);  // repair does not show the panel
  for (int k = 0; k < 12; ++k) EXPECT_FALSE(shownAt(0.1f));
  mem.setI(7, 0);  // new damage does
  bool shown = false;
  for (int k = 0; k < 7 && !shown; ++k) shown = shownAt(0.1f);
  EXPECT_TRUE(shown);

  panel->idleReset();  // hidden by the host: a fresh showing only if damage is there
  EXPECT_FLOAT_EQ(panel->hideTimer, -1.0f);
  EXPECT_TRUE(shownAt(0.016f)) << "damage present after a hidden period starts a showing";
}

TEST_F(DamageDiagram, IdleResetForgetsLevelsOnce) {
  auto panel = make();
  mem.setI(30, 0);
  frame(*panel, 0.6f);
  ASSERT_EQ(panel->lastLevel[33], 4);
  panel->idleReset();
  EXPECT_EQ(panel->lastLevel[33], 0);
  EXPECT_FLOAT_EQ(panel->blinkAccum, 1.0f);
  EXPECT_FLOAT_EQ(panel->hideTimer, 0.0f) << "without autohide the timer is left alone";
  panel->lastLevel[33] = 3;
  panel->idleReset();
  EXPECT_EQ(panel->lastLevel[33], 3) << "already idle: nothing cleared again";
  frame(*panel, 0.016f);
  EXPECT_EQ(panel->lastLevel[33], 4) << "the first visible frame re-reads at once";
}

TEST_F(DamageDiagram, NoCarDrawsAndClassifiesNothing) {
  auto panel = make();
  mem.setI(30, 0);
  mem.noCar();
  frame(*panel, 0.6f);
  EXPECT_TRUE(isClear(at(kRoof)));
  EXPECT_TRUE(isClear(at(kDoor)));
  EXPECT_EQ(panel->lastLevel[33], 0);
  mem.install(dev.device());
  PanelHost::put<std::uint32_t>(mem.carObject, ostrel::host::kDamageBlockOffset, 0);  // a car without a damage record
  frame(*panel, 0.6f);
  EXPECT_TRUE(isClear(at(kRoof)));
  host::pointers().device = nullptr;
  mem.install(nullptr);
  panel->drawDiagram(0.6f);  // no device: nothing to draw with
  EXPECT_EQ(panel->lastLevel[33], 0);
}

TEST_F(DamageDiagram, TextureSetChangesReloadOnlyWhenTheNameChanges) {
  auto panel = make();
  ASSERT_EQ(loaded(*panel), 88);
  IDirect3DTexture9* roof = panel->textures[33].texture;
  setPanelKey("carDamageHUD", "Autohide", "1");
  panel->reload();
  EXPECT_EQ(panel->textures[33].texture, roof) << "same name: nothing reloaded";
  EXPECT_TRUE(panel->autohide);

  setPanelKey("carDamageHUD", "TextureSet", "");
  setPanelKey("carDamageHUD", "Autohide", "0");
  panel->reload();
  EXPECT_EQ(loaded(*panel), 0);
  EXPECT_EQ(panel->textureSet, "");
  EXPECT_TRUE(panel->autohide) << "a reload that drops the set stops before Autohide";
  panel->reload();
  EXPECT_EQ(loaded(*panel), 0);
  EXPECT_FALSE(panel->autohide) << "the name still empty: an unchanged set, Autohide read";
  frame(*panel, 0.6f);
  EXPECT_TRUE(isClear(at(kRoof))) << "no images, no diagram";

  setPanelKey("carDamageHUD", "TextureSet", "Standard");
  panel->reload();
  EXPECT_EQ(loaded(*panel), 88);

  setPanelKey("carDamageHUD", "TextureSet", "RoofOnly");
  panel->reload();
  EXPECT_EQ(loaded(*panel), 1) << "missing images leave their slots empty";
  ASSERT_NE(panel->textures[33].texture, nullptr);
  mem.setF(0, 0.1f);  // damage to a part without an image
  setPanelKey("carDamageHUD", "Autohide", "1");
  panel->reload();
  panel->idleReset();
  frame(*panel, 0.1f);
  EXPECT_TRUE(isClear(at(kRoof))) << "a part without an image never starts a showing";
  EXPECT_EQ(panel->lastLevel[21], 0);
}

TEST_F(DamageDiagram, HostTexturesBetweenFramesDoNotLeakIntoTheDiagram) {
  setPanelKey("carDamageHUD", "TextureSet", "RoofOnly");
  auto panel = make();
  ASSERT_EQ(loaded(*panel), 1);
  frame(*panel, 0.6f);
  ASSERT_TRUE(isWhite(at(kRoof)));
  ASSERT_TRUE(isClear(at(kDoor))) << "transparent around the roof";

  // The host draws its own frame in between, with its own texture bound.
  IDirect3DTexture9* hostTexture = nullptr;
  ASSERT_EQ(dev.device()->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &hostTexture, nullptr), D3D_OK);
  D3DLOCKED_RECT r;
  ASSERT_EQ(hostTexture->LockRect(0, &r, nullptr, 0), D3D_OK);
  *static_cast<std::uint32_t*>(r.pBits) = 0xFF0000FF;
  hostTexture->UnlockRect(0);
  dev.device()->SetTexture(0, hostTexture);

  frame(*panel, 0.016f);
  EXPECT_TRUE(isWhite(at(kRoof))) << std::hex << at(kRoof);
  EXPECT_TRUE(isClear(at(kDoor))) << "the host's texture was drawn instead: " << std::hex << at(kDoor);
  dev.device()->SetTexture(0, nullptr);
  hostTexture->Release();
}

TEST_F(DamageDiagram, ScaleSizesTheLayersFromTheirCorner) {
  setPanelKey("carDamageHUD", "Scale", "0.5");
  auto panel = make();
  frame(*panel, 0.6f);
  EXPECT_TRUE(isWhite(at(kRoof, 0.5f))) << "roof at half size";
  EXPECT_TRUE(isClear(at({150, 300}, 1.0f))) << "nothing beyond the half-size picture";
  EXPECT_FALSE(isClear(at(kDoor, 0.5f)));

  setPanelKey("carDamageHUD", "Scale", "0");
  panel->reload();
  frame(*panel, 0.6f);
  EXPECT_TRUE(isWhite(at(kRoof))) << "scale 0 draws each image at its own size";
  EXPECT_TRUE(isClear(dev.pixel(kPos + 165, kPos + 100)));
  EXPECT_FALSE(isClear(dev.pixel(kPos + 20, kPos + 60))) << "a front wheel";
}

// The diagram draws only the visible texels of each part image, all from one
// atlas texture (or, when the set does not fit one, from each image's own
// texture): what the player sees must be what whole-image quads give, at any
// scale and position, with point or linear filtering. (A point sample that
// falls exactly on a texel edge may pick either texel, whichever quad is
// drawn; those pixels are left out of the comparison.)
TEST_F(DamageDiagram, DrawingOnlyVisibleTexelsLooksLikeTheWholeImages) {
  mem.setF(0, 0.45f);  // front bumper damaged
  mem.setI(30, 0);     // roof lost: the blinking red
  IDirect3DDevice9* d = dev.device();
  // The reference: every part image whole, in a texture of its own.
  TexturedRect whole[88];
  for (int i = 0; i < 88; ++i)
    ASSERT_EQ(loadTexturedRect(d, widen(imageFolder("Standard") + "\\" + partFileName(i)), 0, 0, 0, 0, &whole[i]), S_OK);
  const D3DSAMPLERSTATETYPE filters[] = {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER};
  setPanelKey("carDamageHUD", "PosX", "13.3");
  setPanelKey("carDamageHUD", "PosY", "10.4");
  for (const bool atlas : {true, false}) {
    // The images load once per way of holding them; a new scale only reloads
    // the layout.
    std::unique_ptr<CarDamageHUD> panel;
    if (atlas) {
      panel = make();
    } else {
      setPanelKey("carDamageHUD", "TextureSet", "");
      panel = make();
      panel->atlasSideLimit = 64;  // far too small for the outline
      setPanelKey("carDamageHUD", "TextureSet", "Standard");
    }
    for (const float scale : {1.0f, 0.5f, 0.73f, 1.6f}) {
      setPanelKey("carDamageHUD", "Scale", std::to_string(scale));
      panel->reload();
      ASSERT_EQ(loaded(*panel), 88);
      ASSERT_EQ(panel->atlas != nullptr, atlas);
      for (const D3DTEXTUREFILTERTYPE filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        SCOPED_TRACE(testing::Message() << (atlas ? "atlas" : "one texture per image") << ", scale " << scale
                                        << ", filter " << filter);
        for (D3DSAMPLERSTATETYPE s : filters) d->SetSamplerState(0, s, filter);
        frame(*panel, 0.6f);
        const std::vector<std::uint32_t> cropped = dev.readPixels();

        // The same layers as whole-image quads, with the tints the panel chose.
        dev.begin(kClear);
        SetupVertex2DRenderState(d);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        lastBoundTexture = nullptr;
        int visibleArea = 0, wholeArea = 0;
        for (int i = 0; i < 88; ++i) {
          TexturedRect& slot = whole[i];
          ASSERT_EQ(setRectQuad(slot, panel->posX, panel->posY, slot.width * scale, slot.height * scale), S_OK);
          for (Vertex2D& v : slot.vertices) v.colour = damageTint(panel->lastLevel[i], panel->blinkOn);
          drawTexturedQuad(d, slot);
          const TexelBounds& b = panel->textures[i].visible;
          visibleArea += (b.right - b.left) * (b.bottom - b.top);
          wholeArea += slot.width * slot.height;
        }
        dev.end();
        const std::vector<std::uint32_t> reference = dev.readPixels();
        ASSERT_EQ(cropped.size(), reference.size());
        auto onTexelEdge = [&](int pixel, float pos) {
          const float t = (static_cast<float>(pixel) - pos) / scale;
          return std::fabs(t - std::round(t)) < 0.01f;
        };
        int differing = 0, drawn = 0;
        for (int y = 0; y < 400; ++y)
          for (int x = 0; x < 400; ++x) {
            const std::size_t p = static_cast<std::size_t>(y) * 400 + x;
            drawn += !isClear(reference[p]);
            if (filter == D3DTEXF_POINT && (onTexelEdge(x, panel->posX) || onTexelEdge(y, panel->posY))) continue;
            differing += cropped[p] != reference[p];
          }
        EXPECT_EQ(differing, 0);
        EXPECT_GT(drawn, 2000) << "the diagram was drawn at all";
        EXPECT_LT(visibleArea * 10, wholeArea) << "the part images are mostly transparent";
      }
    }
  }
  for (D3DSAMPLERSTATETYPE s : filters) d->SetSamplerState(0, s, D3DTEXF_POINT);
}

// One texture for the whole set; a set that does not fit the largest atlas
// falls back to a texture per image, says so once, and draws the same.
TEST_F(DamageDiagram, ImagesShareOneAtlasOrFallBackToOneTextureEach) {
  auto panel = make();
  ASSERT_EQ(loaded(*panel), 88);
  ASSERT_NE(panel->atlas, nullptr);
  for (const TexturedRect& slot : panel->textures) EXPECT_EQ(slot.texture, panel->atlas);
  D3DSURFACE_DESC desc{};
  ASSERT_EQ(panel->atlas->GetLevelDesc(0, &desc), D3D_OK);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED) << "the atlas must survive a device reset";
  EXPECT_LT(static_cast<std::int64_t>(desc.Width) * desc.Height * 4, 88 * 160 * 320)
      << "only the visible boxes are kept";
  mem.setI(30, 0);
  frame(*panel, 0.6f);
  EXPECT_TRUE(isRed(at(kRoof)));
  EXPECT_TRUE(isWhite(at(kDoor)));

  // Too small a limit for the outline: each image gets its own texture.
  const std::size_t logBefore = logSize();
  setPanelKey("carDamageHUD", "TextureSet", "");
  panel->reload();
  panel->atlasSideLimit = 256;
  setPanelKey("carDamageHUD", "TextureSet", "Standard");
  panel->reload();
  const std::string log = logSince(logBefore);
  EXPECT_EQ(countOf(log, "do not fit one texture of 256 x 256"), 1) << log;
  EXPECT_EQ(panel->atlas, nullptr);
  ASSERT_EQ(loaded(*panel), 88);
  EXPECT_NE(panel->textures[33].texture, panel->textures[36].texture);
  frame(*panel, 0.6f);
  frame(*panel, 0.6f);  // the roof blinks back to red
  EXPECT_TRUE(isRed(at(kRoof))) << std::hex << at(kRoof);
  EXPECT_TRUE(isWhite(at(kDoor)));

  // A set with one image still fits the limit.
  setPanelKey("carDamageHUD", "TextureSet", "RoofOnly");
  panel->reload();
  ASSERT_NE(panel->atlas, nullptr);
  EXPECT_EQ(loaded(*panel), 1);
  EXPECT_EQ(countOf(logSince(logBefore), "do not fit"), 1);
}
