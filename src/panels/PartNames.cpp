#include "panels/PartNames.h"

#include "plugin/FixedText.h"

namespace ostrel {

const char* partName(int part) {
  switch (part) {
    case 21: return FT("Front bumper");
    case 22: return FT("Rear bumper");
    case 23: return FT("Bonnet");
    case 24: return FT("FL hub");
    case 25: return FT("FL wing");
    case 26: return FT("FR hub");
    case 27: return FT("FR wing");
    case 28: return FT("RL hub");
    case 29: return FT("RL wing");
    case 30: return FT("RR hub");
    case 31: return FT("RR wing");
    case 32: return FT("Chassis");
    case 33: return FT("Roof");
    case 34: return FT("Boot lid");
    case 35: return FT("Rear spoiler");
    case 36: return FT("Body shell");
    case 37: return FT("Engine block");
    case 38: return FT("Exhaust");
    case 39: return FT("Driveshafts");
    case 40: return FT("Radiator");
    case 41: return FT("Oil system");
    case 42: return FT("Sump guard");
    case 43: return FT("Fuel tank");
    case 44: return FT("Ignition");
    case 45: return FT("Cooling");
    case 46: return FT("Intercooler");
    case 47: return FT("FL suspension");
    case 48: return FT("FR suspension");
    case 49: return FT("RL suspension");
    case 50: return FT("RR suspension");
    case 51: return FT("FL track rod");
    case 52: return FT("FR track rod");
    case 53: return FT("RL track rod");
    case 54: return FT("RR track rod");
    case 55: return FT("FL wishbone");
    case 56: return FT("FR wishbone");
    case 57: return FT("RL wishbone");
    case 58: return FT("RR wishbone");
    case 59: return FT("FL alignment");
    case 60: return FT("FR alignment");
    case 61: return FT("RL alignment");
    case 62: return FT("RR alignment");
    case 63: return FT("FL brake");
    case 64: return FT("FR brake");
    case 65: return FT("RL brake");
    case 66: return FT("RR brake");
    case 67: return FT("FL damper");
    case 68: return FT("FR damper");
    case 69: return FT("RL damper");
    case 70: return FT("RR damper");
    case 71: return FT("FL tire");
    case 72: return FT("FR tire");
    case 73: return FT("RL tire");
    case 74: return FT("RR tire");
    case 75: return FT("Fog lights");
    case 76: return FT("Headlights");
    case 77: return FT("Reversing lights");
    case 78: return FT("Tail lights");
    case 79: return FT("Indicators");
    case 80: return FT("Brake lights");
    case 81: return FT("Number plate");
    case 82: return FT("Horn");
    case 83: return FT("Gearbox");
    case 84: return FT("Clutch");
    case 85: return FT("Differential");
    case 86: return FT("Electrics");
    case 87: return FT("Windows");
    default: return FT("Unknown part");
  }
}

}  // namespace ostrel
