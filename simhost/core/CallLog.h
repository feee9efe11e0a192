#pragma once
// Every call the plug-in makes into the host, one line each, with the frame
// it happened in, plus counters for the closing summary.
#include <cstdio>
#include <map>
#include <string>

namespace simhost {

class CallLog {
 public:
  bool open(const std::string& path);
  ~CallLog();
  void setFrame(int frame) { frame_ = frame; }
  // printf-style line; `op` is counted.
  void record(const char* op, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void note(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void writeSummary();
  int count(const std::string& op) const;

 private:
  std::FILE* file_ = nullptr;
  int frame_ = -1;
  std::map<std::string, int> counts_;
};

}  // namespace simhost
