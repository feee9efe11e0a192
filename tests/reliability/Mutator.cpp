#include "Mutator.h"

#include <algorithm>
#include <cstring>

namespace fuzz {

std::uint64_t Rng::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

Rng caseRng(std::uint64_t seed, std::uint64_t index) {
  Rng mix(seed * 0x100000001B3ull ^ (index + 0x51ED27ull));
  return Rng(mix.next() ^ index);
}

namespace {

// Values that break naive number handling: overflow, the float edges, not a
// number at all, or text that looks like one.
const char* const kHostileNumbers[] = {
    "99999999999999999999999", "-2147483649", "2147483648", "4294967296", "-0", "1e39", "-1e39",
    "3.4028235e38", "1e-46", "nan", "NaN", "-nan", "inf", "-inf", "INF", "infinity", "0x7FFFFFFF",
    "0xFFFFFFFF", "0x", "-", "+", ".", "1e", "e5", "   ", "1.#INF", "1.#QNAN", "0.000000000000000000000001",
    "-99999999999999999999", "ffffffffffffffffff", "12abc", "\t-3", "00000000000000000000000000007"};

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Byte ranges of number-looking runs in the file.
std::vector<std::pair<std::size_t, std::size_t>> numberRuns(const Bytes& b) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (std::size_t i = 0; i < b.size();) {
    if (isDigit(b[i]) || ((b[i] == '-' || b[i] == '.') && i + 1 < b.size() && isDigit(b[i + 1]))) {
      std::size_t j = i + 1;
      while (j < b.size() && (isDigit(b[j]) || b[j] == '.' || b[j] == 'x' || b[j] == 'e')) ++j;
      runs.emplace_back(i, j);
      i = j;
    } else {
      ++i;
    }
  }
  return runs;
}

std::vector<std::size_t> positionsOf(const Bytes& b, std::uint8_t c) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < b.size(); ++i)
    if (b[i] == c) at.push_back(i);
  return at;
}

void insertText(Bytes& b, std::size_t at, const std::string& text) {
  b.insert(b.begin() + static_cast<std::ptrdiff_t>(std::min(at, b.size())), text.begin(), text.end());
}

std::size_t lineStart(const Bytes& b, std::size_t at) {
  while (at > 0 && b[at - 1] != '\n') --at;
  return at;
}

void replaceNumber(Bytes& b, Rng& rng, std::string& log) {
  auto runs = numberRuns(b);
  const std::string value = kHostileNumbers[rng.below(sizeof kHostileNumbers / sizeof kHostileNumbers[0])];
  if (runs.empty()) {
    insertText(b, b.size(), "\nPosX=" + value + "\n");
    log += " number-appended";
    return;
  }
  auto [from, to] = runs[rng.below(static_cast<std::uint32_t>(runs.size()))];
  b.erase(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
  insertText(b, from, value);
  log += " number=" + value;
}

void longLine(Bytes& b, Rng& rng, std::string& log) {
  static const std::uint32_t lengths[] = {255, 256, 257, 2047, 2048, 5000, 40000, 70000};
  const std::uint32_t n = lengths[rng.below(sizeof lengths / sizeof lengths[0])];
  std::string line;
  switch (rng.below(4)) {
    case 0: line = "Image=" + std::string(n, 'A'); break;                  // long value
    case 1: line = std::string(n, 'k') + "=1"; break;                        // long key
    case 2: line = "[" + std::string(n, 's') + "]"; break;                   // long section name
    default: line = "Type=" + std::string(n, '9'); break;                    // long number-ish
  }
  const std::size_t at = b.empty() ? 0 : lineStart(b, rng.below(static_cast<std::uint32_t>(b.size())));
  insertText(b, at, line + "\r\n");
  log += " long-line-" + std::to_string(n);
}

void deleteEquals(Bytes& b, Rng& rng, std::string& log) {
  auto at = positionsOf(b, '=');
  if (at.empty()) return;
  std::uint32_t count = 1 + rng.below(std::min<std::uint32_t>(4, static_cast<std::uint32_t>(at.size())));
  for (std::uint32_t k = 0; k < count; ++k) {
    at = positionsOf(b, '=');
    if (at.empty()) break;
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(at[rng.below(static_cast<std::uint32_t>(at.size()))]));
  }
  log += " no-equals";
}

