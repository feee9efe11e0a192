#pragma once
// Checks of a gauge definition file, for gauge authors: one message per
// problem, "file:section:key: message". The plug-in logs the same messages
// when it loads a set; the lint tool prints them. Windows-free: images are
// judged through a probe the caller gives.
#include <functional>
#include <string>
#include <vector>

namespace ostrel::gauges {

struct LintMessage {
  bool error = true;  // false: a warning (the set still works as written)
  std::string file, section, key, text;
  std::string line() const;  // "file:section:key: text" (warnings say so)
};

enum class ImageState { Fine, Missing, Undecodable };
// Tells whether an image file (full path) exists and decodes.
using ImageProbe = std::function<ImageState(const std::string& path)>;

struct LintOptions {
  // Null: images are not checked (the plug-in reports them as it loads them).
  ImageProbe probeImage;
  // Other definition files whose texture claims are compared with this one's.
  std::vector<std::string> otherDefinitions;
};

std::vector<LintMessage> lintGaugeDefinition(const std::string& file, const LintOptions& options);

// The nearest of `candidates` to `word` (case ignored), or "" when none is close.
std::string nearestSpelling(const std::string& word, const std::vector<std::string>& candidates);
// The message of an image an element could not load.
std::string imageProblemText(const std::string& name, ImageState state);
// The other definition files of the same gauge folder (Gauges.ini / Gauges2.ini).
std::vector<std::string> siblingDefinitions(const std::string& file);

}  // namespace ostrel::gauges
