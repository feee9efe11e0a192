#include "Scenario.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "DeviceMethods.h"
#include "HostMap.h"
#include "ImageFiles.h"

namespace simhost {
namespace {

struct Field {
  Block block;
  std::uint32_t offset;
  bool isFloat;
};

// Named car values, each by the plug-in's name for it (its gauge value
// keyword where it has one); anything else can be reached with `poke`.
const std::map<std::string, Field>& namedFields() {
  static const std::map<std::string, Field> fields = {
      {"mode", {Block::Game, kGameModeField, false}},
      {"prestart", {Block::CarState, kPreStartTimerField, true}},
      {"finished", {Block::CarState, kFinishedFlagField, false}},
      {"clock", {Block::CarState, 0x15C, true}},
      {"pause", {Block::Pause, kPauseWordField, false}},
      {"wheel-speed", {Block::CarState, 0x0C, true}},
      {"rpm", {Block::CarState, 0x10, true}},
      {"speed", {Block::CarState, 0x14, true}},
      {"boost-pa", {Block::CarState, 0x18, true}},
      {"distance1", {Block::CarState, 0x20, true}},
      {"distance2", {Block::CarState, 0x24, true}},
      {"distance3", {Block::CarState, 0x28, true}},  // what "driven" counts down from
      {"stage-time", {Block::CarState, 0x140, true}},
      {"gear", {Block::CarState, 0x170, false}},
      {"boost-flag", {Block::CarState, 0x2B8, false}},
      {"gear-index", {Block::CarObject, 0x1100, false}},
      {"carinput1", {Block::CarObject, 0x85C, true}},
      {"carinput2", {Block::CarObject, 0x860, true}},
      {"carinput4", {Block::CarObject, 0x864, true}},
      {"carinput5", {Block::CarObject, 0x868, true}},
      {"carinput3", {Block::CarObject, 0x86C, true}},
      {"oil-temp-k", {Block::Engine, 0x20, true}},
      {"water-temp-k", {Block::Engine, 0x23C, true}},
      {"oil-pressure", {Block::Engine, 0x24C, true}},
      {"oil-pressure-pa", {Block::Engine, 0x25C, true}},
      {"car-slot", {Block::GaugeBlock, 8, false}},
  };
  return fields;
}

// Direct3D 9 texture formats a scenario may ask for, by name.
const std::map<std::string, std::uint32_t>& textureFormats() {
  auto fourCc = [](const char* c) {
    return static_cast<std::uint32_t>(c[0]) | static_cast<std::uint32_t>(c[1]) << 8 |
           static_cast<std::uint32_t>(c[2]) << 16 | static_cast<std::uint32_t>(c[3]) << 24;
  };
  static const std::map<std::string, std::uint32_t> formats = {
      {"UNKNOWN", 0},    {"R8G8B8", 20},    {"A8R8G8B8", 21}, {"X8R8G8B8", 22}, {"R5G6B5", 23},
      {"X1R5G5B5", 24},  {"A1R5G5B5", 25},  {"A4R4G4B4", 26}, {"X4R4G4B4", 30}, {"A8B8G8R8", 32},
      {"X8B8G8R8", 33},  {"L8", 50},        {"A16B16G16R16F", 113},             {"A32B32G32R32F", 116},
      {"DXT1", fourCc("DXT1")}, {"DXT3", fourCc("DXT3")}, {"DXT5", fourCc("DXT5")}};
  return formats;
}

const std::map<std::string, Block>& blockNames() {
  static const std::map<std::string, Block> names = {
      {"game", Block::Game},         {"screen", Block::Screen},   {"carstate", Block::CarState},
      {"pause", Block::Pause},       {"carobject", Block::CarObject}, {"damage", Block::Damage},
      {"engine", Block::Engine},     {"gaugeblock", Block::GaugeBlock},
  };
  return names;
}

// Largest byte offset (exclusive) a `poke` may write in each record.
std::uint32_t blockSize(Block b) {
  switch (b) {
    case Block::Game: return kGameRecordSize;
    case Block::Screen: return kScreenRecordSize;
    case Block::CarState: return kCarStateRecordSize;
    case Block::EventCode: return 4;
    case Block::Pause: return kPauseRecordSize;
    case Block::CarObject: return kCarObjectRecordSize;
    case Block::Damage: return kDamageExtraLink;  // word 290 is the host's own pointer
    case Block::DamageExtra: return kDamageExtraRecordSize;
    case Block::Engine: return kEngineRecordSize;
    case Block::GaugeBlock: return kGaugeValueBlockSize;
  }
  return 0;
}

class LineParser {
 public:
  LineParser(const std::string& file, int line, std::vector<std::string> words)
      : file_(file), line_(line), words_(std::move(words)) {}
  // Other words at the same line (a word read in parts).
  LineParser(const LineParser& at, std::vector<std::string> words)
      : file_(at.file_), line_(at.line_), words_(std::move(words)) {}

