#pragma once
// The parent side: runs the cases in child processes, restarts a child that
// crashed or hung, and saves the case that did it as a reproducer.
#include <cstdint>
#include <string>

namespace fuzz {

struct ParentOptions {
  std::uint64_t seed = 1;
  std::uint64_t count = 1000000;
  double seconds = 20.0;
  std::uint32_t caseTimeoutMs = 30000;  // a loaded machine makes the 88-image panel slow
  std::string casesDir;   // where reproducers go (and come from, on replay)
  bool replay = false;    // run every reproducer in casesDir instead of new cases
  bool verbose = false;   // print every case with its time
  std::string inject;     // handed to the child (self-test)
};

// 0 when every case ran through; 1 when a case crashed, hung or let an
// exception out; 2 when the equipment itself failed.
int runParent(const ParentOptions& options);

}  // namespace fuzz
