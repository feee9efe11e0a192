// The telemetry packets byte by byte, as the consumers' documentation lays
// them out, and the settings texts they are made from.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

#include "telemetry/GearCoding.h"
#include "telemetry/PhaseReader.h"
#include "telemetry/RetryPause.h"
#include "telemetry/SendSchedule.h"
#include "telemetry/StagePhases.h"
#include "telemetry/TelemetryPackets.h"
#include "telemetry/TelemetryTargets.h"

using namespace ostrel::telemetry;

namespace {

// A distinct value in every source, so a field read from the wrong one shows.
CarSample everyValueDistinct() {
  CarSample car;
  car.runTime = 12.5f;
  car.stageTime = 7.25f;
  car.driven = 1500.0f;
  car.stageLength = 6000.0f;
  car.speed = 30.0f;
  car.wheelSpeed = 31.0f;
  car.engineSpeed = 7600.0f;
  car.maxEngineSpeed = 8200.0f;
  car.idleEngineSpeed = 900.0f;
  car.gearIndex = 3;
  car.waterTemp = 91.0f;
  car.oilTemp = 102.0f;
  car.oilPressure = 4.5f;
  car.boost = 1.2f;
  car.turboPresent = true;
  car.shiftLight = true;
  car.batteryWarning = false;
  car.overheat = true;
  car.carSlot = 2;
  return car;
}

template <typename T>
T at(const std::uint8_t* p, std::size_t offset) {
  T v;
  std::memcpy(&v, p + offset, sizeof v);
  return v;
}

}  // namespace

TEST(TelemetryPackets, FormatAHasEveryFieldAtItsOffsetInConsumerUnits) {
  std::array<std::uint8_t, kFormatASize> packet;
  packet.fill(0xEE);
  ASSERT_EQ(buildFormatA(everyValueDistinct(), PacketCoding{}, packet), 264u);
  struct Field {
    std::size_t offset;
    float value;
    const char* what;
  };
  const Field fields[] = {
      {0, 12.5f, "run time s"},          {4, 7.25f, "stage time s"},      {8, 1500.0f, "distance driven m"},
      {12, 0.25f, "progress 0..1"},      {28, 30.0f, "speed m/s"},        {100, 31.0f, "wheel speed RL"},
      {104, 31.0f, "wheel speed RR"},    {108, 31.0f, "wheel speed FL"},  {112, 31.0f, "wheel speed FR"},
      {132, 3.0f, "gear"},               {148, 760.0f, "engine speed / 10"},
      {244, 6000.0f, "stage length m"},  {252, 820.0f, "max engine speed / 10"},
      {256, 90.0f, "idle engine speed / 10"}, {260, 6.0f, "forward gears"},
  };
  std::set<std::size_t> named;
  for (const Field& f : fields) {
    EXPECT_FLOAT_EQ(at<float>(packet.data(), f.offset), f.value) << f.what << " at " << f.offset;
    named.insert(f.offset);
  }
  // The host gives nothing else: every other float is 0.
  for (std::size_t offset = 0; offset < kFormatASize; offset += 4)
    if (!named.count(offset)) EXPECT_EQ(at<float>(packet.data(), offset), 0.0f) << "offset " << offset;
}

TEST(TelemetryPackets, FormatBHasEveryFieldAtItsOffsetAndTheIdOnlyWhenSet) {
  std::array<std::uint8_t, kFormatBSize> packet;
  packet.fill(0xEE);
  ASSERT_EQ(buildFormatB(everyValueDistinct(), PacketCoding{}, packet), 92u);
  const std::uint8_t* p = packet.data();
  EXPECT_EQ(at<std::uint32_t>(p, 0), 12500u) << "time ms";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 4), 4), std::string("CR3\0", 4))
      << "a car's name: three letters or digits and a zero byte";
  EXPECT_EQ(at<std::uint16_t>(p, 8), (1u << 13) | (1u << 14) | (1u << 15)) << "turbo, km/h, bar";
  EXPECT_EQ(p[10], 4) << "third gear: reverse 0, neutral 1, first 2";
  EXPECT_EQ(p[11], 0) << "player id";
  struct Field {
    std::size_t offset;
    float value;
  };
  for (const Field& f : {Field{12, 30.0f}, Field{16, 7600.0f}, Field{20, 1.2f}, Field{24, 91.0f}, Field{28, 0.0f},
                         Field{32, 4.5f}, Field{36, 102.0f}, Field{48, 0.0f}, Field{52, 0.0f}, Field{56, 0.0f}})
    EXPECT_FLOAT_EQ(at<float>(p, f.offset), f.value) << "offset " << f.offset;
  EXPECT_EQ(at<std::uint32_t>(p, 40), (1u << 0) | (1u << 8) | (1u << 9)) << "lights the car has";
  EXPECT_EQ(at<std::uint32_t>(p, 44), (1u << 0) | (1u << 8)) << "shift light and overheat on, battery off";
  for (std::size_t i = 60; i < 92; ++i) EXPECT_EQ(p[i], 0) << "displays empty at " << i;

  PacketCoding withId;
  withId.id = 4242;
  ASSERT_EQ(buildFormatB(everyValueDistinct(), withId, packet), 96u);
  EXPECT_EQ(at<std::int32_t>(packet.data(), 92), 4242);
}

