#pragma once
// The child side of the fuzzer: one Wine process runs many cases in a row,
// each in a fresh plug-in state, and reports each one on its standard output
// before and after it runs, so the parent knows which case took it down.
#include <cstdint>
#include <string>

namespace fuzz {

struct ChildOptions {
  std::uint64_t seed = 1;
  std::uint64_t from = 0;
  std::uint64_t count = 0;
  double seconds = 0.0;     // stop starting cases after this long (0 = no limit)
  std::string listFile;     // replay: one reproducer path per line instead of generated cases
  // Self-test of the supervision: "crash:N,hang:N,throw:N" makes case N fail so.
  std::string inject;
};

// Protocol lines: "B <index> <kind> <description>", "E <index> <ms>",
// "X <index> <what>" (an exception got out of a loader), "Q <cases run>".
int runChild(const ChildOptions& options);

}  // namespace fuzz