  [[noreturn]] void fail(const std::string& problem) const { throw ScenarioError(file_, line_, problem); }
  std::size_t count() const { return words_.size(); }
  const std::string& word(std::size_t n) const {
    if (n >= words_.size()) fail("'" + words_[0] + "' needs more values");
    return words_[n];
  }
  void expectCount(std::size_t n) const {
    if (words_.size() < n) fail("'" + words_[0] + "' needs more values");
    if (words_.size() > n) fail("unexpected '" + words_[n] + "' after '" + words_[0] + "'");
  }

  float number(std::size_t n) const {
    const std::string& w = word(n);
    errno = 0;
    char* end = nullptr;
    float v = std::strtof(w.c_str(), &end);
    if (w.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
      fail("bad number '" + w + "' for '" + words_[0] + "'");
    return v;
  }

  std::int32_t integer(std::size_t n) const {
    const std::string& w = word(n);
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(w.c_str(), &end, 0);
    if (w.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > 0xFFFFFFFFLL)
      fail("bad number '" + w + "' for '" + words_[0] + "'");
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v & 0xFFFFFFFFLL));
  }

  std::int32_t integerIn(std::size_t n, std::int32_t lo, std::int32_t hi) const {
    std::int32_t v = integer(n);
    if (v < lo || v > hi)
      fail("'" + word(n) + "' is out of range " + std::to_string(lo) + ".." + std::to_string(hi) +
           " for '" + words_[0] + "'");
    return v;
  }

  // A float value with an optional "step <delta>" after it.
  Poke floatPoke(Block b, std::uint32_t offset, std::size_t n) const {
    Poke p{b, offset, true, number(n), 0, 0.0f};
    if (count() > n + 1) {
      if (word(n + 1) != "step") fail("unexpected '" + word(n + 1) + "' after '" + words_[0] + "'");
      expectCount(n + 3);
      p.step = number(n + 2);
    }
    return p;
  }

