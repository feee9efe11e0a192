#include "HostLog.h"

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <sstream>

#include "D3DTestDevice.h"

namespace reliability {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  return out;
}

int countLinesWith(const std::string& text, const std::vector<std::string>& words) {
  int n = 0;
  for (const std::string& line : splitLines(text)) {
    const std::string l = lower(line);
    bool all = true;
    for (const std::string& w : words) all = all && l.find(lower(w)) != std::string::npos;
    n += all;
  }
  return n;
}

std::pair<std::string, int> mostRepeatedLine(const std::string& text) {
  std::map<std::string, int> counts;
  for (const std::string& line : splitLines(text))
    if (!line.empty()) ++counts[line];
  std::pair<std::string, int> best{"", 0};
  for (const auto& [line, n] : counts)
    if (n > best.second) best = {line, n};
  return best;
}

Image loadPng(const std::string& path) {
  Image image;
  testing_support::D3DTestDevice dev(64, 64);
  D3DXIMAGE_INFO info{};
  if (!dev.ok() || FAILED(D3DXGetImageInfoFromFileA(path.c_str(), &info))) return image;
  IDirect3DSurface9* surface = nullptr;
  if (FAILED(dev.device()->CreateOffscreenPlainSurface(info.Width, info.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
                                                       &surface, nullptr)))
    return image;
  if (SUCCEEDED(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, path.c_str(), nullptr, D3DX_FILTER_NONE, 0, nullptr))) {
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
      image.width = info.Width;
      image.height = info.Height;
      image.pixels.resize(static_cast<std::size_t>(info.Width) * info.Height);
      for (UINT y = 0; y < info.Height; ++y)
        std::memcpy(&image.pixels[static_cast<std::size_t>(y) * info.Width],
                    static_cast<char*>(lr.pBits) + y * lr.Pitch, info.Width * 4);
      surface->UnlockRect();
    }
  }
  surface->Release();
  return image;
}

int differingPixels(const Image& a, const Image& b, int left, int top, int right, int bottom, int tolerance) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return -1;
  int n = 0;
  for (int y = top; y < bottom && y < static_cast<int>(a.height); ++y)
    for (int x = left; x < right && x < static_cast<int>(a.width); ++x) {
      const std::uint32_t p = a.at(x, y), q = b.at(x, y);
      for (int shift : {0, 8, 16}) {
        const int d = static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) {
          ++n;
          break;
        }
      }
    }
  return n;
}

}  // namespace reliability
