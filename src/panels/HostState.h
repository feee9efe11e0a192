#pragma once
// The host's game state, read straight from its memory. The locations are
// those of the one host build this plug-in serves; they are found once at
// start-up (CarObject every frame) and trusted from then on, except that
// nothing here reads through a null pointer: no car loaded means no values.
#include <cstdint>

struct IDirect3DDevice9;

namespace ostrel::host {

// Offsets from the host executable's base.
inline constexpr std::uint32_t kGameStateBlockSlot = 0x3EAC48;
inline constexpr std::uint32_t kPauseBlockSlot = 0x493634;
inline constexpr std::uint32_t kCarStateBlockSlot = 0x125FC68;
inline constexpr std::uint32_t kGaugeValueBlock = 0x1260800;
inline constexpr std::uint32_t kDeviceChainSlot = 0x3EA990;
inline constexpr std::uint32_t kCarObjectSlot = 0x4EF660;
// Absolute host addresses of the two functions the frame driver detours.
inline constexpr std::uint32_t kFrameFunction = 0x40E890;
inline constexpr std::uint32_t kGaugePointFunction = 0x4BF720;
// Offset of the texture creation function from kvxtexutil.dll's base.
inline constexpr std::uint32_t kTextureCreateOffset = 0xAEC15;

// Field offsets.
inline constexpr std::uint32_t kDeviceChainInner = 0x28;        // slot -> object, its +0x28 -> record
inline constexpr std::uint32_t kDeviceChainDevice = 0xF4;       // the record's +0xF4 -> the device
inline constexpr std::uint32_t kGameModeOffset = 0x728;
inline constexpr std::uint32_t kScreenBlockOffset = 0x5C;      // in GameStateBlock
inline constexpr std::uint32_t kScreenWidthWordA = 0x14;        // in the screen block
inline constexpr std::uint32_t kScreenWidthWordB = 0xB8;
inline constexpr std::uint32_t kPauseWordOffset = 0x10;
inline constexpr std::uint32_t kDamageBlockOffset = 0x620;      // in CarObject
inline constexpr std::uint32_t kEngineRecordOffset = 0x698;     // in CarObject
inline constexpr std::uint32_t kDamageFloatsSlot = 290 * 4;     // in the damage record: -> its float table

// CarStateBlock fields.
inline constexpr std::uint32_t kWheelSpeedOffset = 0x0C;
inline constexpr std::uint32_t kEngineSpeedOffset = 0x10;
inline constexpr std::uint32_t kSpeedOffset = 0x14;
inline constexpr std::uint32_t kBoostOffset = 0x18;
inline constexpr std::uint32_t kDistance1Offset = 0x20;
inline constexpr std::uint32_t kDistance2Offset = 0x24;
inline constexpr std::uint32_t kDistance3Offset = 0x28;         // also what "driven" counts down from
inline constexpr std::uint32_t kStageTimeOffset = 0x140;
inline constexpr std::uint32_t kFinishedFlagOffset = 0x144;
inline constexpr std::uint32_t kHostClockOffset = 0x15C;
inline constexpr std::uint32_t kGearOffset = 0x170;             // the gear image drawn
inline constexpr std::uint32_t kPreStartTimerOffset = 0x244;
inline constexpr std::uint32_t kEventFlagOffset = 0x274;
inline constexpr std::uint32_t kBoostFlagOffset = 0x2B8;
inline constexpr std::uint32_t kEventRecordOffset = 0x758;      // -> a record, its +0x10 -> the event code
inline constexpr std::uint32_t kEventCodeSlot = 0x10;

// CarObject fields.
inline constexpr std::uint32_t kGroundSpeedAOffset = 0x1C0;     // the two words groundSpeed() takes
inline constexpr std::uint32_t kGroundSpeedBOffset = 0x1C4;
inline constexpr std::uint32_t kCarInput1Offset = 0x85C;
inline constexpr std::uint32_t kCarInput2Offset = 0x860;
inline constexpr std::uint32_t kCarInput4Offset = 0x864;
inline constexpr std::uint32_t kCarInput5Offset = 0x868;
inline constexpr std::uint32_t kCarInput3Offset = 0x86C;
inline constexpr std::uint32_t kShiftGearOffset = 0x1100;       // the gear the shift tables are read for

// Engine record fields.
inline constexpr std::uint32_t kOilTempOffset = 0x20;           // kelvin
inline constexpr std::uint32_t kWaterTempOffset = 0x23C;        // kelvin
inline constexpr std::uint32_t kOilPressureAOffset = 0x24C;     // the two words pressureBar() takes
inline constexpr std::uint32_t kOilPressureBOffset = 0x25C;

// Damage record fields read by the gauges.
inline constexpr std::uint32_t kBatteryOffset = 0x8C;
inline constexpr std::uint32_t kDamageWarningOffset = 0xEC;

// Gauge value block fields.
inline constexpr std::uint32_t kCarSlotOffset = 8;              // which car data file (0..7)

// Record sizes: each covers every field named above in its record (what a
// stand-in host must provide at least).
inline constexpr std::uint32_t kGameStateBlockSize = 0x800;
inline constexpr std::uint32_t kScreenBlockSize = 0x100;
inline constexpr std::uint32_t kCarStateBlockSize = 0x800;
inline constexpr std::uint32_t kEventRecordSize = 0x40;         // behind CarStateBlock +0x758
inline constexpr std::uint32_t kPauseBlockSize = 0x40;
inline constexpr std::uint32_t kCarObjectSize = 0x1200;
inline constexpr std::uint32_t kDamageRecordSize = 300 * 4;
inline constexpr std::uint32_t kEngineRecordSize = 0x400;
inline constexpr std::uint32_t kGaugeValueBlockSize = 0x40;
// The last named word of each record lies inside it.
static_assert(kGameModeOffset + 4 <= kGameStateBlockSize && kScreenWidthWordB + 4 <= kScreenBlockSize &&
              kEventRecordOffset + 4 <= kCarStateBlockSize && kEventCodeSlot + 4 <= kEventRecordSize &&
              kPauseWordOffset + 4 <= kPauseBlockSize && kShiftGearOffset + 4 <= kCarObjectSize &&
              kDamageFloatsSlot + 4 <= kDamageRecordSize && kOilPressureBOffset + 4 <= kEngineRecordSize &&
              kCarSlotOffset + 4 <= kGaugeValueBlockSize);

// Game modes (GameStateBlock +0x728) the plug-in acts on. Two are known by
// what the host means; the others are named by what the plug-in does in them.
inline constexpr std::int32_t kModeDrivingStage = 1;   // a stage is being driven
inline constexpr std::int32_t kModeShowInMode2 = 2;    // panels shown with ShowInMode2
inline constexpr std::int32_t kModeDropsGauges = 3;    // entering it destroys the gauge renderers
inline constexpr std::int32_t kModeMenus = 5;          // the game's menus
inline constexpr std::int32_t kModeShowInMode8 = 8;    // panels shown with ShowInMode8; gauges drawn
inline constexpr std::int32_t kModeShowInMode10 = 10;  // panels shown with ShowInMode10
// The event code that ShowAfterEvent shows the panels after.
inline constexpr std::int32_t kEventCodeShowAfterEvent = 13;

// The host pointers, filled by start-up (all null at load).
struct HostPointers {
  std::uintptr_t base = 0;             // host executable's module handle
  std::uint8_t* gameStateBlock = nullptr;
  std::uint8_t* carStateBlock = nullptr;
  std::uint8_t* pauseBlock = nullptr;
  std::uint8_t* gaugeValueBlock = nullptr;
  IDirect3DDevice9* device = nullptr;
  std::uint8_t* carObject = nullptr;   // re-read every frame
};

HostPointers& pointers();

// Fills the start-up pointers that are still null from host memory at `base`
// (unreadable locations are left null); returns false when base is 0.
bool findHostPointers(std::uintptr_t base);
// The device the host's pointer chain leads to now, or null where a link is
// missing or unreadable. A game may release its device and make a new one,
// so the frame driver reads it again each frame.
IDirect3DDevice9* readDevicePointer();
// Re-reads CarObject (every frame, by the frame driver).
void refreshCarObject();

// Typed reads at a byte offset; the block must be non-null.
template <typename T>
inline T field(const std::uint8_t* block, std::uint32_t offset) {
  T v;
  __builtin_memcpy(&v, block + offset, sizeof v);
  return v;
}

// Game state with safe defaults when a block is missing.
std::int32_t gameMode();          // 0 without GameStateBlock
float preStartTimer();            // CarStateBlock +0x244
std::int32_t finishedFlag();      // +0x144
float hostClock();                // +0x15C
std::int32_t eventFlag();         // +0x274
std::int32_t eventCode();         // via +0x758 -> +0x10 -> int; 0 when a link is null
std::int32_t pauseWord();         // PauseBlock +0x10

// The car's damage record, or null when no car (or no record) is loaded.
const std::uint8_t* damageBlock();
// The engine record behind CarObject +0x698, or null.
const std::uint8_t* engineRecord();

}  // namespace ostrel::host
