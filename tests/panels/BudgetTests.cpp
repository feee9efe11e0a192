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
