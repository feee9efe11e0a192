// The simulated host's map against the plug-in's: each value a scenario
// names is written by the simulated host's own parser and memory writer (into
// records of the test's own, no host executable) and read back through the
// plug-in's value sources and host reads, so an offset or record size that
// changes in one map and not the other fails here.
#include <gtest/gtest.h>

#include <string>

#include "HostMemory.h"
#include "Scenario.h"
#include "gauges/GaugeValues.h"
#include "panels/HostState.h"

namespace {

namespace host = ostrel::host;
using ostrel::gauges::GaugeValueContext;

// How the plug-in reads a row: a gauge value, a gauge condition (1 or 0), or
// one of its host reads that is no value source (by the row's name).
enum class Read { Value, Condition, Host };

float hostRead(const std::string& name) {
  if (name == "game-mode") return static_cast<float>(host::gameMode());
  if (name == "pre-start") return host::preStartTimer();
  if (name == "finished") return static_cast<float>(host::finishedFlag());
  if (name == "host-clock") return host::hostClock();
  if (name == "pause-word") return static_cast<float>(host::pauseWord());
  if (name == "event-flag") return static_cast<float>(host::eventFlag());
  if (name == "event-code") return static_cast<float>(host::eventCode());
  if (name == "gear-image") return static_cast<float>(ostrel::gauges::readGearIndex());
  if (name == "car-slot") return static_cast<float>(ostrel::gauges::carSlot());
  ADD_FAILURE() << "no host read named " << name;
  return -1.0f;
}

struct MapCase {
  const char* lines;  // of one frame block
  Read read;
  const char* source;  // the plug-in's keyword, or a host read's name
  float expected;
};

// The shift table's one point, for gear index 3.
constexpr float kUpshiftGear3 = 1000.0f;

const MapCase kCases[] = {
    {"rpm 4321", Read::Value, "rpm", 4321.0f},
    {"speed 87.5", Read::Value, "speed", 87.5f},
    {"wheel-speed 33.25", Read::Value, "wheelspeed", 33.25f},
    {"velocity 6 -8", Read::Value, "groundspeed", 35.0f},  // trunc(|(6, -8)| x 3.578)
    {"boost-pa 150000\nboost-flag 1", Read::Value, "boostbar", 1.5f},
    {"boost-flag 1", Read::Condition, "boostflagon", 1.0f},
    {"distance1 1500", Read::Value, "distance1", 1500.0f},
    {"distance2 2600", Read::Value, "distance2", 2600.0f},
    {"distance3 3700", Read::Value, "distance3", 3700.0f},
    {"stage-time 125.5", Read::Value, "stagetime", 125.5f},
    {"carinput1 1.5", Read::Value, "carinput1", 1.5f},
    {"carinput2 2.5", Read::Value, "carinput2", 2.5f},
    {"carinput3 3.5", Read::Value, "carinput3", 3.5f},
    {"carinput4 4.5", Read::Value, "carinput4", 4.5f},
    {"carinput5 5.5", Read::Value, "carinput5", 5.5f},
    {"water-temp-k 368.15", Read::Value, "watertemp", 95.0f},
    {"oil-temp-k 383.15", Read::Value, "oiltemp", 110.0f},
    {"oil-pressure 0.01\noil-pressure-pa 20000", Read::Value, "oilpressurebar", 0.01f * 1.03421f / 0.02f + 0.2f},
    {"damagef 35 0.5", Read::Value, "batteryvolts", 0.5f * 2.4f + 10.4f},
    {"damagef 59 0.9", Read::Condition, "damagewarning", 0.0f},  // an unset word warns
    {"gear-index 3\nrpm 5000", Read::Condition, "shiftup", 1.0f},
    {"gear 4", Read::Host, "gear-image", 4.0f},
    {"car-slot 5", Read::Host, "car-slot", 5.0f},
    {"mode 8", Read::Host, "game-mode", 8.0f},
    {"prestart 2.5", Read::Host, "pre-start", 2.5f},
    {"finished 1", Read::Host, "finished", 1.0f},
    {"clock 12.5", Read::Host, "host-clock", 12.5f},
    {"pause 1", Read::Host, "pause-word", 1.0f},
    {"event 1 13", Read::Host, "event-flag", 1.0f},
    {"event 1 13", Read::Host, "event-code", 13.0f},
};

TEST(HostMap, EveryNamedScenarioValueReadsAsThePluginsValue) {
  for (const MapCase& c : kCases) {
    SCOPED_TRACE(std::string(c.lines) + " -> " + c.source);
    simhost::HostMemory memory;
    std::string error;
    ASSERT_TRUE(memory.createRecords(error)) << error;
    const simhost::Scenario s = simhost::parseScenario(std::string("frames 1\nframe 0\n") + c.lines + "\n", "map.txt");
    for (const simhost::Poke& p : s.blocks.at(0).pokes) memory.apply(p);

    host::HostPointers& p = host::pointers();
    p = {};
    p.gameStateBlock = memory.record(simhost::Block::Game);
    p.carStateBlock = memory.record(simhost::Block::CarState);
    p.pauseBlock = memory.record(simhost::Block::Pause);
    p.gaugeValueBlock = memory.record(simhost::Block::GaugeBlock);
    p.carObject = memory.record(simhost::Block::CarObject);
    GaugeValueContext ctx;
    ctx.maxRpm = 8000.0f;
    ctx.upshiftRpm.assign(8, 0.0f);
    ctx.upshiftRpm[3] = kUpshiftGear3;
    ctx.downshiftRpm.assign(8, 0.0f);

    float got = 0.0f;
    if (c.read == Read::Host) {
      got = hostRead(c.source);
    } else {
      const ostrel::gauges::GaugeValueId id = ostrel::gauges::gaugeValueIdFromKeyword(c.source);
      ASSERT_NE(id, ostrel::gauges::kValueNone) << "no value keyword " << c.source;
      got = c.read == Read::Value ? ostrel::gauges::readValue(ctx, id)
                                  : (ostrel::gauges::testCondition(ctx, id, 0.0f) ? 1.0f : 0.0f);
    }
    EXPECT_NEAR(got, c.expected, 1e-3f);
    p = {};
  }
}

// Each record a scenario can `poke` ends where the plug-in's record size
// says: its last word is reachable, the word after it is not.
TEST(HostMap, PokeReachesEachRecordToThePluginsSize) {
  const struct {
    const char* record;
    std::uint32_t size;
  } records[] = {
      {"game", host::kGameStateBlockSize},     {"screen", host::kScreenBlockSize},
      {"carstate", host::kCarStateBlockSize},  {"pause", host::kPauseBlockSize},
      {"carobject", host::kCarObjectSize},     {"engine", host::kEngineRecordSize},
      {"gaugeblock", host::kGaugeValueBlockSize},
      {"damage", host::kDamageFloatsSlot},  // up to the host's own pointer word
  };
  for (const auto& r : records) {
    SCOPED_TRACE(r.record);
    auto poke = [&](std::uint32_t offset) {
      return "frames 1\nframe 0\npoke " + std::string(r.record) + " " + std::to_string(offset) + " i 1\n";
    };
    EXPECT_NO_THROW(simhost::parseScenario(poke(r.size - 4), "size.txt"));
    EXPECT_THROW(simhost::parseScenario(poke(r.size), "size.txt"), simhost::ScenarioError);
  }
}

}  // namespace
