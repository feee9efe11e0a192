// The per-frame work of the damage model stays allocation-free and cheap:
// all 88 diagram slots classified and a full table frame of 62 parts.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "FakeHost.h"
#include "plugin/HostInterfaces.h"
#include "panels/DamageRules.h"
#include "panels/BestRun.h"
#include "panels/BestRunHUD.h"
#include "panels/DamagedPartTableHUD.h"
#include "panels/HostDamage.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t n) {
  if (counting) ++allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t n) { return allocate(n); }
void* operator new[](std::size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace ostrel;
using testing_support::PanelHost;

namespace {

// Counts the host calls without storing them.
class CountingHost : public IHostGame {
 public:
  long calls = 0;
  void OSTREL_THISCALL reserved1() override {}
  void OSTREL_THISCALL reserved2() override {}
  void OSTREL_THISCALL WriteText(float, float, const char*) override { ++calls; }
  void OSTREL_THISCALL DrawMarker(int, float, float) override { ++calls; }
  void OSTREL_THISCALL reserved5() override {}
  void OSTREL_THISCALL PrepareMenuPage(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {}
  void OSTREL_THISCALL DrawHighlightBox(float, float, float, float) override {}
  void OSTREL_THISCALL reserved8() override {}
  void OSTREL_THISCALL BeginDrawModes(int) override { ++calls; }
  void OSTREL_THISCALL EndDrawModes(int) override { ++calls; }
  void OSTREL_THISCALL SelectFont(int) override { ++calls; }
  void OSTREL_THISCALL SelectTextMode(int) override { ++calls; }
  void OSTREL_THISCALL SetColor(float, float, float, float) override { ++calls; }
};

}  // namespace

TEST(Budget, CounterSeesAllocations) {
  counting = true;
  allocations = 0;
  std::string* s = new std::string(100, 'x');
  counting = false;
  delete s;
  EXPECT_GE(allocations.load(), 1) << "the allocation counter is not in use";
}

TEST(Budget, DamageFramesAllocateNothing) {
  PanelHost mem;
  mem.install();
  for (int w = 0; w < 300; ++w) mem.setI(w, 0);  // every presence word 0: a long list
  float cracks[32] = {0.9f};
  mem.setPointerWord(290, cracks);
  DamagedPartTableHUD table;
  CountingHost host;
  table.draw(&host);  // first use deciphers the texts of this thread
  const int listed = table.buildDamageList().count;
  ASSERT_GE(listed, 25);
  ASSERT_LE(listed, DamageList::kCapacity);

  constexpr int kFrames = 1000;
  long levelSum = 0;
  counting = true;
  allocations = 0;
  for (int frame = 0; frame < kFrames; ++frame) {
    const DamageWords d = hostDamageWords();
    for (int part = 0; part < kPartCount; ++part) levelSum += classifyPart(d, part);
    table.draw(&host);
  }
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_GT(levelSum, 0);
  EXPECT_EQ(host.calls, (kFrames + 1) * (2 + listed * 2 + 2 + 4 * (1 + 236 + 2) + 1));
}

// A driving frame of the best run panel (the recorder's step, the delta, the
// panel's text and bar) allocates nothing, and a run's room is made once at
// its start.
TEST(Budget, BestRunFramesAllocateNothing) {
  PanelHost mem;
  mem.install();
  mem.mode(ostrel::host::kModeDrivingStage);
  bestrun::liveRecorder() = bestrun::Recorder();
  BestRunHUD panel;
  bestrun::liveRecorder().setSource(nullptr);  // no file: the best comes from the first run
  panel.enabled = 1;
  panel.showFlags = ShowWhileDriving | ShowAfterFinish;
  CountingHost host;
  auto drive = [&](int frames, bool finish) {
    mem.stageTime(0.0f);
    mem.distance3(1000.0f);
    mem.finished(0);
    panel.follow();
    for (int f = 1; f <= frames; ++f) {
      mem.stageTime(f * 0.05f);
      mem.distance3(1000.0f - f * 1.0f);
      mem.speed(72.0f);
      if (finish && f == frames) mem.finished(1);
      panel.follow();
      if (panel.isVisible()) panel.draw(&host);
    }
  };
  drive(1000, true);  // a best of 1000 m
  ASSERT_TRUE(bestrun::bestAvailable());
  mem.mode(ostrel::host::kModeMenus);
  panel.follow();
  mem.mode(ostrel::host::kModeDrivingStage);
  drive(10, false);  // first use deciphers the panel's texts on this thread
  counting = true;
  allocations = 0;
  drive(900, false);
  counting = false;
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_TRUE(bestrun::liveRecorder().deltaValid());
  EXPECT_GT(host.calls, 900 * 5) << "the panel drew";
  mem.mode(ostrel::host::kModeMenus);
  panel.follow();
}
