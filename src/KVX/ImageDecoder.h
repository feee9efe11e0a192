#pragma once
// Decoding an image file into 32-bit premultiplied BGRA pixels with the
// Windows Imaging Component: the one decoder behind every image the plug-in
// loads, and the judge of the lint tool's image checks.
#include <windows.h>

#include <string>
#include <vector>

namespace ostrel {

// Rows of `width` x 4 bytes, top to bottom. Sizes above 16384 on a side are
// refused (WINCODEC_ERR_IMAGESIZEOUTOFRANGE) before anything is allocated.
HRESULT decodeImageFile(const std::wstring& path, std::vector<BYTE>& pixels, UINT& width, UINT& height);

}  // namespace ostrel
