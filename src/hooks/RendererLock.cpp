#include "hooks/RendererLock.h"

#include <windows.h>

namespace ostrel {
namespace {

// Made before any hook can run (the DLL's static initialisation) and never
// deleted: a hook may still run on another thread while the process ends.
CRITICAL_SECTION& section() {
  static CRITICAL_SECTION* const s = [] {
    static CRITICAL_SECTION storage;
    // A short spin first: the holder is usually drawing a few quads.
    InitializeCriticalSectionAndSpinCount(&storage, 1000);
    return &storage;
  }();
  return *s;
}

// Taken once at load, so that the first use never races its own set-up.
[[maybe_unused]] const bool madeAtLoad = (section(), true);

}  // namespace

RendererLock::RendererLock() { EnterCriticalSection(&section()); }
RendererLock::~RendererLock() { LeaveCriticalSection(&section()); }

}  // namespace ostrel
