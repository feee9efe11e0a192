#include "ToolNotes.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <cstring>

#include "OverlayApi.h"

namespace simhost_overlay {
namespace {

// Set up before any thread of ours can exist.
struct Queue {
  CRITICAL_SECTION lock;
  std::deque<std::string> notes;
  Queue() { InitializeCriticalSection(&lock); }
};
Queue& queue() {
  static Queue q;
  return q;
}

}  // namespace

void addNote(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Queue& q = queue();
  EnterCriticalSection(&q.lock);
  q.notes.emplace_back(text);
  LeaveCriticalSection(&q.lock);
}

bool takeNote(std::string& text) {
  Queue& q = queue();
  EnterCriticalSection(&q.lock);
  const bool any = !q.notes.empty();
  if (any) {
    text = q.notes.front();
    q.notes.pop_front();
  }
  LeaveCriticalSection(&q.lock);
  return any;
}

}  // namespace simhost_overlay

extern "C" __declspec(dllexport) int simhostToolsNextNote(char* text, int size) {
  std::string note;
  if (size <= 0 || !simhost_overlay::takeNote(note)) return 0;
  std::snprintf(text, static_cast<std::size_t>(size), "%s", note.c_str());
  return 1;
}
