// Times the damage diagram's drawing in one process: the 88 shipped part
// images drawn as whole-image quads, drawn over their visible texels only,
// one texture and draw each, and drawn from one atlas in one call (as the
// panel does), each frame finished on the device before the clock stops so
// that the fill is counted, not just the calls. Prints one CSV row per
// variant.
//
//   diagram_bench.exe PART-IMAGE-FOLDER [FRAMES]
#include <windows.h>
#include <d3d9.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "D3DTestDevice.h"
#include "KVX/D3D9Helpers.h"
#include "KVX/ImageAtlas.h"
#include "panels/CarDamageHUD.h"
#include "panels/PartFileNames.h"
#include "plugin/WideText.h"

namespace {

constexpr int kParts = 88;

// Waits until the device has carried out everything issued so far.
void finish(IDirect3DDevice9* device, IDirect3DQuery9* query) {
  if (!query) return;
  query->Issue(D3DISSUE_END);
  while (query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: diagram_bench PART-IMAGE-FOLDER [FRAMES]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int frames = argc > 2 ? std::max(10, std::atoi(argv[2])) : 300;
  testing_support::D3DTestDevice dev(640, 480);
  if (!dev.ok()) {
    std::fprintf(stderr, "diagram_bench: no Direct3D 9 device\n");
    return 3;
  }
  IDirect3DDevice9* device = dev.device();
  std::vector<ostrel::TexturedRect> parts(kParts);
  for (int i = 0; i < kParts; ++i)
    if (FAILED(ostrel::loadTexturedRect(device, ostrel::widen(folder + "\\" + ostrel::partFileName(i)), 0, 0, 0, 0,
                                        &parts[i]))) {
      std::fprintf(stderr, "diagram_bench: cannot load part %d from %s\n", i, folder.c_str());
      return 4;
    }
  // The same images packed as the panel packs them.
  std::vector<ostrel::AtlasImage> boxes(kParts);
  std::vector<ostrel::AtlasSize> sizes(kParts);
  for (int i = 0; i < kParts; ++i) {
    if (FAILED(ostrel::decodeAtlasImage(ostrel::widen(folder + "\\" + ostrel::partFileName(i)), boxes[i]))) return 4;
    const ostrel::TexelBounds& v = boxes[i].visible;
    if (!v.empty()) sizes[i] = {v.right - v.left, v.bottom - v.top};
  }
  const auto layout = ostrel::packAtlas(sizes, 4096, 4096, ostrel::kAtlasPadding);
  IDirect3DTexture9* atlas = nullptr;
  if (!layout || FAILED(ostrel::createAtlasTexture(device, boxes, *layout, &atlas))) {
    std::fprintf(stderr, "diagram_bench: no atlas for %s\n", folder.c_str());
    return 4;
  }
  std::vector<ostrel::Vertex2D> triangles(kParts * 6);

  IDirect3DQuery9* query = nullptr;
  if (FAILED(device->CreateQuery(D3DQUERYTYPE_EVENT, &query))) query = nullptr;

  std::printf("variant,frames,p50_us,p99_us,max_us,mean_us\n");
  enum Variant { WholeImages, VisibleTexels, Atlas };
  for (const Variant variant : {WholeImages, VisibleTexels, Atlas}) {
    std::vector<double> us;
    for (int f = 0; f < frames + 10; ++f) {
      dev.begin(0xFF204060);
      finish(device, query);
      const auto t0 = std::chrono::steady_clock::now();
      ostrel::SetupVertex2DRenderState(device);
      device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
      device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
      device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      ostrel::lastBoundTexture = nullptr;
      UINT quads = 0;
      for (int i = 0; i < kParts; ++i) {
        ostrel::TexturedRect& p = parts[i];
        const std::uint32_t tint = ostrel::damageTint(i % 5, (f / 30) % 2 == 0);
        if (variant == Atlas) {
          if (layout->spots[i].x < 0) continue;
          ostrel::atlasQuad(&triangles[quads++ * 6], boxes[i].visible, boxes[i].width, boxes[i].height,
                            layout->spots[i], *layout, 20.0f, 100.0f, 0.0f, 0.0f, tint);
          continue;
        }
        if (variant == VisibleTexels) {
          if (!ostrel::setVisibleRectQuad(p, 20.0f, 100.0f, 0.0f, 0.0f)) continue;
        } else {
          ostrel::setRectQuad(p, 20.0f, 100.0f, 0.0f, 0.0f);
        }
        for (ostrel::Vertex2D& v : p.vertices) v.colour = tint;
        ostrel::drawTexturedQuad(device, p);
      }
      if (variant == Atlas) ostrel::drawTexturedQuadList(device, atlas, triangles.data(), quads);
      finish(device, query);
      const auto t1 = std::chrono::steady_clock::now();
      dev.end();
      device->Present(nullptr, nullptr, nullptr, nullptr);
      if (f >= 10) us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * (us.size() - 1) + 0.5))]; };
    double mean = 0;
    for (double v : us) mean += v;
    mean /= static_cast<double>(us.size());
    const char* names[] = {"WholeImages", "VisibleTexels", "Atlas"};
    std::printf("%s,%d,%.1f,%.1f,%.1f,%.1f\n", names[variant], frames, at(0.5),
                at(0.99), us.back(), mean);
  }
  if (query) query->Release();
  atlas->Release();
  return 0;
}