TEST(TelemetryPackets, GearIndexesGoThroughTheMapToEachFormatsCoding) {
  std::string problem;
  const GearMap fiveSpeed = *parseGearMap(" r, n, 1,2,3,4,5, N ", problem);
  struct Case {
    const GearMap& map;
    std::int32_t index;
    std::int32_t reverseCode;
    float formatA;
    std::uint8_t formatB;
  };
  const GearMap standard = defaultGearMap();
  const Case cases[] = {
      {standard, 0, -1, 0.0f, 1},  {standard, 1, -1, 1.0f, 2}, {standard, 6, -1, 6.0f, 7},
      {standard, 7, -1, -1.0f, 0}, {standard, 7, 10, 10.0f, 0}, {standard, -1, -1, 0.0f, 1},
      {standard, 8, -1, 0.0f, 1},  {fiveSpeed, 0, 10, 10.0f, 0}, {fiveSpeed, 1, -1, 0.0f, 1},
      {fiveSpeed, 6, -1, 5.0f, 6}, {fiveSpeed, 7, -1, 0.0f, 1},
  };
  for (const Case& c : cases) {
    CarSample car;
    car.gearIndex = c.index;
    PacketCoding coding;
    coding.gears = c.map;
    coding.reverseCode = c.reverseCode;
    std::array<std::uint8_t, kFormatASize> a;
    std::array<std::uint8_t, kFormatBSize> b;
    buildFormatA(car, coding, a);
    buildFormatB(car, coding, b);
    EXPECT_EQ(at<float>(a.data(), 132), c.formatA) << "index " << c.index;
    EXPECT_EQ(b[10], c.formatB) << "index " << c.index;
  }
  EXPECT_EQ(forwardGearCount(fiveSpeed), 5);
  EXPECT_EQ(std::string(defaultGearMapText()), "N,1,2,3,4,5,6,R");
  EXPECT_EQ(*parseGearMap(defaultGearMapText(), problem), defaultGearMap());
}

TEST(TelemetrySettingsText, BadGearMapsAreRefusedWithAReason) {
  for (const char* text : {"", "N,1,2,3,4,5,6", "N,1,2,3,4,5,6,R,R", "N,1,2,3,4,5,6,X", "N,1,2,3,4,5,6,10"}) {
    std::string problem;
    EXPECT_FALSE(parseGearMap(text, problem).has_value()) << text;
    EXPECT_FALSE(problem.empty()) << text;
  }
}

