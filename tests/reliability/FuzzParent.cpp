#include "FuzzParent.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "FuzzCases.h"

namespace fs = std::filesystem;

namespace fuzz {
namespace {

using Clock = std::chrono::steady_clock;

struct Finding {
  std::uint64_t index;
  std::string what;   // crash / hang / exception
  std::string detail;
};

class Child {
 public:
  ~Child() { close(); }
  bool start(const std::string& commandLine, const std::string& workDir);
  // Reads what is there without blocking; false once the pipe is closed.
  bool poll(std::string& buffer);
  bool running() { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
  DWORD exitCode();
  // Until the child has ended and let go of its files, however long the
  // machine takes (the test's own hang guard bounds it): the next child
  // prepares the same game folder.
  void kill() {
    if (process_) TerminateProcess(process_, 0xDEAD);
    waitEnded();
  }
  void waitEnded() {
    if (process_) WaitForSingleObject(process_, INFINITE);
  }
  void close() {
    if (read_) CloseHandle(read_);
    if (process_) CloseHandle(process_);
    read_ = process_ = nullptr;
  }

 private:
  HANDLE process_ = nullptr;
  HANDLE read_ = nullptr;
};

bool Child::start(const std::string& commandLine, const std::string& workDir) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE write = nullptr;
  if (!CreatePipe(&read_, &write, &sa, 1 << 16)) return false;
  SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = write;
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  const BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, workDir.c_str(), &si, &pi);
  CloseHandle(write);
  if (!ok) return false;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  return true;
}

bool Child::poll(std::string& buffer) {
  DWORD available = 0;
  if (!PeekNamedPipe(read_, nullptr, 0, nullptr, &available, nullptr)) return false;
  while (available > 0) {
    char chunk[4096];
    DWORD got = 0;
    if (!ReadFile(read_, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr) || got == 0) return false;
    buffer.append(chunk, got);
    available -= got;
  }
  return true;
}

DWORD Child::exitCode() {
  DWORD code = 0;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

std::string selfPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string hex(DWORD v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(v));
  return text;
}

}  // namespace

