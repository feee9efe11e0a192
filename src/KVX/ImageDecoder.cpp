#include "KVX/ImageDecoder.h"

#include <wincodec.h>

#include "KVX/ComRelease.h"

namespace ostrel {
namespace {

// The GUIDs are spelled out: the newer imaging factory class first, then the
// original one (all a Windows 7 without its platform update has); the
// interface is the original, which both classes answer.
const CLSID kWicFactoryClassNewer = {0x317d06e8, 0x5f24, 0x433d, {0xbd, 0xf7, 0x79, 0xce, 0x68, 0xd8, 0xab, 0xc2}};
const CLSID kWicFactoryClassOriginal = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
const IID kWicFactoryInterface = {0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};
const GUID kPixelFormat32bppBGRA = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};
const GUID kPixelFormat32bppPBGRA = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x10}};

constexpr UINT kLargestSide = 16384;

}  // namespace

ImagingFactoryClasses& imagingFactoryClasses() {
  static ImagingFactoryClasses classes{&kWicFactoryClassNewer, &kWicFactoryClassOriginal};
  return classes;
}

HRESULT createImagingFactory(IWICImagingFactory** factory) {
  *factory = nullptr;
  HRESULT hr = REGDB_E_CLASSNOTREG;
  for (const CLSID* c : imagingFactoryClasses()) {
    if (!c) continue;
    hr = CoCreateInstance(*c, nullptr, CLSCTX_INPROC_SERVER, kWicFactoryInterface, reinterpret_cast<void**>(factory));
    if (SUCCEEDED(hr) && *factory) return hr;
    *factory = nullptr;
  }
  return FAILED(hr) ? hr : E_NOINTERFACE;
}

HRESULT ImageRows::open(const std::wstring& path, bool premultiplied) {
  close();
  if (path.empty()) return E_INVALIDARG;
  // S_FALSE says the thread had COM already: it still counts one more start
  // that must be balanced. RPC_E_CHANGED_MODE (another apartment kind) and
  // failures started nothing.
  comStarted_ = SUCCEEDED(CoInitialize(nullptr));
  HRESULT hr = createImagingFactory(&factory_);
  if (SUCCEEDED(hr)) hr = factory_->CreateStream(&stream_);
  if (SUCCEEDED(hr)) hr = stream_->InitializeFromFilename(path.c_str(), GENERIC_READ);
  if (SUCCEEDED(hr)) hr = factory_->CreateDecoderFromStream(stream_, nullptr, WICDecodeMetadataCacheOnLoad, &decoder_);
  if (SUCCEEDED(hr)) hr = decoder_->GetFrame(0, &frame_);
  if (SUCCEEDED(hr)) hr = factory_->CreateFormatConverter(&converter_);
  if (SUCCEEDED(hr))
    hr = converter_->Initialize(frame_, premultiplied ? kPixelFormat32bppPBGRA : kPixelFormat32bppBGRA,
                                WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
  if (SUCCEEDED(hr)) hr = frame_->GetSize(&width_, &height_);
  // A corrupt header can claim any size; refuse what no texture could hold
  // rather than trying to allocate it.
  if (SUCCEEDED(hr) && (width_ == 0 || height_ == 0 || width_ > kLargestSide || height_ > kLargestSide))
    hr = WINCODEC_ERR_IMAGESIZEOUTOFRANGE;
  if (FAILED(hr)) close();
  return hr;
}

HRESULT ImageRows::read(UINT first, UINT count, BYTE* out) {
  if (!converter_ || !out || count == 0 || first >= height_ || count > height_ - first) return E_INVALIDARG;
  const WICRect rows{0, static_cast<INT>(first), static_cast<INT>(width_), static_cast<INT>(count)};
  return converter_->CopyPixels(&rows, width_ * 4, width_ * 4 * count, out);
}

void ImageRows::close() {
  releaseCom(converter_);
  releaseCom(frame_);
  releaseCom(decoder_);
  releaseCom(stream_);
  releaseCom(factory_);
  if (comStarted_) CoUninitialize();
  comStarted_ = false;
  width_ = height_ = 0;
}

HRESULT decodeImageFile(const std::wstring& path, std::vector<BYTE>& pixels, UINT& w, UINT& h) {
  w = h = 0;
  ImageRows image;
  HRESULT hr = image.open(path, true);
  if (FAILED(hr)) return hr;
  try {
    pixels.resize(static_cast<size_t>(image.width()) * image.height() * 4);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  hr = image.read(0, image.height(), pixels.data());
  if (SUCCEEDED(hr)) w = image.width(), h = image.height();
  return hr;
}

}  // namespace ostrel
