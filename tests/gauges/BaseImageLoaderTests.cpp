// Gauge base images made for their render target on the real platform: the
// format and size the device needs for its per-frame copy, from D3DX and from
// the plug-in's own decoder, the texels they hold, what neither can write,
// and the memory a large image takes while it loads.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "GaugeScene.h"
#include "KVX/ImageDecoder.h"
#include "KVX/PixelFormats.h"
#include "KVX/TextureFileLoader.h"

using namespace gauge_tests;

namespace {

const ostrel::TextureFileLoader kOwnDecoder{nullptr, "own"};
const ostrel::TextureFileLoader kD3dx{&D3DXCreateTextureFromFileExA, "d3dx"};

D3DSURFACE_DESC targetOf(D3DFORMAT format, UINT w, UINT h) {
  D3DSURFACE_DESC d{};
  d.Format = format;
  d.Width = w;
  d.Height = h;
  d.Pool = D3DPOOL_DEFAULT;
  d.Usage = D3DUSAGE_RENDERTARGET;
  return d;
}

// Level 0 read back as 0xAARRGGBB through the format's own layout.
std::vector<std::uint32_t> argbOf(IDirect3DTexture9* t) {
  D3DSURFACE_DESC d{};
  t->GetLevelDesc(0, &d);
  std::vector<std::uint32_t> out(static_cast<size_t>(d.Width) * d.Height);
  D3DLOCKED_RECT lr{};
  if (FAILED(t->LockRect(0, &lr, nullptr, D3DLOCK_READONLY))) return {};
  for (UINT y = 0; y < d.Height; ++y)
    ostrel::pixels::readRow(static_cast<const std::uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch, d.Width,
                            d.Format, reinterpret_cast<std::uint8_t*>(&out[static_cast<size_t>(y) * d.Width]));
  t->UnlockRect(0);
  return out;
}

int channelDifference(std::uint32_t a, std::uint32_t b, bool withAlpha) {
  int worst = 0;
  for (int s = 0; s < (withAlpha ? 32 : 24); s += 8)
    worst = std::max(worst, std::abs(static_cast<int>(a >> s & 0xFF) - static_cast<int>(b >> s & 0xFF)));
  return worst;
}

// Half a level of the format's narrowest field, and a little for the filters.
int tolerance(D3DFORMAT f) {
  switch (f) {
    case D3DFMT_R5G6B5: case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: return 9;
    case D3DFMT_A4R4G4B4: return 18;
    default: return 2;
  }
}

// Smooth colours across the image, alpha on the left half 0xC0 (1 bit of
// alpha reads it as opaque), so every format has something to keep.
std::uint32_t gradient(UINT x, UINT y) { return (x < 64 ? 0xC0000000u : 0xFF000000u) | (x * 2) << 16 | (y * 4) << 8 | 0x60u; }

class BaseImageForTarget : public GaugeScene {};

// Every format the converter writes, at the file's size, at a size that is no
// power of two and smaller, from each loader: exactly the target's format and
// size, one level in system memory, the texels of the file.
TEST_F(BaseImageForTarget, EachLoaderMakesTheTargetsFormatAndSizeWithTheFilesTexels) {
  ASSERT_TRUE(writeImage(path("gradient.png"), 128, 64, gradient));
  const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,   D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                               D3DFMT_A4R4G4B4, D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8, D3DFMT_R8G8B8};
  const UINT sizes[][2] = {{128, 64}, {100, 48}, {300, 200}};
  for (const auto* loader : {&kOwnDecoder, &kD3dx})
    for (D3DFORMAT f : formats)
      for (const auto& s : sizes) {
        const std::string what = loader->origin + " format " + std::to_string(f) + " " + std::to_string(s[0]) + "x" +
                                 std::to_string(s[1]);
        IDirect3DTexture9* t = nullptr;
        const HRESULT hr = ostrel::loadGaugeBaseImageWith(*loader, device, path("gradient.png"), targetOf(f, s[0], s[1]), &t);
        // A format the device cannot hold in system memory fails; it never
        // comes out as another one.
        if (FAILED(hr)) {
          EXPECT_EQ(t, nullptr) << what;
          EXPECT_EQ(f, D3DFMT_R8G8B8) << what << ": " << std::hex << hr;
          continue;
        }
        ASSERT_NE(t, nullptr) << what;
        const D3DSURFACE_DESC d = ostrel::levelZeroDescription(t);
        EXPECT_EQ(d.Format, f) << what;
        EXPECT_EQ(d.Width, s[0]) << what;
        EXPECT_EQ(d.Height, s[1]) << what;
        EXPECT_EQ(d.Pool, D3DPOOL_SYSTEMMEM) << what;
        EXPECT_EQ(t->GetLevelCount(), 1u) << what;
        const auto texels = argbOf(t);
        ASSERT_EQ(texels.size(), static_cast<size_t>(s[0]) * s[1]) << what;
        // Sampled away from the halves' border and the edges, where the filters differ.
        int worst = 0;
        for (UINT y = 2; y + 2 < s[1]; y += 3)
          for (UINT x = 2; x + 2 < s[0]; x += 3) {
            const UINT sx = x * 128 / s[0], sy = y * 64 / s[1];
            if (sx >= 60 && sx <= 68) continue;
            // One bit of alpha holds 0xC0 as opaque.
            const std::uint32_t want = gradient(sx, sy) | (f == D3DFMT_A1R5G5B5 ? 0xFF000000u : 0u), got = texels[static_cast<size_t>(y) * s[0] + x];
            // Resampled texels lie between the file's neighbours: one step of the gradient more.
            const int slack = s[0] == 128 && s[1] == 64 ? 0 : 4 + 2 * 128 / s[0] + 4 * 64 / s[1];
            worst = std::max(worst, channelDifference(want, got, ostrel::pixels::hasAlpha(f)) - slack);
          }
        EXPECT_LE(worst, tolerance(f)) << what;
        t->Release();
      }
}