int runParent(const ParentOptions& o) {
  const std::string workDir = fs::absolute("fuzz-work").string();
  std::error_code ec;
  fs::create_directories(workDir, ec);
  std::vector<std::string> replayFiles;
  std::uint64_t count = o.count;
  std::string listFile;
  if (o.replay) {
    for (const auto& entry : fs::directory_iterator(o.casesDir, ec)) {
      Kind k;
      if (entry.is_regular_file() && kindFromFileName(entry.path().filename().string(), k))
        replayFiles.push_back(fs::absolute(entry.path()).string());
    }
    std::sort(replayFiles.begin(), replayFiles.end());
    listFile = workDir + "\\replay-list.txt";
    std::ofstream list(listFile, std::ios::trunc);
    for (const auto& f : replayFiles) list << f << "\n";
    count = replayFiles.size();
    std::printf("fuzz: replaying %zu reproducers from %s\n", replayFiles.size(), o.casesDir.c_str());
  }

  const auto start = Clock::now();
  auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  std::vector<Finding> findings;
  std::uint64_t next = 0, ran = 0, childStarts = 0;
  long long slowestMs = 0;
  std::uint64_t slowestIndex = 0;
  std::string slowestWhat;
  bool equipmentFailed = false;
  // The case file the child wrote last is the one to keep.
  auto keep = [&](std::uint64_t index, const std::string& what, const std::string& detail, const std::string& kind) {
    findings.push_back({index, what, detail});
    std::fprintf(stderr, "fuzz: case %llu %s: %s\n", static_cast<unsigned long long>(index), what.c_str(), detail.c_str());
    if (o.replay) return;
    Kind k = Kind::TireSettings;
    for (int i = 0; i < kKindCount; ++i)
      if (kind == kindPrefix(static_cast<Kind>(i))) k = static_cast<Kind>(i);
    const std::string stem = o.casesDir + "\\" + kindPrefix(k) + "-s" + std::to_string(o.seed) + "-" + std::to_string(index);
    fs::create_directories(o.casesDir, ec);
    fs::copy_file(workDir + "\\case-current.bin", stem + kindExtension(k), fs::copy_options::overwrite_existing, ec);
    std::ofstream note(stem + ".note", std::ios::trunc);
    note << what << ": " << detail << "\n";
    std::fprintf(stderr, "fuzz: reproducer saved as %s%s\n", stem.c_str(), kindExtension(k));
  };

  while (next < count && (o.replay || elapsed() < o.seconds) && !equipmentFailed) {
    std::ostringstream cmd;
    cmd << "\"" << selfPath() << "\" --child --seed " << o.seed << " --from " << next << " --count " << count;
    if (!o.replay) cmd << " --seconds " << std::max(1.0, o.seconds - elapsed());
    if (o.replay) cmd << " --list \"" << listFile << "\"";
    if (!o.inject.empty()) cmd << " --inject " << o.inject;
    Child child;
    if (!child.start(cmd.str(), workDir)) {
      std::fprintf(stderr, "fuzz: cannot start the child process\n");
      return 2;
    }
    ++childStarts;
    std::string buffer;
    bool open = false, quit = false;
    std::uint64_t current = 0;
    std::string currentKind, currentWhat;
    Clock::time_point caseStart = Clock::now(), lastLine = Clock::now();
    for (;;) {
      const std::size_t before = buffer.size();
      const bool alive = child.poll(buffer);
      if (buffer.size() != before) lastLine = Clock::now();
      std::size_t nl;
      while ((nl = buffer.find('\n')) != std::string::npos) {
        std::string line = buffer.substr(0, nl);
        buffer.erase(0, nl + 1);
        std::istringstream in(line);
        std::string tag;
        in >> tag;
        if (tag == "B") {
          in >> current >> currentKind;
          std::getline(in, currentWhat);
          open = true;
          caseStart = Clock::now();
        } else if (tag == "E") {
          long long ms = 0;
          std::uint64_t index = 0;
          in >> index >> ms;
          if (ms > slowestMs) slowestMs = ms, slowestIndex = index, slowestWhat = currentKind + currentWhat;
          if (o.verbose) std::printf("case %llu %lld ms %s%s\n", static_cast<unsigned long long>(index), ms, currentKind.c_str(), currentWhat.c_str());
          open = false;
          ++ran;
          next = index + 1;
        } else if (tag == "X") {
          std::uint64_t index = 0;
          std::string what;
          in >> index;
          std::getline(in, what);
          keep(current, "exception", currentKind + currentWhat + " -> " + what, currentKind);
        } else if (tag == "Q") {
          quit = true;
        } else if (tag == "!") {
          std::fprintf(stderr, "fuzz: child: %s\n", line.c_str());
          equipmentFailed = true;
        }
      }
      if (open && Clock::now() - caseStart > std::chrono::milliseconds(o.caseTimeoutMs)) {
        child.kill();
        keep(current, "hang", currentKind + currentWhat + " (over " + std::to_string(o.caseTimeoutMs) + " ms)", currentKind);
        next = current + 1;
        break;
      }
      // Outside a case the child only starts up or moves on: silence there
      // is the equipment's fault, not a case's.
      if (!open && Clock::now() - lastLine > std::chrono::milliseconds(2 * o.caseTimeoutMs)) {
        child.kill();
        std::fprintf(stderr, "fuzz: the child said nothing for %u ms outside a case\n", 2 * o.caseTimeoutMs);
        equipmentFailed = true;
        break;
      }
      if (!alive || !child.running()) {
        child.waitEnded();  // its pipe is closed: it is ending, and its exit code comes with the end
        child.poll(buffer);
        if (buffer.find('\n') != std::string::npos) continue;  // read the last lines first
        const DWORD code = child.exitCode();
        if (open) {
          keep(current, "crash", currentKind + currentWhat + " (exit " + hex(code) + ")", currentKind);
          next = current + 1;
        } else if (!quit) {
          std::fprintf(stderr, "fuzz: the child ended outside a case (exit %s)\n", hex(code).c_str());
          equipmentFailed = true;
        } else if (!o.replay && next < count && elapsed() < o.seconds) {
          // The child stopped on its own clock; nothing more to do.
          next = count;
        }
        break;
      }
      Sleep(5);
    }
    if (quit && !open) break;
  }
  std::printf("fuzz: seed %llu, %llu cases run in %.1f s, %llu child processes, %zu findings; slowest case %llu (%s) %lld ms\n",
              static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(ran), elapsed(),
              static_cast<unsigned long long>(childStarts), findings.size(),
              static_cast<unsigned long long>(slowestIndex), slowestWhat.c_str(), slowestMs);
  if (equipmentFailed) return 2;
  return findings.empty() ? 0 : 1;
}

}  // namespace fuzz
