#include "CallLog.h"

#include <cstdarg>
#include <cstring>

namespace simhost {

bool CallLog::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

CallLog::~CallLog() {
  if (file_) std::fclose(file_);
}

void CallLog::record(const char* op, const char* format, ...) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  ++counts_[op];
  const bool fault = std::strcmp(op, "fault") == 0;
  if (!fault) ++frameCalls_;
  if (!file_ || (quiet_ && !fault)) return;
  std::fprintf(file_, "%d %s ", frame_, op);
  va_list args;
  va_start(args, format);
  std::vfprintf(file_, format, args);
  va_end(args);
  std::fputc('\n', file_);
}

void CallLog::note(const char* format, ...) {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!file_) return;
  std::fprintf(file_, "%d note ", frame_);
  va_list args;
  va_start(args, format);
  std::vfprintf(file_, format, args);
  va_end(args);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void CallLog::writeSummary() {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  if (!file_) return;
  for (const auto& [op, n] : counts_) std::fprintf(file_, "summary %s %d\n", op.c_str(), n);
  std::fflush(file_);
}

int CallLog::count(const std::string& op) const {
  const std::lock_guard<std::recursive_mutex> hold(lock_);
  auto it = counts_.find(op);
  return it == counts_.end() ? 0 : it->second;
}

}  // namespace simhost
