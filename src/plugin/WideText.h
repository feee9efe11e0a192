#pragma once
// The plug-in's narrow texts are in the ANSI code page, as the host's names
// and every Windows "A" function take them (settings files, the texture
// function, D3DX); wide text is what the file system and the imaging
// functions take. These two convert between them, and nothing else does.
#include <string>

namespace ostrel {
std::wstring widen(const std::string& ansi);
// Characters the code page cannot hold come out as '?'.
std::string narrow(const std::wstring& wide);
}  // namespace ostrel