void duplicateSection(Bytes& b, Rng& rng, std::string& log) {
  auto opens = positionsOf(b, '[');
  if (opens.empty()) {
    insertText(b, 0, "[HUD]\r\nEnabled=1\r\n[HUD]\r\nEnabled=0\r\n");
    log += " sections-added";
    return;
  }
  const std::size_t from = opens[rng.below(static_cast<std::uint32_t>(opens.size()))];
  std::size_t to = b.size();
  for (std::size_t o : opens)
    if (o > from) {
      to = o;
      break;
    }
  Bytes copy(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
  const std::size_t times = 1 + rng.below(rng.chance(10) ? 200 : 3);
  for (std::size_t k = 0; k < times; ++k) b.insert(b.end(), copy.begin(), copy.end());
  log += " dup-section-x" + std::to_string(times);
}

void nonAscii(Bytes& b, Rng& rng, std::string& log) {
  switch (rng.below(4)) {
    case 0:  // UTF-8 byte-order mark
      b.insert(b.begin(), {0xEF, 0xBB, 0xBF});
      log += " bom8";
      break;
    case 1:  // UTF-16 little-endian mark before 8-bit text
      b.insert(b.begin(), {0xFF, 0xFE});
      log += " bom16";
      break;
    case 2: {  // high bytes and control bytes sprinkled in
      const std::uint32_t n = 1 + rng.below(16);
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::size_t at = b.empty() ? 0 : rng.below(static_cast<std::uint32_t>(b.size()));
        const std::uint8_t c = rng.chance(30) ? static_cast<std::uint8_t>(rng.below(32)) : static_cast<std::uint8_t>(0x80 + rng.below(128));
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), c);
      }
      log += " high-bytes";
      break;
    }
    default: {  // a zero byte inside a line
      const std::size_t at = b.empty() ? 0 : rng.below(static_cast<std::uint32_t>(b.size()));
      b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), 0x00);
      log += " nul";
      break;
    }
  }
}

// Values that are not numbers: file names the system treats specially,
// paths out of the folder, wildcards, names too long for a path.
const char* const kHostileValues[] = {"CON", "NUL", "COM1", "AUX.png", "LPT1.png", "..\\..\\..\\..\\windows\\win.ini",
                                      "C:", "\\\\?\\C:\\", "*", "?.png", "needle.png\tx", " ", "/", "\\",
                                      "needle.png:stream", "..", "."};

void hostileValue(Bytes& b, Rng& rng, std::string& log) {
  auto at = positionsOf(b, '=');
  if (at.empty()) return;
  const std::size_t from = at[rng.below(static_cast<std::uint32_t>(at.size()))] + 1;
  std::size_t to = from;
  while (to < b.size() && b[to] != '\r' && b[to] != '\n') ++to;
  b.erase(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
  std::string value;
  if (rng.chance(20)) value = std::string(250 + rng.below(300), 'n') + ".png";
  else value = kHostileValues[rng.below(sizeof kHostileValues / sizeof kHostileValues[0])];
  insertText(b, from, value);
  log += " value=" + value.substr(0, 20);
}

void flipBytes(Bytes& b, Rng& rng, std::string& log) {
  if (b.empty()) return;
  const std::uint32_t n = 1 + rng.below(8);
  for (std::uint32_t k = 0; k < n; ++k)
    b[rng.below(static_cast<std::uint32_t>(b.size()))] ^= static_cast<std::uint8_t>(1u << rng.below(8));
  log += " flips-" + std::to_string(n);
}

void truncate(Bytes& b, Rng& rng, std::string& log) {
  if (b.empty()) return;
  b.resize(rng.below(static_cast<std::uint32_t>(b.size())));
  log += " truncated-" + std::to_string(b.size());
}

}  // namespace

Bytes mutateText(const Bytes& seed, Rng& rng, std::string& log) {
  Bytes b = seed;
  if (rng.chance(3)) {
    log += " empty";
    return {};
  }
  const std::uint32_t rounds = 1 + rng.below(4);
  for (std::uint32_t r = 0; r < rounds; ++r) {
    switch (rng.below(9)) {
      case 0: flipBytes(b, rng, log); break;
      case 8: hostileValue(b, rng, log); break;
      case 1: truncate(b, rng, log); break;
      case 2: longLine(b, rng, log); break;
      case 3:
      case 4: replaceNumber(b, rng, log); break;
      case 5: deleteEquals(b, rng, log); break;
      case 6: duplicateSection(b, rng, log); break;
      default: nonAscii(b, rng, log); break;
    }
  }
  return b;
}