TEST(TelemetrySettingsText, TargetsAreReadAndBadOnesSkippedWithAReason) {
  const TargetList list = parseTargets(
      " A@127.0.0.1:20777 ,b@localhost:4444, C@127.0.0.1:9, AA@127.0.0.1:9, A@127.0.0.1:70000, A127.0.0.1:5,"
      " A@:5, B@10.0.0.2:0, A@127.0.0.1:1, A@127.0.0.1:2, A@127.0.0.1:3");
  ASSERT_EQ(list.targets.size(), 4u);
  EXPECT_EQ(list.targets[0].format, PacketFormat::kA);
  EXPECT_EQ(list.targets[0].host, "127.0.0.1");
  EXPECT_EQ(list.targets[0].port, 20777);
  EXPECT_EQ(list.targets[1].format, PacketFormat::kB);
  EXPECT_EQ(list.targets[1].host, "localhost");
  EXPECT_EQ(list.targets[1].port, 4444);
  EXPECT_EQ(list.targets[3].port, 2);
  struct Expected {
    const char* entry;
    const char* reasonPart;
  };
  const Expected problems[] = {
      {"C@127.0.0.1:9", "unknown format \"C\""},   {"AA@127.0.0.1:9", "did you mean A?"},
      {"A@127.0.0.1:70000", "port \"70000\""},      {"A127.0.0.1:5", "FORMAT@HOST:PORT"},
      {"A@:5", "no host"},                          {"B@10.0.0.2:0", "port \"0\""},
      {"A@127.0.0.1:3", "more than four"},
  };
  ASSERT_EQ(list.problems.size(), std::size(problems));
  for (std::size_t i = 0; i < std::size(problems); ++i) {
    EXPECT_EQ(list.problems[i].entry, problems[i].entry);
    EXPECT_NE(list.problems[i].reason.find(problems[i].reasonPart), std::string::npos) << list.problems[i].reason;
  }
}

