/* The host's texture utility module. The plug-in finds the texture creation
   function at module base + 0xAEC15, so the image is padded with a large
   zero-filled section and a small entry stub is written there at load: whole
   ordinary instructions first (as a compiled function starts), then an
   absolute push/ret to the real function. */
#include <windows.h>
#include <d3dx9.h>

#define TEXTURE_FUNCTION_OFFSET 0xAEC15u
#define PADDING_SIZE 0x100000u

__attribute__((section(".bss"), aligned(4096))) static unsigned char padding[PADDING_SIZE];

/* Same form as D3DXCreateTextureFromFileExA; what the host calls. */
HRESULT WINAPI kvxCreateTextureFromFileEx(IDirect3DDevice9* device, const char* file, UINT width,
                                          UINT height, UINT mipLevels, DWORD usage,
                                          D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                          DWORD mipFilter, D3DCOLOR colourKey,
                                          D3DXIMAGE_INFO* info, PALETTEENTRY* palette,
                                          IDirect3DTexture9** texture) {
  return D3DXCreateTextureFromFileExA(device, file, width, height, mipLevels, usage, format, pool,
                                      filter, mipFilter, colourKey, info, palette, texture);
}

static BOOL writeEntryStub(HMODULE self) {
  unsigned char* at = (unsigned char*)self + TEXTURE_FUNCTION_OFFSET;
  if (at < padding || at + 16 > padding + PADDING_SIZE) return FALSE;
  DWORD old = 0;
  if (!VirtualProtect(at, 16, PAGE_EXECUTE_READWRITE, &old)) return FALSE;
  /* push ebp; mov ebp,esp; pop ebp; nop; push imm32; ret */
  static const unsigned char prologue[] = {0x55, 0x8B, 0xEC, 0x5D, 0x90, 0x68};
  for (unsigned i = 0; i < sizeof prologue; ++i) at[i] = prologue[i];
  DWORD target = (DWORD)(UINT_PTR)&kvxCreateTextureFromFileEx;
  for (unsigned i = 0; i < 4; ++i) at[6 + i] = (unsigned char)(target >> (8 * i));
  at[10] = 0xC3;
  FlushInstructionCache(GetCurrentProcess(), at, 16);
  return TRUE;
}

/* A host whose texture utility is the helper library itself: the entry
   becomes a jump to D3DX's own function, which a detour then patches. */
__declspec(dllexport) BOOL kvxUseD3dxDirectly(void) {
  unsigned char* at = (unsigned char*)GetModuleHandleA("kvxtexutil.dll") + TEXTURE_FUNCTION_OFFSET;
  /* The helper library the plug-in loads for its own images: the game's
     texture function and the plug-in's loader then meet in one function. */
  HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  FARPROC real = d3dx ? GetProcAddress(d3dx, "D3DXCreateTextureFromFileExA") : NULL;
  DWORD old = 0;
  if (!real || !VirtualProtect(at, 16, PAGE_EXECUTE_READWRITE, &old)) return FALSE;
  DWORD rel = (DWORD)((UINT_PTR)real - ((UINT_PTR)at + 5));
  at[0] = 0xE9;
  for (unsigned i = 0; i < 4; ++i) at[1 + i] = (unsigned char)(rel >> (8 * i));
  FlushInstructionCache(GetCurrentProcess(), at, 16);
  return TRUE;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) return writeEntryStub((HMODULE)self);
  return TRUE;
}