// A loader that answers with another size (as D3DX does for a format it
// swaps): the own decoder makes the base image instead, and says so.
HRESULT WINAPI defaultSizesOnly(IDirect3DDevice9* d, LPCSTR file, UINT, UINT, UINT levels, DWORD usage, D3DFORMAT,
                                D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR key, D3DXIMAGE_INFO* info,
                                PALETTEENTRY* palette, IDirect3DTexture9** t) {
  return D3DXCreateTextureFromFileExA(d, file, D3DX_DEFAULT, D3DX_DEFAULT, levels, usage, D3DFMT_A8R8G8B8, pool,
                                      filter, mipFilter, key, info, palette, t);
}

TEST_F(BaseImageForTarget, WhatD3DXDoesNotMakeExactlyTheOwnDecoderMakes) {
  ASSERT_TRUE(writeImage(path("gradient.png"), 128, 64, gradient));
  const ostrel::TextureFileLoader swapping{&defaultSizesOnly, "a library"};
  IDirect3DTexture9* t = nullptr;
  std::string origin;
  ASSERT_EQ(ostrel::loadGaugeBaseImageWith(swapping, device, path("gradient.png"), targetOf(D3DFMT_R5G6B5, 200, 100),
                                           &t, &origin),
            D3D_OK);
  const D3DSURFACE_DESC d = ostrel::levelZeroDescription(t);
  EXPECT_EQ(d.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(d.Width, 200u);
  EXPECT_EQ(d.Height, 100u);
  EXPECT_EQ(origin, "the plug-in's own decoder (a library did not make the target's format and size)");
  t->Release();
}

// Block-compressed and floating-point targets: the converter writes none of
// them, so the own decoder answers with a clear result and no texture. (D3DX
// writes some; where it serves, the base image still matches.)
TEST_F(BaseImageForTarget, FormatsTheConverterCannotWriteGiveAClearFailure) {
  for (D3DFORMAT f : {D3DFMT_DXT1, D3DFMT_DXT5, D3DFMT_A32B32G32R32F, D3DFMT_A16B16G16R16F, D3DFMT_P8}) {
    IDirect3DTexture9* t = nullptr;
    EXPECT_EQ(ostrel::loadGaugeBaseImageWith(kOwnDecoder, device, basePath, targetOf(f, 512, 256), &t),
              D3DERR_WRONGTEXTUREFORMAT)
        << f;
    EXPECT_EQ(t, nullptr);
    const HRESULT hr = ostrel::loadGaugeBaseImageWith(kD3dx, device, basePath, targetOf(f, 512, 256), &t);
    if (SUCCEEDED(hr)) {
      EXPECT_EQ(ostrel::levelZeroDescription(t).Format, f);
      t->Release();
    } else {
      EXPECT_EQ(t, nullptr) << f;
    }
  }
}

// ---- memory --------------------------------------------------------------

// Committed private bytes of the process, counted from the address space
// (Wine reports no private bytes), and their highest value while a load runs,
// sampled from another thread.
std::uint64_t committedPrivateBytes() {
  std::uint64_t total = 0;
  MEMORY_BASIC_INFORMATION info{};
  for (std::uintptr_t at = 0x10000; at < 0x7FFF0000u && VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info);
       at = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize) {
    if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    if (info.RegionSize == 0) break;
  }
  return total;
}

struct Peak {
  std::uint64_t before = 0, peak = 0, after = 0;
};

template <class Load>
Peak measure(Load load) {
  Peak p;
  p.before = committedPrivateBytes();
  std::atomic<bool> done{false};
  std::atomic<std::uint64_t> highest{p.before};
  std::thread sampler([&] {
    while (!done) {
      const std::uint64_t now = committedPrivateBytes();
      if (now > highest) highest = now;
      Sleep(1);
    }
  });
  load();
  done = true;
  sampler.join();
  p.peak = std::max<std::uint64_t>(highest, committedPrivateBytes());
  return p;
}