TEST(TelemetrySettingsText, DottedAddressesOnly) {
  EXPECT_EQ(parseIPv4("127.0.0.1"), 0x0100007Fu);
  EXPECT_EQ(parseIPv4("192.168.1.20"), 0x1401A8C0u);
  for (const char* bad : {"", "localhost", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.x", "1.2.3.0004"})
    EXPECT_FALSE(parseIPv4(bad).has_value()) << bad;
}

// Frames at `fps` with a little timer jitter; the packets sent in `seconds`.
int packetsSent(int rate, double fps, double seconds, double jitter = 0.0) {
  SendSchedule schedule;
  schedule.setRate(rate);
  int sent = 0;
  const int frames = static_cast<int>(seconds * fps);
  for (int i = 0; i < frames; ++i)
    if (schedule.due(i / fps + ((i % 3) - 1) * jitter)) ++sent;
  return sent;
}

TEST(TelemetrySchedule, AtMostTheRateSetAndEveryFrameWhereTheGameIsSlower) {
  EXPECT_EQ(packetsSent(0, 144, 2), 288) << "0 = every frame";
  EXPECT_NEAR(packetsSent(60, 144, 10), 600, 2);
  EXPECT_NEAR(packetsSent(20, 60, 10), 200, 1);
  EXPECT_EQ(packetsSent(60, 60, 10, 0.002), 600) << "jitter at a frame rate equal to the rate skips nothing";
  EXPECT_EQ(packetsSent(60, 30, 10), 300) << "a slower game: one a frame";
  // After a stall the schedule starts again: no burst of catch-up packets.
  SendSchedule schedule;
  schedule.setRate(10);
  EXPECT_TRUE(schedule.due(0.0));
  EXPECT_TRUE(schedule.due(5.0));
  EXPECT_FALSE(schedule.due(5.01));
  EXPECT_FALSE(schedule.due(5.05));
  EXPECT_TRUE(schedule.due(5.1));
}

// A target that failed is tried again after its pause; each change is said
// once, never each failed try.
TEST(TelemetryRetry, PausedAfterAFailureTriedAgainAfterThePauseSaidOncePerChange) {
  RetryPause pause(5.0);
  struct Step {
    double at;
    bool mayTry;
    char outcome;  // 'f' failed, 'w' worked, '-' no try
    bool news;
  };
  const Step steps[] = {
      {0.0, true, 'f', true},     // first failure: say so
      {1.0, false, '-', false},   // paused
      {4.99, false, '-', false},
      {5.0, true, 'f', false},    // tried again, fails again: nothing new
      {9.0, false, '-', false},
      {10.0, true, 'w', true},    // works again: say so
      {10.1, true, 'w', false},
      {11.0, true, 'f', true},    // fails again after working: news again
      {12.0, false, '-', false},
      {16.0, true, 'w', true},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.at);
    EXPECT_EQ(pause.mayTry(s.at), s.mayTry);
    if (s.outcome == 'f') {
      EXPECT_EQ(pause.failed(s.at), s.news);
    }
    if (s.outcome == 'w') {
      EXPECT_EQ(pause.worked(), s.news);
    }
  }
}

// The resolver's rounds on a clock of the test's: names that resolve are
// tried once, a failing one again after each pause (the pause starting when
// the slow lookup has returned), until it resolves; a stop ends a round.
TEST(TelemetryRetry, NamesAreRetriedAfterThePauseUntilTheyResolve) {
  double clock = 0.0;
  int tries[3] = {};
  int failFirst[3] = {0, 2, 0};  // name 1 fails its first two lookups
  NameRetries<4> names(3, 5.0);
  const auto now = [&] { return clock; };
  const auto lookup = [&](std::size_t i) {
    ++tries[i];
    if (i == 1) clock += 3.0;  // a lookup that takes the resolver's time
    return tries[i] > failFirst[i];
  };
  const auto never = [] { return false; };
  EXPECT_DOUBLE_EQ(names.round(now, lookup, never), 5.0) << "name 1's pause, from the end of its lookup";
  EXPECT_EQ(tries[0] + tries[1] + tries[2], 3);
  EXPECT_TRUE(names.resolved(0));
  EXPECT_FALSE(names.resolved(1));
  EXPECT_TRUE(names.resolved(2));
  clock = 7.0;
  EXPECT_DOUBLE_EQ(names.round(now, lookup, never), 1.0) << "not yet";
  EXPECT_EQ(tries[1], 1);
  clock = 8.0;
  EXPECT_DOUBLE_EQ(names.round(now, lookup, never), 5.0) << "failed again at 11";
  EXPECT_EQ(tries[1], 2);
  clock = 16.0;
  EXPECT_LT(names.round(now, lookup, never), 0.0) << "all resolved";
  EXPECT_TRUE(names.resolved(1));
  EXPECT_EQ(tries[0], 1);
  EXPECT_EQ(tries[1], 3);
  EXPECT_EQ(tries[2], 1);

  NameRetries<4> stopped(2, 5.0);
  int looked = 0;
  stopped.round(now, [&](std::size_t) { return ++looked, false; }, [] { return true; });
  EXPECT_EQ(looked, 1) << "a stop ends the round after the lookup under way";
}

// Format A's laps and result at each phase of a stage: one lap to drive while
// on the stage, completed with the stage's time from the finish on, and the
// end's packet with stage time, distance, progress and speeds 0 but the
// result and the engine speeds kept.
TEST(TelemetryPackets, FormatATellsEachPhaseByItsLapsAndResult) {
  CarSample onStage = everyValueDistinct();
  onStage.onStage = true;
  CarSample finished = onStage;
  finished.finished = true;
  finished.finishTime = 40.25f;
  CarSample notOnStage = everyValueDistinct();
  struct Case {
    const char* phase;
    CarSample car;
    float lapTime, distance, progress, speed, completed, total, lastLap;
  };
  const Case cases[] = {
      {"not on a stage", notOnStage, 7.25f, 1500.0f, 0.25f, 30.0f, 0.0f, 0.0f, 0.0f},
      {"driving", onStage, 7.25f, 1500.0f, 0.25f, 30.0f, 0.0f, 1.0f, 0.0f},
      {"finished", finished, 7.25f, 1500.0f, 0.25f, 30.0f, 1.0f, 1.0f, 40.25f},
      {"over after the finish", stageOver(finished), 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 40.25f},
      {"over unfinished", stageOver(onStage), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    std::array<std::uint8_t, kFormatASize> p;
    buildFormatA(c.car, PacketCoding{}, p);
    EXPECT_FLOAT_EQ(at<float>(p.data(), 4), c.lapTime);
    EXPECT_FLOAT_EQ(at<float>(p.data(), 8), c.distance);
    EXPECT_FLOAT_EQ(at<float>(p.data(), 12), c.progress);
    EXPECT_FLOAT_EQ(at<float>(p.data(), 28), c.speed);
    EXPECT_FLOAT_EQ(at<float>(p.data(), 100), c.speed == 0.0f ? 0.0f : 31.0f) << "wheel speed";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 236), c.completed) << "laps completed";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 240), c.total) << "total laps";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 248), c.lastLap) << "last lap time";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 148), 760.0f) << "engine speed kept";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 252), 820.0f) << "max engine speed kept";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 256), 90.0f) << "idle engine speed kept";
    EXPECT_FLOAT_EQ(at<float>(p.data(), 0), 12.5f) << "run time";
  }
}

