#include "panels/PartFileNames.h"

#include "plugin/FixedText.h"

namespace ostrel {

const char* partFileName(int part) {
  switch (part) {
    case 0: return FT("00_outline.png");
    case 1: return FT("01_corner_fl.png");
    case 2: return FT("02_corner_fr.png");
    case 3: return FT("03_corner_rl.png");
    case 4: return FT("04_corner_rr.png");
    case 5: return FT("05_arch_fl.png");
    case 6: return FT("06_arch_fr.png");
    case 7: return FT("07_arch_rl.png");
    case 8: return FT("08_arch_rr.png");
    case 9: return FT("09_bodywork.png");
    case 10: return FT("10_running_gear.png");
    case 11: return FT("11_body_and_running_gear.png");
    case 12: return FT("12_wheel_fl.png");
    case 13: return FT("13_wheel_fr.png");
    case 14: return FT("14_wheel_rl.png");
    case 15: return FT("15_wheel_rr.png");
    case 16: return FT("16_engine.png");
    case 17: return FT("17_front_lights.png");
    case 18: return FT("18_rear_lights.png");
    case 19: return FT("19_signal_lights.png");
    case 20: return FT("20_bumpers_and_bonnet.png");
    case 21: return FT("21_front_bumper.png");
    case 22: return FT("22_rear_bumper.png");
    case 23: return FT("23_bonnet.png");
    case 24: return FT("24_hub_fl.png");
    case 25: return FT("25_wing_fl.png");
    case 26: return FT("26_hub_fr.png");
    case 27: return FT("27_wing_fr.png");
    case 28: return FT("28_hub_rl.png");
    case 29: return FT("29_wing_rl.png");
    case 30: return FT("30_hub_rr.png");
    case 31: return FT("31_wing_rr.png");
    case 32: return FT("32_chassis.png");
    case 33: return FT("33_roof.png");
    case 34: return FT("34_boot_lid.png");
    case 35: return FT("35_rear_spoiler.png");
    case 36: return FT("36_body_shell.png");
    case 37: return FT("37_engine_block.png");
    case 38: return FT("38_exhaust.png");
    case 39: return FT("39_driveshafts.png");
    case 40: return FT("40_radiator.png");
    case 41: return FT("41_oil_system.png");
    case 42: return FT("42_sump_guard.png");
    case 43: return FT("43_fuel_tank.png");
    case 44: return FT("44_ignition.png");
    case 45: return FT("45_cooling.png");
    case 46: return FT("46_intercooler.png");
    case 47: return FT("47_suspension_fl.png");
    case 48: return FT("48_suspension_fr.png");
    case 49: return FT("49_suspension_rl.png");
    case 50: return FT("50_suspension_rr.png");
    case 51: return FT("51_track_rod_fl.png");
    case 52: return FT("52_track_rod_fr.png");
    case 53: return FT("53_track_rod_rl.png");
    case 54: return FT("54_track_rod_rr.png");
    case 55: return FT("55_wishbone_fl.png");
    case 56: return FT("56_wishbone_fr.png");
    case 57: return FT("57_wishbone_rl.png");
    case 58: return FT("58_wishbone_rr.png");
    case 59: return FT("59_alignment_fl.png");
    case 60: return FT("60_alignment_fr.png");
    case 61: return FT("61_alignment_rl.png");
    case 62: return FT("62_alignment_rr.png");
    case 63: return FT("63_brake_fl.png");
    case 64: return FT("64_brake_fr.png");
    case 65: return FT("65_brake_rl.png");
    case 66: return FT("66_brake_rr.png");
    case 67: return FT("67_damper_fl.png");
    case 68: return FT("68_damper_fr.png");
    case 69: return FT("69_damper_rl.png");
    case 70: return FT("70_damper_rr.png");
    case 71: return FT("71_tire_fl.png");
    case 72: return FT("72_tire_fr.png");
    case 73: return FT("73_tire_rl.png");
    case 74: return FT("74_tire_rr.png");
    case 75: return FT("75_fog_lights.png");
    case 76: return FT("76_headlights.png");
    case 77: return FT("77_reversing_lights.png");
    case 78: return FT("78_tail_lights.png");
    case 79: return FT("79_indicators.png");
    case 80: return FT("80_brake_lights.png");
    case 81: return FT("81_number_plate.png");
    case 82: return FT("82_horn.png");
    case 83: return FT("83_gearbox.png");
    case 84: return FT("84_clutch.png");
    case 85: return FT("85_differential.png");
    case 86: return FT("86_electrics.png");
    case 87: return FT("87_windows.png");
    default: return "";
  }
}

}  // namespace ostrel
