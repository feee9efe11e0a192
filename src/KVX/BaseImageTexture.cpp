#include "KVX/BaseImageTexture.h"

#include <algorithm>
#include <vector>

#include "KVX/BaseImagePixels.h"
#include "KVX/ComRelease.h"
#include "KVX/ImageDecoder.h"
#include "KVX/PixelFormats.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {
namespace {

// Rows read from the decoder at once where no scaling is needed.
constexpr UINT kBandRows = 32;

std::string sizeText(UINT w, UINT h) { return std::to_string(w) + FT("x") + std::to_string(h); }

// The texture's size: the target's, or the image's rounded up to powers of
// two; never past the device's limit.
ImageSize textureSize(IDirect3DDevice9* device, UINT imageWidth, UINT imageHeight, UINT width, UINT height) {
  ImageSize size{width ? width : nextPowerOfTwo(imageWidth), height ? height : nextPowerOfTwo(imageHeight)};
  D3DCAPS9 caps{};
  if (FAILED(device->GetDeviceCaps(&caps))) return size;
  const ImageSize fitted = fitWithin(size, caps.MaxTextureWidth, caps.MaxTextureHeight);
  if (imageWidth > caps.MaxTextureWidth || imageHeight > caps.MaxTextureHeight ||
      fitted.width != size.width || fitted.height != size.height)
    logText(std::string(FT("Gauges: base image of ")) + sizeText(imageWidth, imageHeight) +
            FT(" is larger than the device's texture limit ") +
            sizeText(caps.MaxTextureWidth, caps.MaxTextureHeight) + FT("; scaled to ") +
            sizeText(fitted.width, fitted.height));
  return fitted;
}

// Writes the image into the locked level: converted band by band when the
// sizes agree, else resampled a row at a time from two source rows.
HRESULT writeTexels(ImageRows& image, const D3DLOCKED_RECT& locked, std::uint32_t format, UINT width, UINT height) {
  auto* bits = static_cast<std::uint8_t*>(locked.pBits);
  auto target = [&](UINT row) { return bits + static_cast<size_t>(row) * static_cast<size_t>(locked.Pitch); };
  const size_t sourceRow = static_cast<size_t>(image.width()) * 4;
  if (image.width() == width && image.height() == height) {
    std::vector<std::uint8_t> band(sourceRow * std::min(kBandRows, height));
    for (UINT first = 0; first < height; first += kBandRows) {
      const UINT count = std::min(kBandRows, height - first);
      const HRESULT hr = image.read(first, count, band.data());
      if (FAILED(hr)) return hr;
      for (UINT r = 0; r < count; ++r) pixels::writeRow(band.data() + r * sourceRow, width, format, target(first + r));
    }
    return S_OK;
  }
  const BilinearRows resampler(image.width(), image.height(), width, height);
  // Source rows n and n + 1 in hand; they only move down the image, so each
  // is read once.
  std::vector<std::uint8_t> upper(sourceRow), lower(sourceRow), made(static_cast<size_t>(width) * 4);
  UINT n = ~0u;
  bool lowerHeld = false;
  for (UINT y = 0; y < height; ++y) {
    const BilinearRows::Rows need = resampler.sourceRows(y);
    if (need.first != n) {
      if (lowerHeld && need.first == n + 1) {
        upper.swap(lower);
      } else {
        const HRESULT hr = image.read(need.first, 1, upper.data());
        if (FAILED(hr)) return hr;
      }
      n = need.first;
      lowerHeld = false;
    }
    if (need.second != n && !lowerHeld) {
      const HRESULT hr = image.read(need.second, 1, lower.data());
      if (FAILED(hr)) return hr;
      lowerHeld = true;
    }
    resampler.makeRow(upper.data(), need.second != n ? lower.data() : upper.data(), y, made.data());
    pixels::writeRow(made.data(), width, format, target(y));
  }
  return S_OK;
}

}  // namespace

HRESULT makeBaseImageTexture(IDirect3DDevice9* device, const std::wstring& path, D3DFORMAT format, UINT width,
                             UINT height, IDirect3DTexture9** texture) {
  if (!device || !texture || path.empty()) return E_INVALIDARG;
  *texture = nullptr;
  if (!pixels::canWrite(static_cast<std::uint32_t>(format))) return D3DERR_WRONGTEXTUREFORMAT;
  IDirect3DTexture9* created = nullptr;
  HRESULT hr = S_OK;
  try {
    ImageRows image;
    hr = image.open(path, false);
    if (FAILED(hr)) return hr;
    const ImageSize size = textureSize(device, image.width(), image.height(), width, height);
    hr = device->CreateTexture(size.width, size.height, 1, 0, format, D3DPOOL_SYSTEMMEM, &created, nullptr);
    if (FAILED(hr)) created = nullptr;
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(hr)) hr = created->LockRect(0, &locked, nullptr, 0);
    if (SUCCEEDED(hr)) {
      hr = writeTexels(image, locked, static_cast<std::uint32_t>(format), size.width, size.height);
      const HRESULT unlocked = created->UnlockRect(0);
      if (SUCCEEDED(hr)) hr = unlocked;
    }
  } catch (...) {
    hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr)) {
    *texture = created;
    created = nullptr;
  }
  releaseCom(created);
  return hr;
}

}  // namespace ostrel