// Each format is one row: its letter parses in Targets, its builder fills
// one of its sizes, its gear coding reads back, its summary names it, and
// its size finds it again.
TEST(TelemetryPackets, EachFormatIsOneRowOfTheTable) {
  std::string targets;
  for (const PacketFormatRow& row : packetFormats()) {
    SCOPED_TRACE(row.letter);
    EXPECT_EQ(&formatRow(row.format), &row);
    EXPECT_EQ(formatOfLetter(row.letter), &row);
    EXPECT_EQ(formatOfLetter(static_cast<char>(row.letter - 'A' + 'a')), &row);
    EXPECT_GT(row.defaultPort, 0);
    alignas(4) std::uint8_t buffer[kMaxPacketSize];
    for (std::int32_t id : {0, 5}) {
      PacketCoding coding;
      coding.id = id;
      const std::size_t size = row.build(everyValueDistinct(), coding, PacketBuffer(buffer, kMaxPacketSize));
      EXPECT_TRUE(hasSize(row, size)) << size;
      EXPECT_EQ(formatOfSize(size), &row) << size;
      char line[320];
      row.summary(buffer, size, 60.0, line, sizeof line);
      EXPECT_EQ(std::string(line).rfind(std::string("format ") + row.letter, 0), 0u) << line;
      EXPECT_NE(std::string(line).find(" 60.0 packets/s"), std::string::npos) << line;
    }
    struct GearCase {
      Gear gear;
      const char* name;
    };
    for (const GearCase& g : {GearCase{{Gear::Kind::kNeutral, 0}, "N"}, GearCase{{Gear::Kind::kReverse, 0}, "R"},
                              GearCase{{Gear::Kind::kForward, 1}, "1"}, GearCase{{Gear::Kind::kForward, 9}, "9"}})
      for (std::int32_t reverse : {-1, 10}) EXPECT_STREQ(row.gearName(row.gearCode(g.gear, reverse)), g.name);
    targets += std::string(targets.empty() ? "" : ",") + row.letter + "@127.0.0.1:" + std::to_string(row.defaultPort);
  }
  const TargetList list = parseTargets(targets);
  ASSERT_EQ(list.targets.size(), kFormatCount);
  for (std::size_t i = 0; i < kFormatCount; ++i) EXPECT_EQ(list.targets[i].format, packetFormats()[i].format);
  EXPECT_EQ(formatOfSize(100), nullptr);
  EXPECT_EQ(formatOfLetter('Q'), nullptr);
  EXPECT_EQ(formatLetters(), "A and B");
  EXPECT_STREQ(defaultTargetsText(), "A@127.0.0.1:20777");
  EXPECT_EQ(packetFormats()[1].defaultPort, 4444);
  EXPECT_TRUE(packetFormats()[0].phases);
  EXPECT_FALSE(packetFormats()[1].phases);
  // The listener shows format B's name as three characters, an add-on car's
  // three-byte id in hexadecimal.
  alignas(4) std::uint8_t b[kMaxPacketSize];
  const PacketFormatRow& rowB = formatRow(PacketFormat::kB);
  char line[320];
  rowB.summary(b, rowB.build(everyValueDistinct(), PacketCoding{}, PacketBuffer(b, kMaxPacketSize)), 1.0, line,
               sizeof line);
  EXPECT_NE(std::string(line).find("car CR3"), std::string::npos) << line;
  std::memcpy(b + 4, "CAR1", 4);
  rowB.summary(b, 92, 1.0, line, sizeof line);
  EXPECT_NE(std::string(line).find("car 434152"), std::string::npos) << line;
}

