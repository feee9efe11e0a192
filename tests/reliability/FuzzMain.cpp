// Hostile-file fuzzer for the plug-in's loaders, run under Wine:
//   file_fuzz [--seed N] [--count N] [--seconds S] [--case-timeout MS] [--cases DIR]
//   file_fuzz --replay [--cases DIR]
// Cases that crash, hang or let an exception out are saved under DIR
// (default: the source tree's tests\reliability\cases) and replayed by the
// test suite from then on.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzChild.h"
#include "FuzzParent.h"
#include "TestPaths.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: file_fuzz [--seed N] [--count N] [--seconds S] [--case-timeout MS] [--cases DIR] [--verbose]\n"
               "       file_fuzz --replay [--cases DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool child = false;
  fuzz::ChildOptions c;
  fuzz::ParentOptions p;
  p.casesDir = testing_support::sourceDir() + "\\tests\\reliability\\cases";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--child") child = true;
    else if (a == "--replay") p.replay = true;
    else if (a == "--verbose") p.verbose = true;
    else if (a == "--seed" && (v = value())) c.seed = p.seed = std::strtoull(v, nullptr, 0);
    else if (a == "--count" && (v = value())) c.count = p.count = std::strtoull(v, nullptr, 0);
    else if (a == "--from" && (v = value())) c.from = std::strtoull(v, nullptr, 0);
    else if (a == "--seconds" && (v = value())) c.seconds = p.seconds = std::strtod(v, nullptr);
    else if (a == "--case-timeout" && (v = value())) p.caseTimeoutMs = static_cast<unsigned>(std::strtoul(v, nullptr, 0));
    else if (a == "--cases" && (v = value())) p.casesDir = v;
    else if (a == "--list" && (v = value())) c.listFile = v;
    else if (a == "--inject" && (v = value())) c.inject = p.inject = v;
    else return usage();
  }
  if (child) return fuzz::runChild(c);
  return fuzz::runParent(p);
}
