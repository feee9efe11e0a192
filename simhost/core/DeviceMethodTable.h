#pragma once
// Every IDirect3DDevice9 method in vtable order, with the kind it is counted
// under. The table holds only tokens: a user that expands just the names and
// kinds needs no Windows header, so scenario reading can check method names.
//
//   U(kind, Name)                        implemented by hand (IUnknown)
//   H(kind, Name, (params), (args))      returns HRESULT: can be made to fail
//   V(kind, Type, Name, (params), (args)) returns something else: forwarded only
//
// Kinds: State (state changes), Texture (texture binds), Draw, Copy (surface
// copies), Target (render-target switches), Create (resource creation), Other.
#define SIMHOST_DEVICE_METHODS(U, H, V)                                                                          \
  U(Other, QueryInterface)                                                                                     \
  U(Other, AddRef)                                                                                             \
  U(Other, Release)                                                                                            \
  H(Other, TestCooperativeLevel, (), ())                                                                       \
  V(Other, UINT, GetAvailableTextureMem, (), ())                                                               \
  H(Other, EvictManagedResources, (), ())                                                                      \
  H(Other, GetDirect3D, (IDirect3D9 * *a), (a))                                                                \
  H(Other, GetDeviceCaps, (D3DCAPS9 * a), (a))                                                                 \
  H(Other, GetDisplayMode, (UINT a, D3DDISPLAYMODE* b), (a, b))                                                \
  H(Other, GetCreationParameters, (D3DDEVICE_CREATION_PARAMETERS * a), (a))                                    \
  H(State, SetCursorProperties, (UINT a, UINT b, IDirect3DSurface9* c), (a, b, c))                             \
  V(State, void, SetCursorPosition, (int a, int b, DWORD c), (a, b, c))                                        \
  V(State, WINBOOL, ShowCursor, (WINBOOL a), (a))                                                              \
  H(Create, CreateAdditionalSwapChain, (D3DPRESENT_PARAMETERS * a, IDirect3DSwapChain9** b), (a, b))           \
  H(Other, GetSwapChain, (UINT a, IDirect3DSwapChain9** b), (a, b))                                            \
  V(Other, UINT, GetNumberOfSwapChains, (), ())                                                                \
  H(Other, Reset, (D3DPRESENT_PARAMETERS * a), (a))                                                            \
  H(Other, Present, (const RECT* a, const RECT* b, HWND c, const RGNDATA* d), (a, b, c, d))                    \
  H(Other, GetBackBuffer, (UINT a, UINT b, D3DBACKBUFFER_TYPE c, IDirect3DSurface9** d), (a, b, c, d))         \
  H(Other, GetRasterStatus, (UINT a, D3DRASTER_STATUS* b), (a, b))                                             \
  H(State, SetDialogBoxMode, (WINBOOL a), (a))                                                                 \
  V(State, void, SetGammaRamp, (UINT a, DWORD b, const D3DGAMMARAMP* c), (a, b, c))                            \
  V(Other, void, GetGammaRamp, (UINT a, D3DGAMMARAMP* b), (a, b))                                              \
  H(Create, CreateTexture,                                                                                     \
    (UINT a, UINT b, UINT c, DWORD d, D3DFORMAT e, D3DPOOL f, IDirect3DTexture9** g, HANDLE* h),               \
    (a, b, c, d, e, f, g, h))                                                                                  \
  H(Create, CreateVolumeTexture,                                                                               \
    (UINT a, UINT b, UINT c, UINT d, DWORD e, D3DFORMAT f, D3DPOOL g, IDirect3DVolumeTexture9** h, HANDLE* i), \
    (a, b, c, d, e, f, g, h, i))                                                                               \
  H(Create, CreateCubeTexture,                                                                                 \
    (UINT a, UINT b, DWORD c, D3DFORMAT d, D3DPOOL e, IDirect3DCubeTexture9** f, HANDLE* g),                   \
    (a, b, c, d, e, f, g))                                                                                     \
  H(Create, CreateVertexBuffer, (UINT a, DWORD b, DWORD c, D3DPOOL d, IDirect3DVertexBuffer9** e, HANDLE* f),  \
    (a, b, c, d, e, f))                                                                                        \
  H(Create, CreateIndexBuffer, (UINT a, DWORD b, D3DFORMAT c, D3DPOOL d, IDirect3DIndexBuffer9** e, HANDLE* f), \
    (a, b, c, d, e, f))                                                                                        \
  H(Create, CreateRenderTarget,                                                                                \
    (UINT a, UINT b, D3DFORMAT c, D3DMULTISAMPLE_TYPE d, DWORD e, WINBOOL f, IDirect3DSurface9** g, HANDLE* h), \
    (a, b, c, d, e, f, g, h))                                                                                  \
  H(Create, CreateDepthStencilSurface,                                                                         \
    (UINT a, UINT b, D3DFORMAT c, D3DMULTISAMPLE_TYPE d, DWORD e, WINBOOL f, IDirect3DSurface9** g, HANDLE* h), \
    (a, b, c, d, e, f, g, h))                                                                                  \
  H(Copy, UpdateSurface, (IDirect3DSurface9 * a, const RECT* b, IDirect3DSurface9* c, const POINT* d),         \
    (a, b, c, d))                                                                                              \
  H(Copy, UpdateTexture, (IDirect3DBaseTexture9 * a, IDirect3DBaseTexture9* b), (a, b))                        \
  H(Copy, GetRenderTargetData, (IDirect3DSurface9 * a, IDirect3DSurface9* b), (a, b))                          \
  H(Copy, GetFrontBufferData, (UINT a, IDirect3DSurface9* b), (a, b))                                          \
  H(Copy, StretchRect,                                                                                         \
    (IDirect3DSurface9 * a, const RECT* b, IDirect3DSurface9* c, const RECT* d, D3DTEXTUREFILTERTYPE e),       \
    (a, b, c, d, e))                                                                                           \
  H(Copy, ColorFill, (IDirect3DSurface9 * a, const RECT* b, D3DCOLOR c), (a, b, c))                            \
  H(Create, CreateOffscreenPlainSurface,                                                                       \
    (UINT a, UINT b, D3DFORMAT c, D3DPOOL d, IDirect3DSurface9** e, HANDLE* f), (a, b, c, d, e, f))            \
  H(Target, SetRenderTarget, (DWORD a, IDirect3DSurface9* b), (a, b))                                          \
  H(Other, GetRenderTarget, (DWORD a, IDirect3DSurface9** b), (a, b))                                          \
  H(Target, SetDepthStencilSurface, (IDirect3DSurface9 * a), (a))                                              \
  H(Other, GetDepthStencilSurface, (IDirect3DSurface9 * *a), (a))                                              \
  H(Other, BeginScene, (), ())                                                                                 \
  H(Other, EndScene, (), ())                                                                                   \
  H(Draw, Clear, (DWORD a, const D3DRECT* b, DWORD c, D3DCOLOR d, float e, DWORD f), (a, b, c, d, e, f))       \
  H(State, SetTransform, (D3DTRANSFORMSTATETYPE a, const D3DMATRIX* b), (a, b))                                \
  H(Other, GetTransform, (D3DTRANSFORMSTATETYPE a, D3DMATRIX* b), (a, b))                                      \
  H(State, MultiplyTransform, (D3DTRANSFORMSTATETYPE a, const D3DMATRIX* b), (a, b))                           \
  H(State, SetViewport, (const D3DVIEWPORT9* a), (a))                                                          \
  H(Other, GetViewport, (D3DVIEWPORT9 * a), (a))                                                               \
  H(State, SetMaterial, (const D3DMATERIAL9* a), (a))                                                          \
  H(Other, GetMaterial, (D3DMATERIAL9 * a), (a))                                                               \
  H(State, SetLight, (DWORD a, const D3DLIGHT9* b), (a, b))                                                    \
  H(Other, GetLight, (DWORD a, D3DLIGHT9* b), (a, b))                                                          \
  H(State, LightEnable, (DWORD a, WINBOOL b), (a, b))                                                          \
  H(Other, GetLightEnable, (DWORD a, WINBOOL* b), (a, b))                                                      \
  H(State, SetClipPlane, (DWORD a, const float* b), (a, b))                                                    \
  H(Other, GetClipPlane, (DWORD a, float* b), (a, b))                                                          \
  H(State, SetRenderState, (D3DRENDERSTATETYPE a, DWORD b), (a, b))                                            \
  H(Other, GetRenderState, (D3DRENDERSTATETYPE a, DWORD* b), (a, b))                                           \
  H(Create, CreateStateBlock, (D3DSTATEBLOCKTYPE a, IDirect3DStateBlock9** b), (a, b))                         \
  H(Other, BeginStateBlock, (), ())                                                                            \
  H(Other, EndStateBlock, (IDirect3DStateBlock9 * *a), (a))                                                    \
  H(State, SetClipStatus, (const D3DCLIPSTATUS9* a), (a))                                                      \
  H(Other, GetClipStatus, (D3DCLIPSTATUS9 * a), (a))                                                           \
  H(Other, GetTexture, (DWORD a, IDirect3DBaseTexture9** b), (a, b))                                           \
  H(Texture, SetTexture, (DWORD a, IDirect3DBaseTexture9* b), (a, b))                                          \
  H(Other, GetTextureStageState, (DWORD a, D3DTEXTURESTAGESTATETYPE b, DWORD* c), (a, b, c))                   \
  H(State, SetTextureStageState, (DWORD a, D3DTEXTURESTAGESTATETYPE b, DWORD c), (a, b, c))                    \
  H(Other, GetSamplerState, (DWORD a, D3DSAMPLERSTATETYPE b, DWORD* c), (a, b, c))                             \
  H(State, SetSamplerState, (DWORD a, D3DSAMPLERSTATETYPE b, DWORD c), (a, b, c))                              \
  H(Other, ValidateDevice, (DWORD * a), (a))                                                                   \
  H(State, SetPaletteEntries, (UINT a, const PALETTEENTRY* b), (a, b))                                         \
  H(Other, GetPaletteEntries, (UINT a, PALETTEENTRY* b), (a, b))                                               \
  H(State, SetCurrentTexturePalette, (UINT a), (a))                                                            \
  H(Other, GetCurrentTexturePalette, (UINT * a), (a))                                                          \
  H(State, SetScissorRect, (const RECT* a), (a))                                                               \
  H(Other, GetScissorRect, (RECT * a), (a))                                                                    \
  H(State, SetSoftwareVertexProcessing, (WINBOOL a), (a))                                                      \
  V(Other, WINBOOL, GetSoftwareVertexProcessing, (), ())                                                       \
  H(State, SetNPatchMode, (float a), (a))                                                                      \
  V(Other, float, GetNPatchMode, (), ())                                                                       \
  H(Draw, DrawPrimitive, (D3DPRIMITIVETYPE a, UINT b, UINT c), (a, b, c))                                      \
  H(Draw, DrawIndexedPrimitive, (D3DPRIMITIVETYPE a, INT b, UINT c, UINT d, UINT e, UINT f),                   \
    (a, b, c, d, e, f))                                                                                        \
  H(Draw, DrawPrimitiveUP, (D3DPRIMITIVETYPE a, UINT b, const void* c, UINT d), (a, b, c, d))                  \
  H(Draw, DrawIndexedPrimitiveUP,                                                                              \
    (D3DPRIMITIVETYPE a, UINT b, UINT c, UINT d, const void* e, D3DFORMAT f, const void* g, UINT h),           \
    (a, b, c, d, e, f, g, h))                                                                                  \
  H(Draw, ProcessVertices,                                                                                     \
    (UINT a, UINT b, UINT c, IDirect3DVertexBuffer9* d, IDirect3DVertexDeclaration9* e, DWORD f),              \
    (a, b, c, d, e, f))                                                                                        \
  H(Create, CreateVertexDeclaration, (const D3DVERTEXELEMENT9* a, IDirect3DVertexDeclaration9** b), (a, b))    \
  H(State, SetVertexDeclaration, (IDirect3DVertexDeclaration9 * a), (a))                                       \
  H(Other, GetVertexDeclaration, (IDirect3DVertexDeclaration9 * *a), (a))                                      \
  H(State, SetFVF, (DWORD a), (a))                                                                             \
  H(Other, GetFVF, (DWORD * a), (a))                                                                           \
  H(Create, CreateVertexShader, (const DWORD* a, IDirect3DVertexShader9** b), (a, b))                          \
  H(State, SetVertexShader, (IDirect3DVertexShader9 * a), (a))                                                 \
  H(Other, GetVertexShader, (IDirect3DVertexShader9 * *a), (a))                                                \
  H(State, SetVertexShaderConstantF, (UINT a, const float* b, UINT c), (a, b, c))                              \
  H(Other, GetVertexShaderConstantF, (UINT a, float* b, UINT c), (a, b, c))                                    \
  H(State, SetVertexShaderConstantI, (UINT a, const int* b, UINT c), (a, b, c))                                \
  H(Other, GetVertexShaderConstantI, (UINT a, int* b, UINT c), (a, b, c))                                      \
  H(State, SetVertexShaderConstantB, (UINT a, const WINBOOL* b, UINT c), (a, b, c))                            \
  H(Other, GetVertexShaderConstantB, (UINT a, WINBOOL* b, UINT c), (a, b, c))                                  \
  H(State, SetStreamSource, (UINT a, IDirect3DVertexBuffer9* b, UINT c, UINT d), (a, b, c, d))                 \
  H(Other, GetStreamSource, (UINT a, IDirect3DVertexBuffer9** b, UINT* c, UINT* d), (a, b, c, d))              \
  H(State, SetStreamSourceFreq, (UINT a, UINT b), (a, b))                                                      \
  H(Other, GetStreamSourceFreq, (UINT a, UINT* b), (a, b))                                                     \
  H(State, SetIndices, (IDirect3DIndexBuffer9 * a), (a))                                                       \
  H(Other, GetIndices, (IDirect3DIndexBuffer9 * *a), (a))                                                      \
  H(Create, CreatePixelShader, (const DWORD* a, IDirect3DPixelShader9** b), (a, b))                            \
  H(State, SetPixelShader, (IDirect3DPixelShader9 * a), (a))                                                   \
  H(Other, GetPixelShader, (IDirect3DPixelShader9 * *a), (a))                                                  \
  H(State, SetPixelShaderConstantF, (UINT a, const float* b, UINT c), (a, b, c))                               \
  H(Other, GetPixelShaderConstantF, (UINT a, float* b, UINT c), (a, b, c))                                     \
  H(State, SetPixelShaderConstantI, (UINT a, const int* b, UINT c), (a, b, c))                                 \
  H(Other, GetPixelShaderConstantI, (UINT a, int* b, UINT c), (a, b, c))                                       \
  H(State, SetPixelShaderConstantB, (UINT a, const WINBOOL* b, UINT c), (a, b, c))                             \
  H(Other, GetPixelShaderConstantB, (UINT a, WINBOOL* b, UINT c), (a, b, c))                                   \
  H(Draw, DrawRectPatch, (UINT a, const float* b, const D3DRECTPATCH_INFO* c), (a, b, c))                      \
  H(Draw, DrawTriPatch, (UINT a, const float* b, const D3DTRIPATCH_INFO* c), (a, b, c))                        \
  H(Other, DeletePatch, (UINT a), (a))                                                                         \
  H(Create, CreateQuery, (D3DQUERYTYPE a, IDirect3DQuery9** b), (a, b))
