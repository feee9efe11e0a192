#pragma once
// Which gauge sets have had their definition checked since start-up or the
// last Home-key reload. The host creates a claimed texture again for every
// stage; its set is checked (and its folder's other definition files read)
// only the first time, so the log does not repeat itself. Windows-free.
#include <string>

namespace ostrel::gauges {

// True the first time `definitionPath` is asked (case and separators ignored).
bool firstLoadOfSet(const std::string& definitionPath);
// The next load of every set checks it again (after the author's edits).
void forgetLoadedSets();

}  // namespace ostrel::gauges
