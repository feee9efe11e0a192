#pragma once
// Decoding image files with the Windows Imaging Component: the one decoder
// behind every image the plug-in loads, and the judge of the lint tool's
// image checks.
#include <windows.h>

#include <string>
#include <vector>

struct IWICImagingFactory;
struct IWICStream;
struct IWICBitmapDecoder;
struct IWICBitmapFrameDecode;
struct IWICFormatConverter;

namespace ostrel {

// The imaging factory classes tried in turn (tests may replace the first to
// see the fallback), and the factory made from the first that answers.
using ImagingFactoryClasses = const CLSID* [2];
ImagingFactoryClasses& imagingFactoryClasses();
HRESULT createImagingFactory(IWICImagingFactory** factory);

// An image file open for reading its pixels a band of rows at a time, as
// 32-bit BGRA, so that a caller can convert them as it goes instead of
// holding a decoded copy of its own. Sides above 16384 are refused
// (WINCODEC_ERR_IMAGESIZEOUTOFRANGE) before anything is allocated.
class ImageRows {
 public:
  ImageRows() = default;
  ~ImageRows() { close(); }
  ImageRows(const ImageRows&) = delete;
  ImageRows& operator=(const ImageRows&) = delete;

  // `premultiplied`: colour channels scaled by alpha (what the panels blend
  // with); otherwise straight alpha, as image files and D3DX have it.
  HRESULT open(const std::wstring& path, bool premultiplied);
  UINT width() const { return width_; }
  UINT height() const { return height_; }
  // Rows [first, first + count) into `out`, `count` x width x 4 bytes.
  HRESULT read(UINT first, UINT count, BYTE* out);
  void close();

 private:
  bool comStarted_ = false;
  IWICImagingFactory* factory_ = nullptr;
  IWICStream* stream_ = nullptr;
  IWICBitmapDecoder* decoder_ = nullptr;
  IWICBitmapFrameDecode* frame_ = nullptr;
  IWICFormatConverter* converter_ = nullptr;
  UINT width_ = 0, height_ = 0;
};

// The whole image as premultiplied BGRA: rows of `width` x 4 bytes, top to
// bottom, with the same size limit.
HRESULT decodeImageFile(const std::wstring& path, std::vector<BYTE>& pixels, UINT& width, UINT& height);

}  // namespace ostrel
