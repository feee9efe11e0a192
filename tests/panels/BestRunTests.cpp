// The best run's recording, counting and delta on stages driven sample by
// sample, and the best file's text: every bad file a player may have.
// Windows-free: also built natively (native/panels).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "panels/BestRun.h"

using namespace ostrel::bestrun;

namespace {

// Bests by key, as the files would hold them.
class MemorySource : public BestSource {
 public:
  bool read(const RunKey& key, RunTable& into) override {
    ++reads;
    const auto it = stored.find(key.stageMetres * 10 + key.car);
    if (it == stored.end()) return false;
    const std::size_t room = into.times.size();
    into = it->second;
    if (into.times.size() < room) into.times.resize(room);
    return true;
  }
  void put(const RunTable& t) { stored[t.key.stageMetres * 10 + t.key.car] = t; }
  std::map<int, RunTable> stored;
  int reads = 0;
};

// A stage of `length` metres driven at a constant `speed` (m/s) in frames of
// `dt` seconds, as the host shows it: pre-start frames with the length in the
// distance word, then driving; finished (with the stage time) at `finishAt`
// metres, or stopped there without a finish.
struct Drive {
  Recorder& r;
  float length = 200.0f;
  std::int32_t car = 0;
  float dt = 0.1f;
  float time = 0.0f;
  float word = 0.0f;

  StageSample sample(float speed) const {
    StageSample s;
    s.onStage = true;
    s.stageTime = time;
    s.distanceWord = word;
    s.speedKmh = speed * 3.6f;
    s.carSlot = car;
    return s;
  }
  void preStart() {
    time = 0.0f;
    word = length;
    StageSample s = sample(0.0f);
    s.preStart = 1.0f;
    r.frame(s);
    s.preStart = 0.0f;
    r.frame(s);
  }
  // Drives from where the car is until `metres` driven (the last frame
  // exactly there), optionally finishing on that frame.
  void to(float metres, float speed, bool finish = false) {
    while (length - word < metres - 1e-3f) {
      const float step = std::fmin(speed * dt, metres - (length - word));
      time += step / speed;
      word -= step;
      StageSample s = sample(speed);
      s.finished = finish && !(length - word < metres - 1e-3f);
      r.frame(s);
    }
  }
  void run(float speed) {
    preStart();
    to(length, speed, true);
  }
  void menu() { r.frame(StageSample{}); }
};

}  // namespace

TEST(BestRunRecorder, AFirstFinishSetsTheBestWithTheTimeAtEveryFiveMetres) {
  MemorySource source;
  Recorder r(&source);
  Drive d{r};
  d.run(10.0f);
  EXPECT_EQ(r.phase(), Phase::kFinished);
  EXPECT_TRUE(r.finishCounted());
  EXPECT_TRUE(r.newBest());
  EXPECT_EQ(r.previousBestTime(), 0.0f);
  ASSERT_TRUE(r.pendingWrite());
  const RunTable& best = r.pendingBest();
  EXPECT_EQ(best.key, (RunKey{200, 0}));
  EXPECT_NEAR(best.finishTime, 20.0f, 1e-3f);
  ASSERT_EQ(best.steps, 41);
  for (int i = 0; i < best.steps; ++i) EXPECT_NEAR(best.times[i], i * 0.5f, 1e-3f) << "step " << i;
  EXPECT_EQ(source.reads, 1) << "the stored best is read once, before the start";
  r.written();
  EXPECT_FALSE(r.pendingWrite());
}