std::uint32_t pngCrc(const std::uint8_t* data, std::size_t length) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < length; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c ^ 0xFFFFFFFFu;
}

namespace {

std::uint32_t readBE(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}
void writeBE(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (24 - 8 * k));
}

struct Chunk {
  std::size_t at;      // offset of the length field
  std::uint32_t length;
};

std::vector<Chunk> chunks(const Bytes& b) {
  std::vector<Chunk> out;
  std::size_t at = 8;
  while (at + 12 <= b.size()) {
    const std::uint32_t length = readBE(b, at);
    if (length > b.size() - at - 12) break;
    out.push_back({at, length});
    at += 12 + length;
  }
  return out;
}

void fixCrc(Bytes& b, const Chunk& c) {
  writeBE(b, c.at + 8 + c.length, pngCrc(b.data() + c.at + 4, c.length + 4));
}

}  // namespace

Bytes mutateImage(const Bytes& png, const std::vector<Bytes>& others, Rng& rng, std::string& log) {
  Bytes b = png;
  const auto list = chunks(b);
  const bool hasHeader = !list.empty() && list[0].length >= 13;
  switch (rng.below(hasHeader ? 9 : 4)) {
    case 0:
      log += " empty";
      return {};
    case 1: truncate(b, rng, log); break;
    case 2:
      if (!others.empty()) {
        log += " other-format";
        b = others[rng.below(static_cast<std::uint32_t>(others.size()))];
        if (rng.chance(50)) truncate(b, rng, log);
      } else {
        flipBytes(b, rng, log);
      }
      break;
    case 3: {  // random bytes after a PNG signature, or none at all
      Bytes noise(rng.below(4096));
      for (auto& x : noise) x = static_cast<std::uint8_t>(rng.next());
      if (rng.chance(50)) noise.insert(noise.begin(), b.begin(), b.begin() + std::min<std::size_t>(8, b.size()));
      b = noise;
      log += " noise";
      break;
    }
    case 4:
    case 5: {  // header sizes: huge, zero, negative as signed, odd
      static const std::uint32_t sizes[] = {0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 16384, 16385, 65535, 100000, 46341};
      const std::uint32_t w = rng.chance(50) ? sizes[rng.below(10)] : readBE(b, 16);
      const std::uint32_t h = rng.chance(50) ? sizes[rng.below(10)] : readBE(b, 20);
      writeBE(b, 16, w);
      writeBE(b, 20, h);
      if (rng.chance(25)) b[24] = static_cast<std::uint8_t>(rng.below(256));  // bit depth
      if (rng.chance(25)) b[25] = static_cast<std::uint8_t>(rng.below(256));  // colour type
      if (rng.chance(90)) fixCrc(b, list[0]);
      log += " header-" + std::to_string(w) + "x" + std::to_string(h);
      break;
    }
    case 6: {  // corrupt one chunk's data, its checksum made right or not
      const Chunk& c = list[rng.below(static_cast<std::uint32_t>(list.size()))];
      if (c.length > 0) {
        const std::uint32_t n = 1 + rng.below(16);
        for (std::uint32_t k = 0; k < n; ++k) b[c.at + 8 + rng.below(c.length)] = static_cast<std::uint8_t>(rng.next());
      }
      if (rng.chance(70)) fixCrc(b, c);
      log += " chunk-data";
      break;
    }
    case 7: {  // a chunk length that runs past the end of the file
      const Chunk& c = list[rng.below(static_cast<std::uint32_t>(list.size()))];
      static const std::uint32_t lengths[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x10000000u, 0};
      writeBE(b, c.at, lengths[rng.below(4)]);
      log += " chunk-length";
      break;
    }
    default: {  // chunks dropped or duplicated (IDAT missing, IHDR twice)
      const Chunk& c = list[rng.below(static_cast<std::uint32_t>(list.size()))];
      Bytes copy(b.begin() + static_cast<std::ptrdiff_t>(c.at), b.begin() + static_cast<std::ptrdiff_t>(c.at + 12 + c.length));
      if (rng.chance(50)) {
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(c.at), b.begin() + static_cast<std::ptrdiff_t>(c.at + 12 + c.length));
        log += " chunk-dropped";
      } else {
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(c.at), copy.begin(), copy.end());
        log += " chunk-twice";
      }
      break;
    }
  }
  if (rng.chance(15)) flipBytes(b, rng, log);
  return b;
}

}  // namespace fuzz
