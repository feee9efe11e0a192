#pragma once
// Notes the tools leave for the host, taken from any thread.
#include <string>

namespace simhost_overlay {

void addNote(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool takeNote(std::string& text);

}  // namespace simhost_overlay