// The sender's phases, frame by frame: `op` is what the host does before
// the packet (b begin, s sample, f sample with the finished flag, l leave,
// - nothing new, as while paused), `stageTime` the sample's, `at` the clock;
// `send` what the packet is (S stage, O over, N nothing).
TEST(TelemetryPhases, TheSenderTellsTheEndOnceForEachWayAStageEnds) {
  struct Step {
    char op;
    float stageTime;
    double at;
    char send;
  };
  using P = StagePhases;
  const double result = P::kResultSeconds;
  const std::vector<Step> menu = {{'b', 0, 0, 'S'},  {'s', 1, 1, 'S'}, {'s', 2, 2, 'S'}, {'l', 0, 3, 'O'},
                                  {'-', 0, 3, 'O'},  {'-', 0, 3, 'O'}, {'-', 0, 3, 'O'}, {'-', 0, 3, 'O'},
                                  {'-', 0, 3, 'N'},  {'-', 0, 4, 'N'}, {'b', 0, 5, 'S'}, {'s', 1, 6, 'S'}};
  const std::vector<Step> finish = {{'b', 0, 0, 'S'},       {'s', 1, 1, 'S'},          {'f', 40, 2, 'S'},
                                    {'f', 40, 2 + result - 0.1, 'S'}, {'-', 40, 2 + result, 'O'}, {'f', 40, 9, 'O'},
                                    {'f', 40, 9, 'O'},     {'f', 40, 9, 'O'},         {'f', 40, 9, 'O'},
                                    {'f', 40, 9, 'N'},     {'l', 0, 10, 'N'},         {'-', 0, 11, 'N'}};
  const std::vector<Step> finishThenMenu = {{'b', 0, 0, 'S'}, {'f', 40, 1, 'S'}, {'l', 0, 1.5, 'O'},
                                            {'-', 0, 2, 'O'}, {'-', 0, 2, 'O'}, {'-', 0, 2, 'O'},
                                            {'-', 0, 2, 'O'}, {'-', 0, 9, 'N'}};
  // A restart: the end, then the new stage from its start.
  const std::vector<Step> restart = {{'b', 0, 0, 'S'}, {'s', 5, 1, 'S'}, {'s', 0, 2, 'O'}, {'s', 0.5f, 3, 'O'},
                                     {'s', 1, 3, 'O'}, {'s', 1.5f, 3, 'O'}, {'s', 2, 3, 'O'}, {'s', 2.5f, 3, 'S'},
                                     {'f', 9, 4, 'S'}};
  // Silent after the result; a restart from there starts anew without an end.
  const std::vector<Step> restartAfterResult = {{'b', 0, 0, 'S'},  {'f', 40, 1, 'S'}, {'f', 40, 9, 'O'},
                                                {'f', 40, 9, 'O'}, {'f', 40, 9, 'O'}, {'f', 40, 9, 'O'},
                                                {'f', 40, 9, 'O'}, {'f', 40, 9, 'N'}, {'s', 0, 10, 'S'},
                                                {'s', 1, 11, 'S'}};
  // Paused: nothing sampled, the stage's values go on.
  const std::vector<Step> paused = {{'b', 0, 0, 'S'}, {'s', 3, 1, 'S'}, {'-', 0, 2, 'S'}, {'-', 0, 3, 'S'},
                                    {'s', 3.5f, 4, 'S'}};
  // Late in a run the clock's seconds are large: a finish at 2046.085868974 s
  // and a frame exactly kResultSeconds later differ by a rounding less.
  const double late = 2046.085868974;
  const std::vector<Step> finishLate = {{'b', 0, late - 1, 'S'}, {'f', 40, late, 'S'}, {'-', 40, late + result, 'O'}};
  struct Case {
    const char* what;
    const std::vector<Step>& steps;
  };
  for (const Case& c : {Case{"menu", menu}, Case{"finish and result", finish}, Case{"finish late in a run", finishLate}, Case{"finish, then menu", finishThenMenu},
                        Case{"restart", restart}, Case{"restart after the result", restartAfterResult},
                        Case{"paused", paused}}) {
    StagePhases phases;
    CarSample last;
    int restarts = 0;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      SCOPED_TRACE(std::string(c.what) + ", step " + std::to_string(i));
      if (s.op == 'b') phases.begin();
      if (s.op == 'b' || s.op == 's' || s.op == 'f') {
        last.stageTime = s.stageTime;
        if (phases.sampled(last, s.op == 'f', s.at)) ++restarts;
        EXPECT_TRUE(last.onStage);
        EXPECT_EQ(last.finished, s.op == 'f');
      }
      if (s.op == 'l') phases.leave(last);
      const P::Send send = phases.next(s.at);
      EXPECT_EQ(send == P::Send::kStage ? 'S' : send == P::Send::kOver ? 'O' : 'N', s.send);
      if (send == P::Send::kOver) {
        EXPECT_EQ(phases.endPacket().stageTime, 0.0f);
        EXPECT_EQ(phases.endPacket().driven, 0.0f);
      }
    }
    EXPECT_EQ(restarts, &c.steps == &restart || &c.steps == &restartAfterResult ? 1 : 0) << c.what;
  }
  // The end after a finish carries the result.
  StagePhases phases;
  CarSample car;
  phases.begin();
  car.stageTime = 40.25f;
  phases.sampled(car, true, 0.0);
  phases.leave(car);
  EXPECT_TRUE(phases.endPacket().finished);
  EXPECT_EQ(phases.endPacket().finishTime, 40.25f);
}

