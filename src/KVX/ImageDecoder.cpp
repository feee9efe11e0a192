#include "KVX/ImageDecoder.h"

#include <wincodec.h>

#include "KVX/ComRelease.h"

namespace ostrel {
namespace {

// Both GUIDs are spelled out: the imaging factory class is the newer one and
// the interface the original, as the platform pairs them.
const CLSID kWicFactoryClass = {0x317d06e8, 0x5f24, 0x433d, {0xbd, 0xf7, 0x79, 0xce, 0x68, 0xd8, 0xab, 0xc2}};
const IID kWicFactoryInterface = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
const GUID kPixelFormat32bppPBGRA = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x10}};

}  // namespace

HRESULT decodeImageFile(const std::wstring& path, std::vector<BYTE>& pixels, UINT& w, UINT& h) {
  if (path.empty()) return E_INVALIDARG;
  const bool comStarted = CoInitialize(nullptr) == S_OK;

  IWICImagingFactory* factory = nullptr;
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  w = h = 0;

  HRESULT hr = CoCreateInstance(kWicFactoryClass, nullptr, CLSCTX_INPROC_SERVER, kWicFactoryInterface,
                                reinterpret_cast<void**>(&factory));
  if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
  if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_READ);
  if (SUCCEEDED(hr))
    hr = factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad, &decoder);
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr))
    hr = converter->Initialize(frame, kPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                               WICBitmapPaletteTypeCustom);
  if (SUCCEEDED(hr)) hr = frame->GetSize(&w, &h);
  if (SUCCEEDED(hr)) {
    // A corrupt header can claim any size; refuse what no texture could hold
    // rather than trying to allocate it.
    if (w == 0 || h == 0 || w > 16384 || h > 16384) hr = WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  }
  if (SUCCEEDED(hr)) {
    try {
      pixels.resize(static_cast<size_t>(w) * h * 4);
    } catch (...) {
      hr = E_OUTOFMEMORY;
    }
  }
  if (SUCCEEDED(hr)) hr = converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.size()), pixels.data());

  releaseCom(converter);
  releaseCom(frame);
  releaseCom(decoder);
  releaseCom(stream);
  releaseCom(factory);
  if (comStarted) CoUninitialize();
  return hr;
}

}  // namespace ostrel
