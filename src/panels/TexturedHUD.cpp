#include "panels/TexturedHUD.h"

#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/PluginPaths.h"
#include "plugin/WideText.h"

namespace ostrel {

TexturedHUD::~TexturedHUD() { releaseTextures(); }

void TexturedHUD::releaseTextures() {
  for (TexturedRect& slot : textures) slot.release();
}


void TexturedHUD::loadTextures(IDirect3DDevice9* device, const std::optional<std::string>& subFolder,
                               const std::function<std::string(int)>& fileName, int count) {
  const char* sep = FT("\\");
  for (int i = 0; i < count && i < kSlotCount; ++i) {
    std::string path = pluginFolder() + sep + name + sep;
    if (subFolder) path += *subFolder + sep;
    path += fileName(i);
    if (SUCCEEDED(loadTexturedRect(device, widen(path), posX, posY, 0.0f, 0.0f, &textures[i])))
      logText(std::string(FT("Loaded texture ")) + path);
  }
}

}  // namespace ostrel
