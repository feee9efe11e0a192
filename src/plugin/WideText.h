#pragma once
// UTF-8 paths to the wide strings the imaging and file APIs take.
#include <string>

namespace ostrel {
std::wstring widen(const std::string& utf8);
}
