// What a player sees on the screenshots of a stage that a shell test ran:
//   stage_pixels.exe OUT-FOLDER PRESTART-SHOT DRIVING-SHOT [SLOW-SHOT FAST-SHOT]
// The panels (panelFailures) and, given the two engine-speed shots, the tacho
// needle right of where it was at the slower speed. One "FAIL: " line per
// fault; exit 1 with any, 2 on a bad command line.
#include <cstdio>
#include <string>
#include <vector>

#include "HostRun.h"
#include "StageImages.h"

using namespace simhost_test;

int main(int argc, char** argv) {
  if (argc != 4 && argc != 6) {
    std::fprintf(stderr, "usage: stage_pixels.exe OUT-FOLDER PRESTART-SHOT DRIVING-SHOT [SLOW-SHOT FAST-SHOT]\n");
    return 2;
  }
  const std::string out = argv[1];
  auto shot = [&](const char* name) { return loadPng(out + "\\" + name + ".png"); };
  std::vector<std::string> failures = panelFailures(shot(argv[2]), argv[2], shot(argv[3]), argv[3]);
  if (argc == 6) {
    // The needle's red pixels: left of the dial's hub at the slow speed, right of it at the fast one.
    const double slow = needleX(shot(argv[4])), fast = needleX(shot(argv[5]));
    if (slow < 0 || fast < 0 || fast - slow < 25)
      failures.push_back("the tacho needle does not follow the engine: mean x " + std::to_string(slow) + " at " +
                         argv[4] + ", " + std::to_string(fast) + " at " + argv[5]);
  }
  for (const std::string& f : failures) std::printf("FAIL: %s\n", f.c_str());
  return failures.empty() ? 0 : 1;
}
