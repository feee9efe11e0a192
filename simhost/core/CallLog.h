#pragma once
// Every call the plug-in makes into the host, one line each, with the frame
// it happened in, plus counters for the closing summary.
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

namespace simhost {

class CallLog {
 public:
  bool open(const std::string& path);
  ~CallLog();
  void setFrame(int frame) {
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    frame_ = frame;
    frameCalls_ = 0;
  }
  // Plug-in calls recorded since the last setFrame (the host's own fault
  // lines are not counted).
  int frameCalls() const { return frameCalls_; }
  // printf-style line; `op` is counted.
  void record(const char* op, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void note(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void writeSummary();
  int count(const std::string& op) const;
  // Quiet: calls are only counted, not written (faults and notes still are),
  // for runs too long to keep a line per call.
  void setQuiet(bool quiet) { quiet_ = quiet; }

 private:
  // The host's threads (and the plug-in's calls on them) write lines too.
  mutable std::recursive_mutex lock_;
  std::FILE* file_ = nullptr;
  int frame_ = -1;
  int frameCalls_ = 0;
  bool quiet_ = false;
  std::map<std::string, int> counts_;
};

}  // namespace simhost
