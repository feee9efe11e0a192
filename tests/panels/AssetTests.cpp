// What ships: the default images (one per part, one canvas size, loadable
// by the plug-in's own loader) and the default settings files, which must
// give each panel the show flags the settings page promises.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>

#include "D3DTestDevice.h"
#include "FakeHost.h"
#include "TestPaths.h"
#include "panels/CarDamageHUD.h"
#include "panels/BestRunHUD.h"
#include "panels/DamagedPartTableHUD.h"
#include "panels/PartFileNames.h"
#include "panels/TireHUD.h"
#include "plugin/PluginPaths.h"
#include "plugin/WideText.h"

using namespace ostrel;
using testing_support::D3DTestDevice;

TEST(ShippedImages, OneImagePerPartAllTheSameSize) {
  D3DTestDevice dev(64, 64);
  ASSERT_TRUE(dev.ok());
  const std::string folder = testing_support::sourceDir() + "\\assets\\plugin\\carDamageHUD.default\\Standard\\";
  std::set<std::string> names;
  for (int i = 0; i < 88; ++i) {
    const std::string name = partFileName(i);
    ASSERT_FALSE(name.empty()) << i;
    names.insert(name);
    IDirect3DTexture9* texture = nullptr;
    std::int32_t w = 0, h = 0;
    ASSERT_EQ(loadTextureFromFile(dev.device(), widen(folder + name), &texture, &w, &h), S_OK) << name;
    EXPECT_EQ(w, 160) << name;
    EXPECT_EQ(h, 320) << name;
    // Each layer draws something, and is light enough to take a tint.
    D3DLOCKED_RECT r;
    ASSERT_EQ(texture->LockRect(0, &r, nullptr, D3DLOCK_READONLY), D3D_OK);
    int opaque = 0, maxGreen = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t p = static_cast<const std::uint32_t*>(r.pBits)[y * (r.Pitch / 4) + x];
        if ((p >> 24) == 0xFF) ++opaque;
        maxGreen = std::max<int>(maxGreen, (p >> 8) & 0xFF);
      }
    texture->UnlockRect(0);
    texture->Release();
    EXPECT_GT(opaque, 20) << name;
    EXPECT_GE(maxGreen, 150) << name;
  }
  EXPECT_EQ(names.size(), 88u);
  EXPECT_STREQ(partFileName(88), "");
  EXPECT_STREQ(partFileName(-1), "");
}

TEST(ShippedSettings, DefaultsShowEachPanelWhenPromised) {
  const std::string from = testing_support::sourceDir() + "\\assets\\plugin\\";
  ensurePluginFolder();
  for (const char* panel : {"TireHUD", "carDamageHUD", "DamagedPartTableHUD", "BestRunHUD"})
    ASSERT_TRUE(CopyFileA((from + panel + ".ini.default").c_str(), settingsFilePath(panel).c_str(), FALSE)) << panel;
  host::pointers() = {};
  TireHUD tire;
  CarDamageHUD damage;
  DamagedPartTableHUD table;
  BestRunHUD best;
  EXPECT_EQ(tire.showFlags, static_cast<std::uint32_t>(ShowBeforeStart));
  EXPECT_EQ(best.showFlags, static_cast<std::uint32_t>(ShowWhileDriving | ShowAfterFinish));
  EXPECT_FLOAT_EQ(best.barRange, 2.0f);
  EXPECT_EQ(best.showBestTime, 1);
  EXPECT_EQ(best.noBestSeconds, 0.0f) << "without a best the panel shows nothing";
  EXPECT_EQ(damage.showFlags, static_cast<std::uint32_t>(ShowWhileDriving));
  EXPECT_EQ(table.showFlags, static_cast<std::uint32_t>(ShowAfterFinish));
  for (BasicHUD* p : {static_cast<BasicHUD*>(&tire), static_cast<BasicHUD*>(&damage), static_cast<BasicHUD*>(&table),
                      static_cast<BasicHUD*>(&best)}) {
    EXPECT_NE(p->enabled, 0) << p->name;
    // On screen at 1280 x 720 (the diagram is 160 x 320 at scale 1, the table 400 wide).
    EXPECT_GE(p->posX, 0.0f);
    EXPECT_LE(p->posX + 400.0f, 1280.0f) << p->name;
    EXPECT_GE(p->posY, 0.0f);
  }
  EXPECT_LE(damage.posY + 320.0f * damage.scale, 720.0f);
  EXPECT_LE(tire.posY + 101.0f, 720.0f);
  EXPECT_FALSE(damage.autohide);
  // Without a device the images cannot load yet; the name is kept for the next reload.
  EXPECT_EQ(damage.textureSet, "");
  char set[64];
  GetPrivateProfileStringA("HUD", "TextureSet", "", set, sizeof set, settingsFilePath("carDamageHUD").c_str());
  EXPECT_STREQ(set, "Standard");
}
