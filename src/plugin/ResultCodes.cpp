// Symbolic names and descriptions of the result codes our Direct3D, D3DX, WIC
// and COM calls can return. One switch: the compiler turns it into a jump
// table or a binary search, and only the entry that is asked for gets
// deciphered (once per thread).
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wincodec.h>

#include <cstdint>

#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {
namespace {

struct ResultText {
  const char* name;
  const char* description;
};

// Descriptions carry no final period: the error report adds it.
// CODE(symbol, description): the name is the header's own symbol.
// VALUE(number, name, description): codes the headers only give as expressions.
#define CODE(symbol, description) \
  case static_cast<std::uint32_t>(symbol): return {FT(#symbol), FT(description)};
#define VALUE(number, name, description) \
  case static_cast<std::uint32_t>(number): return {FT(name), FT(description)};

ResultText lookup(std::int32_t hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    // Windows and COM
    CODE(S_OK, "The operation completed successfully")
    CODE(S_FALSE, "The operation completed successfully but returned a false result")
    CODE(E_FAIL, "Unspecified error")
    CODE(E_INVALIDARG, "One or more arguments are invalid")
    CODE(E_OUTOFMEMORY, "Ran out of memory")
    CODE(E_NOTIMPL, "Not implemented")
    CODE(E_NOINTERFACE, "No such interface supported")
    CODE(E_POINTER, "Invalid pointer")
    CODE(E_ABORT, "Operation aborted")
    CODE(E_ACCESSDENIED, "General access denied error")
    CODE(E_UNEXPECTED, "Catastrophic failure")
    CODE(E_HANDLE, "Invalid handle")
    CODE(E_PENDING, "The data necessary to complete this operation is not yet available")
    VALUE(0x80070002, "ERROR_FILE_NOT_FOUND", "The system cannot find the file specified")
    VALUE(0x80070003, "ERROR_PATH_NOT_FOUND", "The system cannot find the path specified")
    VALUE(0x80070020, "ERROR_SHARING_VIOLATION", "The process cannot access the file because it is being used by another process")
    VALUE(0x8007007E, "ERROR_MOD_NOT_FOUND", "The specified module could not be found")
    CODE(CO_E_NOTINITIALIZED, "CoInitialize has not been called")
    CODE(REGDB_E_CLASSNOTREG, "Class not registered")
    CODE(CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)")
    // Direct3D 9
    CODE(D3DERR_WRONGTEXTUREFORMAT, "The pixel format of the texture surface is not valid")
    CODE(D3DERR_UNSUPPORTEDCOLOROPERATION, "The device does not support a specified texture-blending operation for color values")
    CODE(D3DERR_UNSUPPORTEDCOLORARG, "The device does not support a specified texture-blending argument for color values")
    CODE(D3DERR_UNSUPPORTEDALPHAOPERATION, "The device does not support a specified texture-blending operation for the alpha channel")
    CODE(D3DERR_UNSUPPORTEDALPHAARG, "The device does not support a specified texture-blending argument for the alpha channel")
    CODE(D3DERR_TOOMANYOPERATIONS, "The application is requesting more texture-filtering operations than the device supports")
    CODE(D3DERR_CONFLICTINGTEXTUREFILTER, "The current texture filters cannot be used together")
    CODE(D3DERR_UNSUPPORTEDFACTORVALUE, "The device does not support the specified texture factor value")
    CODE(D3DERR_CONFLICTINGRENDERSTATE, "The currently set render states cannot be used together")
    CODE(D3DERR_UNSUPPORTEDTEXTUREFILTER, "The device does not support the specified texture filter")
    CODE(D3DERR_CONFLICTINGTEXTUREPALETTE, "The current textures cannot be used simultaneously")
    CODE(D3DERR_DRIVERINTERNALERROR, "Internal driver error")
    CODE(D3DERR_NOTFOUND, "The requested item was not found")
    CODE(D3DERR_MOREDATA, "There is more data available than the specified buffer size can hold")
    CODE(D3DERR_DEVICELOST, "The device has been lost but cannot be reset at this time")
    CODE(D3DERR_DEVICENOTRESET, "The device has been lost but can be reset at this time")
    CODE(D3DERR_NOTAVAILABLE, "This device does not support the queried technique")
    CODE(D3DERR_OUTOFVIDEOMEMORY, "Direct3D does not have enough display memory to perform the operation")
    CODE(D3DERR_INVALIDDEVICE, "The requested device type is not valid")
    CODE(D3DERR_INVALIDCALL, "The method call is invalid")
    CODE(D3DERR_DRIVERINVALIDCALL, "Not used")
    CODE(D3DERR_WASSTILLDRAWING, "The previous blit operation that is transferring information to or from this surface is incomplete")
    CODE(D3DOK_NOAUTOGEN, "The format does not support automatic mipmap generation")
    CODE(D3DERR_DEVICEREMOVED, "The hardware adapter has been removed")
    CODE(D3DERR_DEVICEHUNG, "The device stopped responding and was reset")
    CODE(S_NOT_RESIDENT, "At least one allocation is not resident in video memory")
    CODE(S_RESIDENT_IN_SHARED_MEMORY, "No allocations are in non-resident memory, but at least one is in shared memory")
    CODE(S_PRESENT_MODE_CHANGED, "The desktop display mode has been changed")
    CODE(S_PRESENT_OCCLUDED, "The presentation area is occluded")
    CODE(D3DERR_UNSUPPORTEDOVERLAY, "The device does not support overlay for the specified size or display mode")
    CODE(D3DERR_UNSUPPORTEDOVERLAYFORMAT, "The device does not support overlay for the specified surface format")
    CODE(D3DERR_CANNOTPROTECTCONTENT, "The specified content cannot be protected")
    CODE(D3DERR_UNSUPPORTEDCRYPTO, "The specified cryptographic algorithm is not supported")
    CODE(D3DERR_PRESENT_STATISTICS_DISJOINT, "The present statistics have no orderly sequence")
    // D3DX 9
    CODE(D3DXERR_CANNOTMODIFYINDEXBUFFER, "The index buffer cannot be modified")
    CODE(D3DXERR_INVALIDMESH, "The mesh is invalid")
    CODE(D3DXERR_CANNOTATTRSORT, "Attribute sort (D3DXMESHOPT_ATTRSORT) is not supported as an optimization technique")
    CODE(D3DXERR_SKINNINGNOTSUPPORTED, "Skinning is not supported")
    CODE(D3DXERR_TOOMANYINFLUENCES, "Too many influences specified")
    CODE(D3DXERR_INVALIDDATA, "The data is invalid")
    CODE(D3DXERR_LOADEDMESHASNODATA, "The mesh has no data")
    CODE(D3DXERR_DUPLICATENAMEDFRAGMENT, "A fragment with that name already exists")
    CODE(D3DXERR_CANNOTREMOVELASTITEM, "The last item cannot be deleted")
    // Windows Imaging Component
    CODE(WINCODEC_ERR_WRONGSTATE, "The codec is in the wrong state")
    CODE(WINCODEC_ERR_VALUEOUTOFRANGE, "The value is out of range")
    CODE(WINCODEC_ERR_UNKNOWNIMAGEFORMAT, "The image format is unknown")
    CODE(WINCODEC_ERR_UNSUPPORTEDVERSION, "The SDK version is unsupported")
    CODE(WINCODEC_ERR_NOTINITIALIZED, "The component is not initialized")
    CODE(WINCODEC_ERR_ALREADYLOCKED, "There is already an outstanding read or write lock")
    CODE(WINCODEC_ERR_PROPERTYNOTFOUND, "The specified bitmap property cannot be found")
    CODE(WINCODEC_ERR_PROPERTYNOTSUPPORTED, "The bitmap codec does not support the bitmap property")
    CODE(WINCODEC_ERR_PROPERTYSIZE, "The bitmap property size is invalid")
    CODE(WINCODEC_ERR_CODECPRESENT, "An unknown error has occurred")
    CODE(WINCODEC_ERR_CODECNOTHUMBNAIL, "The bitmap codec does not support a thumbnail")
    CODE(WINCODEC_ERR_PALETTEUNAVAILABLE, "The bitmap palette is unavailable")
    CODE(WINCODEC_ERR_CODECTOOMANYSCANLINES, "Too many scanlines were requested")
    CODE(WINCODEC_ERR_INTERNALERROR, "An internal error occurred")
    CODE(WINCODEC_ERR_SOURCERECTDOESNOTMATCHDIMENSIONS, "The bitmap bounds do not match the bitmap dimensions")
    CODE(WINCODEC_ERR_COMPONENTNOTFOUND, "The component cannot be found")
    CODE(WINCODEC_ERR_IMAGESIZEOUTOFRANGE, "The bitmap size is outside the valid range")
    CODE(WINCODEC_ERR_TOOMUCHMETADATA, "There is too much metadata to be written to the bitmap")
    CODE(WINCODEC_ERR_BADIMAGE, "The image is unrecognized")
    CODE(WINCODEC_ERR_BADHEADER, "The image header is unrecognized")
    CODE(WINCODEC_ERR_FRAMEMISSING, "The bitmap frame is missing")
    CODE(WINCODEC_ERR_BADMETADATAHEADER, "The image metadata header is unrecognized")
    CODE(WINCODEC_ERR_BADSTREAMDATA, "The stream data is unrecognized")
    CODE(WINCODEC_ERR_STREAMWRITE, "Failed to write to the stream")
    CODE(WINCODEC_ERR_STREAMREAD, "Failed to read from the stream")
    CODE(WINCODEC_ERR_STREAMNOTAVAILABLE, "The stream is not available")
    CODE(WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT, "The bitmap pixel format is unsupported")
    CODE(WINCODEC_ERR_UNSUPPORTEDOPERATION, "The operation is unsupported")
    CODE(WINCODEC_ERR_INVALIDREGISTRATION, "The component registration is invalid")
    CODE(WINCODEC_ERR_COMPONENTINITIALIZEFAILURE, "The component initialization has failed")
    CODE(WINCODEC_ERR_INSUFFICIENTBUFFER, "The buffer allocated is insufficient")
    CODE(WINCODEC_ERR_DUPLICATEMETADATAPRESENT, "Duplicate metadata is present")
    CODE(WINCODEC_ERR_PROPERTYUNEXPECTEDTYPE, "The bitmap property type is unexpected")
    CODE(WINCODEC_ERR_UNEXPECTEDSIZE, "The size is unexpected")
    CODE(WINCODEC_ERR_INVALIDQUERYREQUEST, "The property query is invalid")
    CODE(WINCODEC_ERR_UNEXPECTEDMETADATATYPE, "The metadata type is unexpected")
    CODE(WINCODEC_ERR_REQUESTONLYVALIDATMETADATAROOT, "The specified bitmap property is only valid at root level")
    CODE(WINCODEC_ERR_INVALIDQUERYCHARACTER, "The query string contains an invalid character")
    CODE(WINCODEC_ERR_WIN32ERROR, "Windows Codecs received an error from the Win32 system")
    CODE(WINCODEC_ERR_INVALIDPROGRESSIVELEVEL, "The requested level of detail is not present")
    default: return {FT("Unknown"), FT("n/a")};
  }
}

#undef CODE
#undef VALUE

}  // namespace

const char* resultName(std::int32_t hr) { return lookup(hr).name; }
const char* resultDescription(std::int32_t hr) { return lookup(hr).description; }

}  // namespace ostrel
