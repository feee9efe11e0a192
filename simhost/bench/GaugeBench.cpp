// Times the gauge renderer on a 1024 x 1024 texture: the sample gauge set
// once restoring the whole texture every frame, once restoring only refresh
// rectangles around its instruments, each on a render target and on a
// managed texture (drawn on the renderer's own target and read back). Prints
// one CSV row per variant.
//
//   gauge_bench.exe SAMPLE-GAUGE-FOLDER WORK-FOLDER [FRAMES]
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "D3DTestDevice.h"
#include "HostRecords.h"
#include "TextureHandler.h"
#include "panels/HostState.h"

namespace fs = std::filesystem;

namespace {

constexpr UINT kSize = 1024;

// The sample set without its own refresh rectangle: every section up to the
// first refresh section.
std::string definitionWithoutRefresh(const std::string& text) {
  std::istringstream in(text);
  std::string line, out, section;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  // Drop whole sections whose Type is the refresh keyword.
  std::vector<std::string> kept, current;
  bool refresh = false;
  auto flush = [&] {
    if (!refresh) kept.insert(kept.end(), current.begin(), current.end());
    current.clear();
    refresh = false;
  };
  for (const std::string& l : lines) {
    if (!l.empty() && l[0] == '[') flush();
    if (l.rfind("Type=refresh", 0) == 0) refresh = true;
    // The bench gives the base image itself.
    if (l.rfind("Replacement=", 0) == 0) continue;
    current.push_back(l);
  }
  flush();
  for (const std::string& l : kept) out += l + "\n";
  return out;
}

// Rectangles around the instruments of the sample set (they sit in the top
// left 512 x 256 of the texture).
const char* kRefreshRects =
    "[RefreshLeftDial]\nType=refresh\nLeft=0\nTop=0\nRight=200\nBottom=256\n"
    "[RefreshMiddle]\nType=refresh\nLeft=200\nTop=0\nRight=312\nBottom=256\n"
    "[RefreshRightDial]\nType=refresh\nLeft=312\nTop=0\nRight=512\nBottom=256\n";

bool writeBaseImage(IDirect3DDevice9* device, const std::string& path) {
  IDirect3DTexture9* t = nullptr;
  if (FAILED(device->CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &t, nullptr))) return false;
  D3DLOCKED_RECT lr{};
  bool ok = SUCCEEDED(t->LockRect(0, &lr, nullptr, 0));
  if (ok) {
    for (UINT y = 0; y < kSize; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(lr.pBits) + y * lr.Pitch);
      for (UINT x = 0; x < kSize; ++x) row[x] = 0xFF202830u + (((x / 32 + y / 32) & 1) ? 0x00101010u : 0u);
    }
    t->UnlockRect(0);
    ok = SUCCEEDED(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_PNG, t, nullptr));
  }
  t->Release();
  return ok;
}

struct Figures {
  double p50 = 0, p99 = 0, max = 0, mean = 0;
};

Figures summarise(std::vector<double> us) {
  Figures f;
  if (us.empty()) return f;
  std::sort(us.begin(), us.end());
  auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * (us.size() - 1) + 0.5))]; };
  f.p50 = at(0.5);
  f.p99 = at(0.99);
  f.max = us.back();
  for (double v : us) f.mean += v;
  f.mean /= static_cast<double>(us.size());
  return f;
}

// The car values the gauges read, as plain host records.
struct Host : testing_support::HostRecords {
  Host() {
    auto& p = ostrel::host::pointers();
    p.carStateBlock = carState;
    p.carObject = carObject;
    p.gaugeValueBlock = valueBlock;
  }
  void rpm(float v) { put(carState, 0x10, v); }
  void speed(float v) { put(carState, 0x14, v); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gauge_bench SAMPLE-GAUGE-FOLDER WORK-FOLDER [FRAMES]\n");
    return 2;
  }
  const fs::path sample = argv[1], work = argv[2];
  const int frames = argc > 3 ? std::max(10, std::atoi(argv[3])) : 300;
  std::error_code ec;
  fs::create_directories(work, ec);
  for (const auto& e : fs::directory_iterator(sample, ec))
    if (e.path().extension() == ".png") fs::copy_file(e.path(), work / e.path().filename(), fs::copy_options::overwrite_existing, ec);
  std::ifstream in(sample / "Gauges.ini", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (text.str().empty()) {
    std::fprintf(stderr, "gauge_bench: no Gauges.ini in %s\n", sample.string().c_str());
    return 2;
  }
  const std::string whole = definitionWithoutRefresh(text.str());
  std::ofstream(work / "WholeTexture.ini", std::ios::binary) << whole;
  std::ofstream(work / "RefreshRects.ini", std::ios::binary) << whole << kRefreshRects;

  testing_support::D3DTestDevice dev(640, 480);
  if (!dev.ok()) {
    std::fprintf(stderr, "gauge_bench: no Direct3D 9 device\n");
    return 3;
  }
  IDirect3DDevice9* device = dev.device();
  const std::string base = (work / "base1024.png").string();
  if (!writeBaseImage(device, base)) {
    std::fprintf(stderr, "gauge_bench: cannot write the base image\n");
    return 3;
  }
  Host host;
  std::printf("variant,frames,p50_us,p99_us,max_us,mean_us\n");
  // A host texture in the managed pool is drawn on a target of the
  // renderer's own and read back into it each drawn frame.
  struct Variant {
    const char* set;
    D3DPOOL pool;
    const char* name;
  };
  const Variant variants[] = {{"WholeTexture", D3DPOOL_DEFAULT, "WholeTexture"},
                              {"RefreshRects", D3DPOOL_DEFAULT, "RefreshRects"},
                              {"WholeTexture", D3DPOOL_MANAGED, "WholeTextureManaged"},
                              {"RefreshRects", D3DPOOL_MANAGED, "RefreshRectsManaged"}};
  for (const Variant& v : variants) {
    const char* variant = v.set;
    IDirect3DTexture9* target = nullptr;
    if (FAILED(device->CreateTexture(kSize, kSize, 1, v.pool == D3DPOOL_DEFAULT ? D3DUSAGE_RENDERTARGET : 0,
                                     D3DFMT_A8R8G8B8, v.pool, &target, nullptr))) {
      std::fprintf(stderr, "gauge_bench: cannot create the render target\n");
      return 3;
    }
    std::vector<double> us;
    {
      ostrel::TextureHandler renderer(device, target, (work / (std::string(variant) + ".ini")).string(), base);
      if (!renderer.active()) {
        std::fprintf(stderr, "gauge_bench: the renderer did not load its base image\n");
        target->Release();
        return 4;
      }
      for (int f = 0; f < frames + 10; ++f) {
        host.rpm(1000.0f + 20.0f * static_cast<float>(f % 300));
        host.speed(static_cast<float>(f % 200));
        dev.begin();
        auto t0 = std::chrono::steady_clock::now();
        renderer.Render();
        auto t1 = std::chrono::steady_clock::now();
        dev.end();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        // The first frames load and warm caches; they are not the steady state.
        if (f >= 10) us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
      }
    }
    target->Release();
    Figures s = summarise(us);
    std::printf("%s,%d,%.1f,%.1f,%.1f,%.1f\n", v.name, frames, s.p50, s.p99, s.max, s.mean);
  }
  return 0;
}