// Delta = the run's time at a distance minus the best's time there, linear
// between the best's steps; past the best's last step the last delta stays.
TEST(BestRunRecorder, TheDeltaAtEachPointAgainstTheBest) {
  struct Case {
    const char* what;
    float bestSpeed, runSpeed, at, delta;
  };
  const Case cases[] = {
      {"faster: ahead", 10.0f, 12.5f, 100.0f, -2.0f},
      {"slower: behind", 10.0f, 8.0f, 100.0f, 2.5f},
      {"between two steps", 10.0f, 12.5f, 52.5f, -1.05f},
      {"the same pace", 10.0f, 10.0f, 150.0f, 0.0f},
      {"at the line", 10.0f, 12.5f, 199.9f, -3.998f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemorySource source;
    Recorder r(&source);
    Drive d{r};
    d.run(c.bestSpeed);
    d.menu();
    EXPECT_FALSE(r.bestAvailable()) << "off the stage";
    d.preStart();
    EXPECT_TRUE(r.bestAvailable());
    EXPECT_NEAR(r.best().finishTime, 200.0f / c.bestSpeed, 1e-3f);
    d.dt = 0.37f;  // frames that fall between the steps
    d.to(c.at, c.runSpeed);
    ASSERT_TRUE(r.deltaValid());
    EXPECT_NEAR(r.delta(), c.delta, 2e-3f);
  }
}

TEST(BestRunRecorder, OnlyAFasterCountedFinishReplacesTheBest) {
  struct Case {
    const char* what;
    float speed;
    bool finishNearTheLength, replaces;
  };
  const Case cases[] = {
      {"slower", 8.0f, true, false},
      {"faster", 12.5f, true, true},
      {"faster but finished far from the length", 12.5f, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemorySource source;
    Recorder r(&source);
    Drive d{r};
    d.run(10.0f);
    d.menu();
    r.written();
    d.preStart();
    d.to(c.finishNearTheLength ? d.length : 150.0f, c.speed, true);
    EXPECT_EQ(r.phase(), Phase::kFinished);
    EXPECT_EQ(r.finishCounted(), c.finishNearTheLength);
    EXPECT_EQ(r.newBest(), c.replaces);
    EXPECT_EQ(r.pendingWrite(), c.replaces);
    EXPECT_NEAR(r.best().finishTime, c.replaces ? 200.0f / c.speed : 20.0f, 1e-3f);
    EXPECT_NEAR(r.previousBestTime(), 20.0f, 1e-3f);
    if (c.finishNearTheLength) {
      EXPECT_NEAR(r.delta(), 200.0f / c.speed - 20.0f, 2e-3f) << "the finish's delta";
    }
  }
}

// A restart part-way (the stage time going back) and a return to the menu
// without a finish record nothing; the next start begins a new run.
TEST(BestRunRecorder, ARestartOrTheMenuWithoutAFinishRecordsNothing) {
  MemorySource source;
  Recorder r(&source);
  Drive d{r};
  d.run(10.0f);
  d.menu();
  r.written();
  // Faster, then a restart at 150 m.
  d.preStart();
  d.to(150.0f, 20.0f);
  EXPECT_LT(r.delta(), 0.0f);
  d.time = 0.0f;
  d.word = d.length;
  r.frame(d.sample(0.0f));
  EXPECT_EQ(r.phase(), Phase::kWaiting);
  EXPECT_FALSE(r.deltaValid());
  // A slow run to the finish after the restart: it does not replace.
  d.to(d.length, 5.0f, true);
  EXPECT_TRUE(r.finishCounted());
  EXPECT_FALSE(r.newBest());
  EXPECT_NEAR(r.best().finishTime, 20.0f, 1e-3f);
  // To the menu half-way: nothing.
  d.menu();
  d.preStart();
  d.to(100.0f, 50.0f);
  d.menu();
  EXPECT_FALSE(r.pendingWrite());
  EXPECT_NEAR(r.best().finishTime, 20.0f, 1e-3f);
}

// Paused frames carry no meaning (the host's stage time may read anything).
TEST(BestRunRecorder, PausedFramesAreSkipped) {
  MemorySource source;
  Recorder r(&source);
  Drive d{r};
  d.preStart();
  d.to(100.0f, 10.0f);
  StageSample paused = d.sample(0.0f);
  paused.paused = true;
  paused.stageTime = 99.0f;
  paused.distanceWord = 0.0f;
  r.frame(paused);
  paused.stageTime = 0.0f;
  r.frame(paused);
  EXPECT_EQ(r.phase(), Phase::kRunning) << "no restart seen in a pause";
  d.to(d.length, 10.0f, true);
  EXPECT_NEAR(r.pendingBest().finishTime, 20.0f, 1e-3f);
  EXPECT_NEAR(r.pendingBest().times[30], 15.0f, 1e-3f);
}

// The stage is known by its length rounded to the metre and the car slot.
TEST(BestRunRecorder, EachStageAndCarHasItsOwnBest) {
  MemorySource source;
  RunTable stored;
  stored.key = {200, 3};
  stored.valid = true;
  stored.finishTime = 30.0f;
  stored.steps = 41;
  for (int i = 0; i < 41; ++i) stored.times.push_back(i * 0.75f);
  source.put(stored);
  Recorder r(&source);
  Drive d{r};
  d.length = 200.4f;
  d.car = 3;
  d.preStart();
  EXPECT_TRUE(r.bestAvailable());
  EXPECT_EQ(r.key(), (RunKey{200, 3}));
  d.menu();
  d.car = 2;
  d.preStart();
  EXPECT_FALSE(r.bestAvailable()) << "another car";
  d.menu();
  d.car = 3;
  d.length = 210.0f;
  d.preStart();
  EXPECT_FALSE(r.bestAvailable()) << "another stage";
}

// Where the distance does not fall while the car moves, or the length reads
// 0, the distance comes from the car's speed (said once).
TEST(BestRunRecorder, WithoutADistanceTheSpeedGivesIt) {
  MemorySource source;
  Recorder r(&source);
  Drive d{r};
  d.preStart();
  for (int i = 1; i <= 100; ++i) {  // 10 s at 10 m/s, the word stuck
    d.time = i * 0.1f;
    r.frame(d.sample(10.0f));
  }
  EXPECT_TRUE(r.usesSpeedDistance());
  EXPECT_NEAR(r.driven(), 100.0f, 0.01f);
  EXPECT_EQ(r.takeNotices(), static_cast<std::uint32_t>(kNoticeDistanceStill));
  EXPECT_EQ(r.takeNotices(), 0u);

  // A length of 0: a stage of unknown length, counted on the flag alone.
  Recorder z(&source);
  Drive zero{z};
  zero.length = 0.0f;
  zero.preStart();
  for (int i = 1; i <= 40; ++i) {
    zero.time = i * 0.125f;
    StageSample s = zero.sample(10.0f);
    s.finished = i == 40;
    z.frame(s);
  }
  EXPECT_EQ(z.takeNotices(), static_cast<std::uint32_t>(kNoticeLengthZero));
  EXPECT_EQ(z.key(), (RunKey{0, 0}));
  EXPECT_TRUE(z.finishCounted());
  ASSERT_TRUE(z.pendingWrite());
  EXPECT_EQ(z.pendingBest().steps, 11) << "50 m from the speed";
}

// ---- The best file ----

namespace {

RunTable sampleRun() {
  RunTable t;
  t.key = {200, 1};
  t.valid = true;
  t.finishTime = 38.475f;
  t.steps = 5;
  t.times = {0.0f, 1.5f, 2.25f, 3.0f, 4.125f, 0.0f};
  return t;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  return at == std::string::npos ? "<" + from + " not found>" : text.replace(at, from.size(), to);
}

}  // namespace

TEST(BestRunFile, ReadsBackWhatItWrites) {
  const std::string text = formatBestFile(sampleRun());
  EXPECT_EQ(text,
            "OSTREL best run 1\r\nkey stage=200m car=2 step=5m\r\ntime 38.475\r\nsteps 5\r\n"
            "0 0.000\r\n5 1.500\r\n10 2.250\r\n15 3.000\r\n20 4.125\r\nend\r\n");
  EXPECT_EQ(bestFileName(sampleRun().key), "stage-200m-car2.txt");
  RunTable back;
  ASSERT_EQ(parseBestFile(text, sampleRun().key, back), FileProblem::kNone);
  EXPECT_TRUE(back.valid);
  EXPECT_EQ(back.steps, 5);
  EXPECT_FLOAT_EQ(back.finishTime, 38.475f);
  for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(back.times[i], sampleRun().times[i]);
  // Line ends as an editor may leave them.
  std::string unix = text;
  for (std::size_t at; (at = unix.find('\r')) != std::string::npos;) unix.erase(at, 1);
  EXPECT_EQ(parseBestFile(unix, sampleRun().key, back), FileProblem::kNone);
}

TEST(BestRunFile, EveryBadFileIsRefusedWithItsReason) {
  const std::string good = formatBestFile(sampleRun());
  struct Case {
    const char* what;
    std::string text;
    FileProblem problem;
  };
  const Case cases[] = {
      {"empty", "", FileProblem::kTruncated},
      {"heading only", "OSTREL best run 1\r\n", FileProblem::kTruncated},
      {"cut in the steps", good.substr(0, good.find("10 2.250")), FileProblem::kTruncated},
      {"cut in a line", good.substr(0, good.find("10 2.250") + 4), FileProblem::kTruncated},
      {"cut after a point", good.substr(0, good.find("10 2.250") + 5), FileProblem::kBadNumber},
      {"no end line", good.substr(0, good.find("end")), FileProblem::kTruncated},
      {"ends early", replaced(good, "20 4.125\r\n", "end\r\n"), FileProblem::kTruncated},
      {"steps swapped", replaced(good, "5 1.500\r\n10 2.250\r\n", "10 2.250\r\n5 1.500\r\n"),
       FileProblem::kOutOfOrder},
      {"a step left out", replaced(good, "10 2.250\r\n", ""), FileProblem::kOutOfOrder},
      {"time going back", replaced(good, "15 3.000", "15 2.000"), FileProblem::kOutOfOrder},
      {"finish before the last step", replaced(good, "time 38.475", "time 4.000"), FileProblem::kOutOfOrder},
      {"more steps than it says", replaced(good, "steps 5", "steps 4"), FileProblem::kOutOfOrder},
      {"another car", replaced(good, "car=2", "car=3"), FileProblem::kOtherKey},
      {"another stage", replaced(good, "stage=200m", "stage=201m"), FileProblem::kOtherKey},
      {"another step", replaced(good, "step=5m", "step=10m"), FileProblem::kOtherKey},
      {"another rule's heading", replaced(good, "best run 1", "best run 2"), FileProblem::kNotABestFile},
      {"some other file", "[HUD]\r\nPosX=20\r\n", FileProblem::kNotABestFile},
      {"a word for a time", replaced(good, "time 38.475", "time fast"), FileProblem::kBadNumber},
      {"a negative time", replaced(good, "5 1.500", "5 -1.500"), FileProblem::kBadNumber},
      {"too many steps for the stage", replaced(good, "steps 5", "steps 9999"), FileProblem::kBadNumber},
      {"no steps", replaced(good, "steps 5", "steps 0"), FileProblem::kBadNumber},
  };
  for (const Case& c : cases) {
    RunTable into = sampleRun();
    EXPECT_EQ(parseBestFile(c.text, sampleRun().key, into), c.problem) << c.what;
    EXPECT_FALSE(into.valid) << c.what;
    EXPECT_STRNE(fileProblemText(c.problem), "") << c.what;
  }
}

TEST(BestRunText, DeltasAndTimesAsThePanelShowsThem) {
  struct Delta {
    float seconds;
    const char* text;
    int sign;
  };
  const Delta deltas[] = {{-1.234f, "-1.23", -1}, {0.449f, "+0.45", 1},   {0.004f, "0.00", 0},
                          {-0.004f, "0.00", 0},   {-0.006f, "-0.01", -1}, {65.0f, "+65.00", 1}};
  for (const Delta& c : deltas) {
    char text[32];
    EXPECT_EQ(formatDelta(c.seconds, text, sizeof text), c.sign) << c.seconds;
    EXPECT_STREQ(text, c.text);
  }
  struct Time {
    float seconds;
    const char* text;
  };
  const Time times[] = {{0.449f, "0.45"}, {38.47f, "38.47"}, {59.999f, "1:00.00"},
                        {65.0f, "1:05.00"}, {185.4f, "3:05.40"}, {-3.0f, "0.00"}};
  for (const Time& c : times) {
    char text[32];
    formatStageTime(c.seconds, text, sizeof text);
    EXPECT_STREQ(text, c.text) << c.seconds;
  }
}

// A length that wavers during the countdown (a car rolling at the line)
// looks the best up on the first frame and at the start, not every frame.
TEST(BestRunRecorder, TheBestIsLookedUpOnceBeforeTheStartNotPerFrame) {
  MemorySource source;
  Recorder r(&source);
  StageSample s;
  s.onStage = true;
  s.preStart = 3.0f;
  for (int i = 0; i < 50; ++i) {
    s.distanceWord = i % 2 ? 200.4f : 200.6f;  // 200 and 201 m in turn
    r.frame(s);
  }
  EXPECT_EQ(source.reads, 1);
  s.preStart = 0.0f;
  s.stageTime = 0.1f;
  s.distanceWord = 199.0f;
  r.frame(s);
  EXPECT_EQ(r.phase(), Phase::kRunning);
  EXPECT_EQ(r.key(), (RunKey{200, 0})) << "the length on the last frame before the start";
  EXPECT_EQ(source.reads, 2);
}
