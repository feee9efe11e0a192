#pragma once
// The best run files in the plug-in folder's Bests subfolder: read once per
// stage and car, written off the driving frames (on entering the menu) to a
// temporary name, flushed, then moved over the old file in one step, so a
// game that dies while writing leaves the old best or the new one, never
// half a file.
#include <cstdint>
#include <string>

#include "panels/BestRun.h"

namespace ostrel::bestrun {

// ".\Plugins\OSTREL\Bests"
std::string bestsFolder();
std::string bestFilePath(const RunKey& key);

// Reads the best of `key` into `into`. A missing file or a bad one is logged
// with its path (a bad one is then ignored and replaced at the next counted
// finish); false without a usable best.
bool readBestFile(const RunKey& key, RunTable& into);

// Writes `run` as the best of its key; false (and one log line for the
// first failure of the run of the program) when it could not.
bool writeBestFile(const RunTable& run);

// The source the live recorder reads through.
class FileBestSource final : public BestSource {
 public:
  bool read(const RunKey& key, RunTable& into) override { return readBestFile(key, into); }
};

}  // namespace ostrel::bestrun
