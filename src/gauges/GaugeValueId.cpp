#include "gauges/GaugeValueId.h"

#include "plugin/FixedText.h"

namespace ostrel::gauges {
namespace {

const char* keywordAt(int i) {
  switch (i) {
    case 0: return FT("none");
    case 1: return FT("speed");
    case 2: return FT("rpmpercent");
    case 3: return FT("rpm");
    case 4: return FT("wheelspeed");
    case 5: return FT("groundspeed");
    case 6: return FT("wheelspin");
    case 7: return FT("wheellock");
    case 8: return FT("watertemp");
    case 9: return FT("oiltemp");
    case 10: return FT("oilpressurepsi");
    case 11: return FT("oilpressurebar");
    case 12: return FT("stagetime");
    case 13: return FT("stagetimeminutes");
    case 14: return FT("stagetimeseconds");
    case 15: return FT("distance1km");
    case 16: return FT("distance2km");
    case 17: return FT("distance3km");
    case 18: return FT("distance1");
    case 19: return FT("distance2");
    case 20: return FT("distance3");
    case 21: return FT("drivenkm");
    case 22: return FT("driven");
    case 23: return FT("boostbar");
    case 24: return FT("boostpsi");
    case 25: return FT("batteryvolts");
    case 26: return FT("timeofday");
    case 27: return FT("clockhours");
    case 28: return FT("clockminutes");
    case 29: return FT("clockseconds");
    case 30: return FT("carinput1");
    case 31: return FT("carinput2");
    case 32: return FT("carinput3");
    case 33: return FT("carinput4");
    case 34: return FT("carinput5");
    case 35: return FT("shiftup");
    case 36: return FT("shiftdown");
    case 37: return FT("boostflagon");
    case 38: return FT("boostflagoff");
    case 39: return FT("carinput4on");
    case 40: return FT("damagewarning");
    case 41: return FT("overheat");
    case 42: return FT("overspeed");
    case 43: return FT("batterylow");
    default: return "";
  }
}

}  // namespace

GaugeValueId gaugeValueIdFromKeyword(const std::string& keyword) {
  if (keyword.empty()) return kValueNone;
  for (int i = 1; i < kGaugeValueCount; ++i)
    if (keyword == keywordAt(i)) return i;
  return kValueNone;
}

const char* gaugeValueKeyword(GaugeValueId id) {
  return id >= 0 && id < kGaugeValueCount ? keywordAt(id) : "";
}

}  // namespace ostrel::gauges
