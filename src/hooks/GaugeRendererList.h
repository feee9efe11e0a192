#pragma once
// What happens to the process's gauge renderers as a whole: dropped on a
// change of game mode, told to let go of their device objects before a Reset
// or on a loss, dropped when the game makes a new device, rebuilt by the
// reload key, looked up when the host makes a claimed texture again. The list
// (HookState::gaugeRenderers) owns them.
#include <d3d9.h>

#include <memory>
#include <string>

namespace ostrel {

class TextureHandler;

// Deletes every gauge renderer and empties the list.
void destroyGaugeRenderers();

// Every renderer of `device` (null: every renderer) lets go of its
// default-pool objects. Returns how many held any.
int releaseGaugeDeviceObjects(IDirect3DDevice9* device);

// True when some renderer draws with `device` or on textures made on it.
bool gaugeRenderersUse(IDirect3DDevice9* device);

// Drops the renderers that neither draw with `device` nor hold textures made
// on it: their device is gone. Returns how many went.
int dropGaugeRenderersNotOf(IDirect3DDevice9* device);

// The gauge reload key: every renderer is rebuilt from its files, in place,
// drawing with the host's device (or, where that was not found, the one it
// had). The sets are checked again, as the author may have edited them.
void rebuildGaugeRenderers();

// The device the renderers draw on: the host's, else the first renderer's.
IDirect3DDevice9* gaugeRenderDevice();

// The renderer made for this definition and texture file, or null.
TextureHandler* findGaugeRenderer(const std::string& definitionPath, const std::string& textureFileName);

// Replaces `old` in the list by `renderer`, deleting `old`, or appends
// `renderer` when `old` is null or not in the list. Throws on out of memory,
// with `renderer` deleted.
void putGaugeRenderer(TextureHandler* old, std::unique_ptr<TextureHandler> renderer);

}  // namespace ostrel
