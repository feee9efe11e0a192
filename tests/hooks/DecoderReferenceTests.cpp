// The length decoder against binutils objdump: every instruction of real
// compiled code (Wine's 32-bit system DLLs, 64-bit system libraries) and of a
// large generated set. objdump's own boundaries are the reference, so data in
// code and "(bad)" bytes only cost a resync, never a false failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "../support/TextFiles.h"
#include "hooks/InstructionLength.h"

namespace {

struct Sample {
  std::string name;
  int mode = 32;
};

std::string referenceDir() {
  const char* dir = std::getenv("OSTREL_DECODER_REFERENCE");
  return dir ? dir : "";
}

std::vector<Sample> manifest() {
  std::vector<Sample> samples;
  std::ifstream in(referenceDir() + "/manifest.txt");
  Sample s;
  while (in >> s.name >> s.mode) samples.push_back(s);
  return samples;
}

std::vector<unsigned char> readBytes(const std::string& path) {
  const std::string bytes = testing_support::readWholeFile(path);
  return {bytes.begin(), bytes.end()};
}

struct Tally {
  long agreed = 0;
  long disagreed = 0;
  long skippedUndecodable = 0;  // objdump: "(bad)" or data
  long acceptedUndecodable = 0;  // of those, ones the decoder still sized
  std::vector<std::string> firstDisagreements;
};

std::string hexAt(const std::vector<unsigned char>& code, std::size_t offset, std::size_t count) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < count && offset + i < code.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x ", code[offset + i]);
    out += buf;
  }
  return out;
}

Tally compareSample(const Sample& sample) {
  Tally tally;
  const auto code = readBytes(referenceDir() + "/" + sample.name + ".bin");
  std::ifstream ref(referenceDir() + "/" + sample.name + ".ref");
  std::size_t offset, length, window;
  int decoded;
  while (ref >> offset >> length >> decoded >> window) {
    if (offset >= code.size()) {
      ++tally.disagreed;
      continue;
    }
    std::size_t available = code.size() - offset;
    if (window != 0 && window < available) available = window;
    if (available > 15) available = 15;
    // An exact-size copy, so the sanitizer sees any read past the limit.
    std::vector<unsigned char> bytes(code.begin() + offset, code.begin() + offset + available);
    const int got = ostrel::instructionLength(bytes.data(), bytes.size(), sample.mode);
    if (!decoded) {
      ++tally.skippedUndecodable;
      if (got > 0) ++tally.acceptedUndecodable;
      continue;
    }
    if (got == static_cast<int>(length)) {
      ++tally.agreed;
    } else {
      ++tally.disagreed;
      if (tally.firstDisagreements.size() < 20) {
        std::ostringstream msg;
        msg << sample.name << " +" << std::hex << offset << std::dec << ": objdump " << length
            << ", decoder " << got << " [" << hexAt(code, offset, 15) << "]";
        tally.firstDisagreements.push_back(msg.str());
      }
    }
  }
  return tally;
}

TEST(DecoderAgainstObjdump, EveryDecodedInstructionHasObjdumpsLength) {
  const auto samples = manifest();
  ASSERT_FALSE(samples.empty()) << "no reference in '" << referenceDir() << "'";
  bool sawReal32 = false, sawReal64 = false, sawGenerated = false;
  for (const Sample& sample : samples) {
    const Tally t = compareSample(sample);
    std::printf("[ objdump  ] %-22s mode %d: %ld agree, %ld disagree, %ld undecodable skipped (%ld sized anyway)\n",
                sample.name.c_str(), sample.mode, t.agreed, t.disagreed, t.skippedUndecodable,
                t.acceptedUndecodable);
    EXPECT_GT(t.agreed, 10000) << sample.name << ": too few instructions compared";
    EXPECT_EQ(t.disagreed, 0) << sample.name;
    for (const auto& line : t.firstDisagreements) ADD_FAILURE() << line;
    if (sample.name.rfind("generated", 0) == 0) sawGenerated = true;
    else if (sample.mode == 64) sawReal64 = true;
    else sawReal32 = true;
  }
  EXPECT_TRUE(sawReal32 && sawReal64 && sawGenerated) << "a reference kind is missing";
}

}  // namespace
