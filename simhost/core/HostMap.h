#pragma once
// The simulated host's own map of its memory: where the plug-in expects each
// record, how large each record is, and the fields the host itself links or
// reads. Kept apart from the plug-in's headers on purpose (test equipment
// does not share them); simhost_tests' HostMapTests.cpp checks that both
// maps agree. The car values a scenario names are in Scenario.cpp. Windows-free.
#include <cstdint>

namespace simhost {

// Locations in the host executable, from its base.
inline constexpr std::uint32_t kGameStateSlot = 0x3EAC48;
inline constexpr std::uint32_t kPauseSlot = 0x493634;
inline constexpr std::uint32_t kCarStateSlot = 0x125FC68;
inline constexpr std::uint32_t kGaugeValueBlock = 0x1260800;
inline constexpr std::uint32_t kDeviceChainSlot = 0x3EA990;
inline constexpr std::uint32_t kCarObjectSlot = 0x4EF660;
inline constexpr std::uintptr_t kFrameFunctionAddress = 0x40E890;
inline constexpr std::uintptr_t kGaugePointFunctionAddress = 0x4BF720;
inline constexpr std::uint32_t kTextureFunctionOffset = 0xAEC15;

// Record sizes (bytes): what a scenario's `poke` may reach, and what the
// plug-in reads of each record.
inline constexpr std::uint32_t kGameRecordSize = 0x800;
inline constexpr std::uint32_t kScreenRecordSize = 0x100;
inline constexpr std::uint32_t kCarStateRecordSize = 0x800;
inline constexpr std::uint32_t kEventLinkRecordSize = 0x40;
inline constexpr std::uint32_t kPauseRecordSize = 0x40;
inline constexpr std::uint32_t kCarObjectRecordSize = 0x1200;
inline constexpr std::uint32_t kDamageRecordSize = 300 * 4;
inline constexpr std::uint32_t kDamageExtraRecordSize = 32 * 4;  // the 32 floats behind damage word 290
inline constexpr std::uint32_t kEngineRecordSize = 0x400;
inline constexpr std::uint32_t kGaugeValueBlockSize = 0x40;

// Links between the records.
inline constexpr std::uint32_t kGameScreenLink = 0x5C;       // game -> screen record
inline constexpr std::uint32_t kCarStateEventLink = 0x758;   // car state -> event link record
inline constexpr std::uint32_t kEventCodeLink = 0x10;        // event link record -> the event code
inline constexpr std::uint32_t kCarDamageLink = 0x620;       // car object -> damage record
inline constexpr std::uint32_t kCarEngineLink = 0x698;       // car object -> engine record
inline constexpr std::uint32_t kDamageExtraLink = 290 * 4;   // damage record -> its 32 floats
inline constexpr std::uint32_t kDeviceChainInnerLink = 0x28;  // device chain: slot's object -> record
inline constexpr std::uint32_t kDeviceChainDeviceLink = 0xF4; // record -> the device

// Fields the host itself writes or reads.
inline constexpr std::uint32_t kScreenWidthWordA = 0x14;     // in the screen record
inline constexpr std::uint32_t kScreenWidthWordB = 0xB8;
inline constexpr std::uint32_t kGameModeField = 0x728;       // in the game record
inline constexpr std::uint32_t kPreStartTimerField = 0x244;  // in the car state
inline constexpr std::uint32_t kFinishedFlagField = 0x144;
inline constexpr std::uint32_t kEventFlagField = 0x274;
inline constexpr std::uint32_t kPauseWordField = 0x10;       // in the pause record

}  // namespace simhost