 private:
  std::string file_;
  int line_;
  std::vector<std::string> words_;
};

std::vector<std::string> splitWords(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string w;
  while (in >> w) {
    if (w[0] == '#') break;
    words.push_back(w);
  }
  return words;
}

DeviceFault parseFault(const LineParser& p) {
  p.expectCount(4);
  std::optional<DeviceMethod> m = findDeviceMethod(p.word(1));
  if (!m) p.fail("unknown device method '" + p.word(1) + "' for 'fail'");
  if (!deviceMethodCanFail(*m)) p.fail("'" + p.word(1) + "' returns no result code and cannot fail");
  DeviceFault f;
  f.method = static_cast<int>(*m);
  const std::string& calls = p.word(2);
  const std::size_t dots = calls.find("..");
  if (dots == std::string::npos) {
    f.nth = f.last = p.integerIn(2, 1, 100000000);
  } else {
    // "A..B": both ends are call numbers, the range read as two words.
    LineParser ends(p, {"fail", calls.substr(0, dots), calls.substr(dots + 2)});
    f.nth = ends.integerIn(1, 1, 100000000);
    f.last = ends.integerIn(2, 1, 100000000);
    if (f.last < f.nth) p.fail("call range '" + calls + "' for 'fail' ends before it starts");
  }
  std::optional<std::uint32_t> r = parseResultCode(p.word(3));
  if (!r) p.fail("bad result code '" + p.word(3) + "' for 'fail'");
  f.result = *r;
  return f;
}

void parseBlockLine(const LineParser& p, const Scenario& s, FrameBlock& block) {
  const std::string& key = p.word(0);
  if (auto f = namedFields().find(key); f != namedFields().end()) {
    const Field& field = f->second;
    if (field.isFloat) {
      block.pokes.push_back(p.floatPoke(field.block, field.offset, 1));
    } else {
      p.expectCount(2);
      block.pokes.push_back(Poke{field.block, field.offset, false, 0.0f, p.integer(1), 0.0f});
    }
  } else if (key == "event") {
    p.expectCount(3);
    block.pokes.push_back(Poke{Block::CarState, kEventFlagField, false, 0.0f, p.integer(1), 0.0f});
    block.pokes.push_back(Poke{Block::EventCode, 0, false, 0.0f, p.integer(2), 0.0f});
  } else if (key == "damagef") {
    std::int32_t w = p.integerIn(1, 0, 289);
    block.pokes.push_back(p.floatPoke(Block::Damage, static_cast<std::uint32_t>(w) * 4, 2));
  } else if (key == "damagei") {
    p.expectCount(3);
    std::int32_t w = p.integerIn(1, 0, 289);
    block.pokes.push_back(Poke{Block::Damage, static_cast<std::uint32_t>(w) * 4, false, 0.0f, p.integer(2), 0.0f});
  } else if (key == "tire") {
    p.expectCount(10);
    std::int32_t t = p.integerIn(1, 0, 3);
    for (int s = 0; s < 8; ++s)
      block.pokes.push_back(Poke{Block::Damage, static_cast<std::uint32_t>(187 + 8 * t + s) * 4, true,
                                 p.number(2 + s), 0, 0.0f});
  } else if (key == "damage-extra") {
    if (p.count() == 2 && p.word(1) == "none") {
      block.damageExtraPresent = false;
    } else {
      p.expectCount(33);
      block.damageExtraPresent = true;
      for (int n = 0; n < 32; ++n)
        block.pokes.push_back(Poke{Block::DamageExtra, static_cast<std::uint32_t>(n) * 4, true,
                                   p.number(1 + n), 0, 0.0f});
    }
  } else if (key == "velocity") {
    p.expectCount(3);
    block.pokes.push_back(Poke{Block::CarObject, 0x1C0, true, p.number(1), 0, 0.0f});
    block.pokes.push_back(Poke{Block::CarObject, 0x1C4, true, p.number(2), 0, 0.0f});
  } else if (key == "poke") {
    auto b = blockNames().find(p.word(1));
    if (b == blockNames().end()) p.fail("unknown record '" + p.word(1) + "' for 'poke'");
    std::int32_t offset = p.integer(2);
    if (offset < 0 || offset % 4 != 0 || static_cast<std::uint32_t>(offset) + 4 > blockSize(b->second))
      p.fail("offset '" + p.word(2) + "' is outside record '" + p.word(1) + "' or not word aligned");
    const std::string& type = p.word(3);
    if (type == "f") {
      block.pokes.push_back(p.floatPoke(b->second, static_cast<std::uint32_t>(offset), 4));
    } else if (type == "i") {
      p.expectCount(5);
      block.pokes.push_back(Poke{b->second, static_cast<std::uint32_t>(offset), false, 0.0f, p.integer(4), 0.0f});
    } else {
      p.fail("bad type '" + type + "' for 'poke' (f or i)");
    }
  } else if (key == "car") {
    p.expectCount(2);
    if (p.word(1) == "present") block.carPresent = true;
    else if (p.word(1) == "none") block.carPresent = false;
    else p.fail("bad value '" + p.word(1) + "' for 'car' (present or none)");
  } else if (key == "damage-record" || key == "engine-record") {
    p.expectCount(2);
    std::optional<bool>& slot = key == "damage-record" ? block.damageRecordPresent : block.engineRecordPresent;
    if (p.word(1) == "present") slot = true;
    else if (p.word(1) == "none") slot = false;
    else p.fail("bad value '" + p.word(1) + "' for '" + key + "' (present or none)");
  } else if (key == "texture") {
    TextureRequest t;
    t.path = p.word(1);
    for (std::size_t n = 2; n < p.count(); ++n) {
      const std::string& option = p.word(n);
      if (option == "format") {
        const std::string& name = p.word(++n);
        const auto found = textureFormats().find(name.rfind("D3DFMT_", 0) == 0 ? name.substr(7) : name);
        if (found == textureFormats().end()) p.fail("unknown texture format '" + name + "'");
        t.format = found->second;
      } else if (option == "pool") {
        const std::string& pool = p.word(++n);
        if (pool == "default") t.pool = 0;
        else if (pool == "managed") t.pool = 1;
        else if (pool == "systemmem") t.pool = 2;
        else p.fail("bad pool '" + pool + "' (default, managed or systemmem)");
      } else if (option == "size") {
        if (p.word(n + 1) == "D3DX_DEFAULT") {
          ++n;
          t.width = t.height = 0;
        } else {
          t.width = static_cast<std::uint32_t>(p.integerIn(n + 1, 1, 16384));
          t.height = static_cast<std::uint32_t>(p.integerIn(n + 2, 1, 16384));
          n += 2;
        }
      } else {
        p.fail("unknown texture option '" + option + "' (format, pool, size)");
      }
    }
    block.textures.push_back(t);
  } else if (key == "write-image") {
    if (p.count() != 4 && p.count() != 6) p.fail("'write-image' takes SOURCE PATH KIND [W H]");
    ImageFileRequest r{p.word(1), p.word(2), p.word(3)};
    if (!imageKindNamed(r.kind)) p.fail("unknown image kind '" + r.kind + "' (" + imageKindNames() + ")");
    if (p.count() == 6) {
      r.width = static_cast<std::uint32_t>(p.integerIn(4, 1, 8192));
      r.height = static_cast<std::uint32_t>(p.integerIn(5, 1, 8192));
    }
    block.imageFiles.push_back(r);
  } else if (key == "screenshot") {
    p.expectCount(2);
    for (char c : p.word(1))
      if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'))
        p.fail("bad screenshot name '" + p.word(1) + "' (letters, digits, - and _)");
    block.screenshots.push_back(p.word(1));
  } else if (key == "probe-file") {
    p.expectCount(2);
    block.probedFiles.push_back(p.word(1));
  } else if (key == "menu") {
    p.expectCount(2);
    if (p.word(1) == "open") block.menuOpen = true;
    else if (p.word(1) == "close") block.menuOpen = false;
    else p.fail("bad value '" + p.word(1) + "' for 'menu' (open or close)");
  } else if (key == "key") {
    if (p.count() < 2) p.fail("'key' needs more values");
    for (std::size_t n = 1; n < p.count(); ++n) {
      const std::string& k = p.word(n);
      if (k == "ignored") block.keys.ignored = true;
      else if (k == "up") block.keys.up = true;
      else if (k == "down") block.keys.down = true;
      else if (k == "decrease") block.keys.decrease = true;
      else if (k == "increase") block.keys.increase = true;
      else if (k == "select") block.keys.select = true;
      else p.fail("unknown menu key '" + k + "'");
    }
  } else if (key == "fail") {
    block.faults.push_back(parseFault(p));
  } else if (key == "plugin-fault") {
    p.expectCount(1);
    block.pluginFault = true;
  } else if (key == "lose-device" || key == "reset-device" || key == "new-device") {
    const bool lose = key == "lose-device";
    const std::size_t first = lose ? 2 : 1;  // where the size starts
    // Trailing words: "silent" (a loss only), "keep-textures" (not a new device).
    bool silent = false, keep = false;
    std::size_t sized = p.count();
    while (sized > first) {
      const std::string& w = p.word(sized - 1);
      if (lose && w == "silent" && !silent) silent = true;
      else if (key != "new-device" && w == "keep-textures" && !keep) keep = true;
      else break;
      --sized;
    }
    if (sized != first && sized != first + 2)
      p.fail(lose ? "'lose-device' takes FRAMES [WIDTH HEIGHT] [silent] [keep-textures]"
             : key == "reset-device" ? "'reset-device' takes [WIDTH HEIGHT] [keep-textures]"
                                     : "'new-device' takes nothing or WIDTH HEIGHT");
    if (keep && !s.deviceEx) p.fail("'keep-textures' needs 'device ex' before the first 'frame'");
    DeviceLoss loss;
    if (lose) loss.frames = p.integerIn(1, 2, 100000);
    loss.silent = silent;
    loss.keepTextures = keep;
    if (sized == first + 2) {
      loss.width = p.integerIn(first, 160, 4096);
      loss.height = p.integerIn(first + 1, 120, 4096);
    }
    if (key == "new-device") block.newDevice = NewDevice{loss.width, loss.height};
    else block.deviceLoss = loss;
  } else if (key == "loader-thread" || key == "reset-thread") {
    if (!s.multithreaded) p.fail("'" + key + "' needs 'multithreaded' before the first 'frame'");
    if (key == "loader-thread") {
      p.expectCount(3);
      block.loaderThread = LoaderThread{p.integerIn(1, 1, 100000), p.word(2)};
    } else {
      if (p.count() != 2 && p.count() != 4) p.fail("'reset-thread' takes COUNT [WIDTH HEIGHT]");
      ResetThread r;
      r.resets = p.integerIn(1, 1, 100000);
      if (p.count() == 4) {
        r.width = p.integerIn(2, 160, 4096);
        r.height = p.integerIn(3, 120, 4096);
      }
      block.resetThread = r;
    }
  } else if (key == "wait-threads") {
    p.expectCount(1);
    block.waitThreads = true;
  } else if (key == "overlay") {
    p.expectCount(2);
    const std::string& w = p.word(1);
    if (w == "after") block.overlay = OverlayStep::After;
    else if (w == "late-thread") block.overlay = OverlayStep::LateThread;
    else if (w == "off") block.overlay = OverlayStep::Off;
    else if (w == "before") p.fail("'overlay before' belongs before the first 'frame'");
    else p.fail("bad value '" + w + "' for 'overlay' (after, late-thread or off)");
  } else if (key == "method-table-hook") {
    p.expectCount(2);
    const std::string& w = p.word(1);
    if (w == "call") block.methodTable = MethodTableStep::Call;
    else if (w == "jump") block.methodTable = MethodTableStep::Jump;
    else if (w == "off") block.methodTable = MethodTableStep::Off;
    else p.fail("bad value '" + w + "' for 'method-table-hook' (call, jump or off)");
  } else if (key == "tool-device") {
    p.expectCount(2);
    const std::string& w = p.word(1);
    if (w == "create") block.toolDevice = ToolDeviceStep::Create;
    else if (w == "reset") block.toolDevice = ToolDeviceStep::Reset;
    else if (w == "release") block.toolDevice = ToolDeviceStep::Release;
    else p.fail("bad value '" + w + "' for 'tool-device' (create, reset or release)");
  } else if (key == "home") {
    p.expectCount(2);
    block.homeMs = p.integerIn(1, 1, 10000);
  } else {
    p.fail("unknown key '" + key + "'");
  }
}

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& fileName) {
  Scenario s;
  std::istringstream in(text);
  std::string raw;
  int lineNo = 0;
  bool framesGiven = false;
  while (std::getline(in, raw)) {
    ++lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::vector<std::string> words = splitWords(raw);
    if (words.empty()) continue;
    LineParser p(fileName, lineNo, words);
    const std::string& key = words[0];
    if (key == "frame") {
      p.expectCount(2);
      if (!framesGiven) p.fail("'frames' must come before the first 'frame'");
      std::int32_t n = p.integer(1);
      if (n < 0 || n >= s.frames)
        p.fail("frame " + words[1] + " is outside 0.." + std::to_string(s.frames - 1));
      if (!s.blocks.empty() && n <= s.blocks.back().frame)
        p.fail("frame " + std::to_string(n) + " comes after frame " + std::to_string(s.blocks.back().frame));
      s.blocks.push_back(FrameBlock{});
      s.blocks.back().frame = n;
      s.blocks.back().line = lineNo;
    } else if (s.blocks.empty()) {
      if (key == "frames") {
        p.expectCount(2);
        s.frames = p.integerIn(1, 1, 1000000);
        framesGiven = true;
      } else if (key == "window") {
        p.expectCount(3);
        s.width = p.integerIn(1, 160, 4096);
        s.height = p.integerIn(2, 120, 4096);
      } else if (key == "fps") {
        p.expectCount(2);
        s.fps = p.number(1);
        if (s.fps < 0.0) p.fail("bad number '" + words[1] + "' for 'fps'");
      } else if (key == "count-device") {
        p.expectCount(1);
        s.countDevice = true;
      } else if (key == "fail") {
        s.faults.push_back(parseFault(p));
        s.countDevice = true;
      } else if (key == "host-proxy") {
        if (p.count() > 1 && p.word(1) != "hide-ex") p.fail("bad value '" + p.word(1) + "' for 'host-proxy' (hide-ex)");
        p.expectCount(p.count() > 1 ? 2 : 1);
        s.hostProxy = true;
        s.countDevice = true;
        if (p.count() == 2) s.proxyHidesEx = true;
      } else if (key == "proxy") {
        p.expectCount(2);
        if (p.word(1) != "hides-ex") p.fail("bad value '" + p.word(1) + "' for 'proxy' (hides-ex)");
        s.proxyHidesEx = true;
        s.countDevice = true;
      } else if (key == "depth") {
        p.expectCount(2);
        if (p.word(1) == "D24S8") s.depthFormat = kDepthD24S8;
        else if (p.word(1) == "D16") s.depthFormat = kDepthD16;
        else p.fail("bad depth format '" + p.word(1) + "' (D24S8 or D16)");
      } else if (key == "multisample") {
        p.expectCount(2);
        s.multisample = p.integerIn(1, 2, 16);
      } else if (key == "multithreaded") {
        p.expectCount(1);
        s.multithreaded = true;
      } else if (key == "device") {
        p.expectCount(2);
        if (p.word(1) != "ex") p.fail("bad value '" + p.word(1) + "' for 'device' (ex)");
        s.deviceEx = true;
      } else if (key == "overlay") {
        p.expectCount(2);
        if (p.word(1) != "before") p.fail("only 'overlay before' comes before the first 'frame'");
        s.overlayBefore = true;
      } else if (namedFields().count(key) || key == "poke" || key == "event") {
        p.fail("'" + key + "' must be inside a 'frame' block");
      } else {
        p.fail("unknown key '" + key + "'");
      }
    } else {
      if (key == "frames" || key == "window" || key == "fps" || key == "count-device" || key == "host-proxy" ||
          key == "proxy" || key == "depth" || key == "multisample" || key == "multithreaded" || key == "device")
        p.fail("'" + key + "' belongs before the first 'frame'");
      parseBlockLine(p, s, s.blocks.back());
    }
  }
  if (!framesGiven) throw ScenarioError(fileName, lineNo, "no 'frames' line");
  // Failures can only be injected through the proxy.
  // (The plug-in sees a lost device only through the proxy as well.)
  for (const FrameBlock& b : s.blocks)
    if (!b.faults.empty() || (b.deviceLoss && b.deviceLoss->frames > 0 && !b.deviceLoss->silent)) s.countDevice = true;
  return s;
}

}  // namespace simhost