// A 4096 x 4096 base image is 64 MiB as texels. Loading it holds at most the
// decoder's copy and the texture (the own decoder reads bands of rows and
// writes them straight into the locked texture); the texture is what stays.
TEST_F(BaseImageForTarget, LargeImageLoadsWithinTwoCopiesOfItself) {
  constexpr UINT kSide = 4096;
  constexpr double kMiB = 1024.0 * 1024.0, kCopy = kSide * kSide * 4 / kMiB;
  ASSERT_TRUE(writeImage(path("large.png"), kSide, kSide, [](UINT x, UINT y) { return 0xFF000000u | (x & 0xFF) << 16 | (y & 0xFF); }));
  const struct {
    const ostrel::TextureFileLoader* loader;
    D3DFORMAT format;
    UINT side;
  } cases[] = {{&kOwnDecoder, D3DFMT_A8R8G8B8, kSide},
               {&kOwnDecoder, D3DFMT_X8R8G8B8, 3000},
               {&kD3dx, D3DFMT_A8R8G8B8, kSide},
               {&kD3dx, D3DFMT_X8R8G8B8, 3000}};
  for (const auto& c : cases) {
    IDirect3DTexture9* t = nullptr;
    HRESULT hr = E_FAIL;
    Peak p = measure([&] {
      hr = ostrel::loadGaugeBaseImageWith(*c.loader, device, path("large.png"), targetOf(c.format, c.side, c.side), &t);
    });
    ASSERT_EQ(hr, D3D_OK) << c.loader->origin;
    p.after = committedPrivateBytes();
    t->Release();
    const double peak = (p.peak - p.before) / kMiB, kept = (p.after - p.before) / kMiB;
    const double texture = c.side * c.side * 4 / kMiB;
    std::printf("base image 4096x4096 -> %ux%u by %s: peak %.1f MiB above the start, %.1f MiB kept (texture %.1f MiB, "
                "one copy of the image %.1f MiB)\n",
                c.side, c.side, c.loader->origin.c_str(), peak, kept, texture, kCopy);
    RecordProperty(c.loader->origin + "_" + std::to_string(c.side) + "_peak_mib", static_cast<int>(peak));
    // Where D3DX serves too: it would hold about three copies, so an image
    // this large goes to the own decoder first.
    EXPECT_LE(peak, kCopy + texture + 8.0) << "the decoder's copy, the texture and a few rows";
    // What stays after the load is not judged: on a loaded machine other
    // memory of the process comes and goes meanwhile.
    EXPECT_GE(peak, texture - 1.0) << "the sampler sees the texture's memory";
  }
}

// ---- COM -----------------------------------------------------------------

// Each decode starts COM on its thread and must end exactly the start it
// made: S_FALSE (the thread had it already) counts too; a thread in the
// other apartment kind (RPC_E_CHANGED_MODE) was started by nobody here.
TEST_F(BaseImageForTarget, DecodingLeavesTheThreadsComAsItFoundIt) {
  for (DWORD apartment : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
    HRESULT still = E_FAIL, again = E_FAIL, decoded = E_FAIL;
    std::thread([&] {
      if (CoInitializeEx(nullptr, apartment) != S_OK) return;
      std::vector<BYTE> pixels;
      UINT w = 0, h = 0;
      decoded = ostrel::decodeImageFile(std::wstring(basePath.begin(), basePath.end()), pixels, w, h);
      still = CoInitializeEx(nullptr, apartment);  // the test's start is still there
      if (SUCCEEDED(still)) CoUninitialize();
      CoUninitialize();  // the test's own: COM is off again if the decode ended its own
      again = CoInitializeEx(nullptr, apartment);
      if (SUCCEEDED(again)) CoUninitialize();
    }).join();
    EXPECT_EQ(decoded, S_OK) << apartment;
    EXPECT_EQ(still, S_FALSE) << "the decode ended a start it did not make, apartment " << apartment;
    EXPECT_EQ(again, S_OK) << "the decode left a start of its own, apartment " << apartment;
  }
}

// A Windows 7 without its platform update has only the original imaging
// factory class: with the newer one refused, images still decode.
TEST_F(BaseImageForTarget, DecodingFallsBackToTheOriginalImagingFactoryClass) {
  static const CLSID missing = {0x0badc1a5, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x01}};
  auto& classes = ostrel::imagingFactoryClasses();
  const auto saved = std::make_pair(classes[0], classes[1]);
  struct Case {
    const CLSID* first;
    const CLSID* second;
    HRESULT expected;
  } cases[] = {{&missing, saved.second, S_OK}, {saved.first, &missing, S_OK}, {&missing, &missing, REGDB_E_CLASSNOTREG}};
  for (const Case& c : cases) {
    classes[0] = c.first;
    classes[1] = c.second;
    std::vector<BYTE> pixels;
    UINT w = 0, h = 0;
    const HRESULT hr = ostrel::decodeImageFile(std::wstring(basePath.begin(), basePath.end()), pixels, w, h);
    classes[0] = saved.first;
    classes[1] = saved.second;
    EXPECT_EQ(hr, c.expected) << (c.first == &missing ? "first class missing" : "second class missing");
    if (c.expected == S_OK) {
      EXPECT_GT(w * h, 0u);
    }
  }
}

}  // namespace
