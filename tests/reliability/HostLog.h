#pragma once
// Reading what a simulated-host run left behind: the plug-in's log, the
// host's call log, screenshots.
#include <cstdint>
#include <string>
#include <vector>

#include "HostRun.h"

namespace reliability {

using simhost_test::Image;

// Lines containing every one of `words` (case-insensitive).
int countLinesWith(const std::string& text, const std::vector<std::string>& words);
// The most frequent line and how often it occurs: a fault reported every
// frame shows up here.
std::pair<std::string, int> mostRepeatedLine(const std::string& text);

// Pixels in the rectangle whose colour differs between two images by more
// than `tolerance` in any channel.
int differingPixels(const Image& a, const Image& b, int left, int top, int right, int bottom, int tolerance = 24);

}  // namespace reliability