// The listener's rules, packet by packet: a packet is (stage time, distance,
// laps completed, total laps, last lap time, run time); equal packets but
// for the run time are a pause while driving.
TEST(TelemetryPhases, TheListenerReadsPhasesByTheToolsRules) {
  struct Packet {
    float lap, distance, completed, total, lastLap, run;
    const char* events;  // s start, p pause, r resume, f finish, o over, b finish before a start
  };
  const auto events = [](const std::vector<Packet>& packets) {
    PhaseReader reader;
    std::string seen, expected;
    for (const Packet& k : packets) {
      std::uint8_t p[kFormatASize] = {};
      const float fields[][2] = {{0, k.run}, {4, k.lap}, {8, k.distance}, {236, k.completed}, {240, k.total},
                                 {248, k.lastLap}, {252, 800}, {256, 80}};
      for (const auto& f : fields) std::memcpy(p + static_cast<std::size_t>(f[0]), &f[1], 4);
      PhaseEvent e[2];
      const int n = reader.read(p, sizeof p, e);
      for (int i = 0; i < n; ++i) {
        const char kinds[] = "sprfo";
        seen += e[i].kind == PhaseEvent::Kind::kFinish && e[i].beforeStart ? 'b' : kinds[static_cast<int>(e[i].kind)];
        if (e[i].kind == PhaseEvent::Kind::kFinish) seen += "=" + std::to_string(static_cast<int>(e[i].stageTime * 100));
      }
      expected += k.events;
    }
    EXPECT_EQ(seen, expected);
    return seen;
  };
  // A stage as the plug-in sends it.
  events({{0, 0, 0, 1, 0, 1, ""},       {0, 0, 0, 1, 0, 2, ""},     {1, 10, 0, 1, 0, 3, "s"},
          {2, 20, 0, 1, 0, 4, ""},      {2, 20, 0, 1, 0, 5, "p"},   {2, 20, 0, 1, 0, 6, ""},
          {3, 30, 0, 1, 0, 7, "r"},     {40.25f, 50, 1, 1, 40.25f, 8, "f=4025"}, {40.25f, 50, 1, 1, 40.25f, 9, ""},
          {0, 0, 1, 1, 40.25f, 10, "o"}, {0, 0, 1, 1, 40.25f, 11, ""}, {0, 0, 0, 1, 0, 12, ""},
          {0.5f, 5, 0, 1, 0, 13, "s"},  {0, 0, 0, 1, 0, 14, "o"}});
  // A packet of zeros ends it too; with both laps 0 a lap-waiting tool
  // finishes before the start.
  events({{1, 10, 0, 1, 0, 1, "s"}, {0, 0, 0, 0, 0, 0, "o"}});
  events({{0, 0, 0, 0, 0, 1, "b=0"}, {1, 10, 0, 0, 0, 2, ""}});
  // Another size is not format A.
  PhaseReader reader;
  std::uint8_t other[92] = {};
  PhaseEvent e[2];
  EXPECT_EQ(reader.read(other, sizeof other, e), 0);
}

// Flat out with late frames: a send late in its interval is never followed
// by one less than three quarters of an interval after it, and the long-run
// rate stays the rate set.
TEST(TelemetrySchedule, PacketsAreNeverCloserThanThreeQuartersOfAnInterval) {
  SendSchedule schedule;
  schedule.setRate(10);  // 0.1 s
  double lastSent = -1.0;
  int sent = 0;
  // Frames of 0.04 s, some of them 0.03 s late.
  double t = 0.0;
  for (int i = 0; i < 1000; ++i) {
    t += 0.04 + (i % 7 == 3 ? 0.03 : 0.0) - (i % 7 == 4 ? 0.03 : 0.0);
    if (!schedule.due(t)) continue;
    if (lastSent >= 0.0) {
      EXPECT_GE(t - lastSent, 0.075 - 1e-9) << "at " << t;
    }
    lastSent = t;
    ++sent;
  }
  EXPECT_NEAR(sent, t * 10, t * 10 * 0.05) << "the long-run rate";
}
