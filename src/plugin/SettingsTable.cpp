#include "plugin/SettingsTable.h"

#include "hooks/HookState.h"
#include "plugin/FixedText.h"
#include "plugin/PluginPaths.h"
#include "plugin/RunningSettings.h"
#include "telemetry/TelemetrySettings.h"
#include "telemetry/TelemetryTargets.h"

namespace ostrel {
namespace {

using enum SettingId;
using enum PageEntryKind;
using enum SettingTaken;

// The page shows the rows that have an entry in this order; the "Save
// Settings" entry follows them.
constexpr SettingRow kRows[] = {
    {.id = kTireHudEnabled,
     .feature = FT_FN("TireHUD"), .section = FT_FN("HUD"), .key = FT_FN("Enabled"),
     .defaultValue = 1,
     .page = {kSwitch, FT_FN("Tire HUD"), FT_FN("Displays tire wear before the stage starts")}},
    {.id = kCarDamageHudEnabled,
     .feature = FT_FN("carDamageHUD"), .section = FT_FN("HUD"), .key = FT_FN("Enabled"),
     .defaultValue = 1,
     .page = {kSwitch, FT_FN("Car Damage HUD"), FT_FN("Displays car damage")}},
    // The page shows autohide on while the key is missing; the shipped file
    // and the panel's own reader keep it off.
    {.id = kCarDamageAutohide,
     .feature = FT_FN("carDamageHUD"), .section = FT_FN("HUD"), .key = FT_FN("Autohide"),
     .defaultValue = 1,
     .page = {kSwitch, FT_FN("Autohide"),
              FT_FN("Only show car damage HUD if any damage has occured recently"), true},
     .shipped = 0},
    {.id = kDamagedPartTableEnabled,
     .feature = FT_FN("DamagedPartTableHUD"), .section = FT_FN("HUD"), .key = FT_FN("Enabled"),
     .defaultValue = 1,
     .page = {kSwitch, FT_FN("Damaged Part Table"),
              FT_FN("Displays car damage in a table after the stage is complete")}},
    {.id = kBestRunHudEnabled,
     .feature = FT_FN("BestRunHUD"), .section = FT_FN("HUD"), .key = FT_FN("Enabled"),
     .defaultValue = 1,
     .page = {kSwitch, FT_FN("Best Run Delta"),
              FT_FN("Displays how far ahead of or behind your best run on this stage you are")}},
    {.id = kGaugesEnabled,
     .feature = FT_FN("gauges"), .section = FT_FN("Gauges"), .key = FT_FN("Enabled"),
     .defaultValue = 1,
     .page = {kSwitch, FT_FN("Gauges"), FT_FN("Enable custom dynamic gauges for the cars")},
     .taken = kOnEnteringMenu,
     .take = [](std::int32_t stored) { gaugesEnabled = stored != 0; }},
    // Shown as stored, even outside its range; a step brings it back in.
    {.id = kGaugeRefreshRate,
     .feature = FT_FN("gauges"), .section = FT_FN("Gauges"), .key = FT_FN("RefreshRate"),
     .defaultValue = 0, .minimum = 0, .maximum = 240, .step = 5,
     .page = {kWholeNumber, FT_FN("Refresh Rate(Experimental)"),
              FT_FN("Experimental! 0 = Unlimited. Capped values may cause inconsistent frame rates."),
              true},
     .taken = kOnEnteringMenu,
     .take = [](std::int32_t stored) { refreshRate = stored; }},
    // The plug-in's own file, named as the plug-in is.
    {.id = kGaugeReloadKey,
     .feature = &pluginName, .section = FT_FN("Plugin"), .key = FT_FN("GaugeReloadKey"),
     .defaultValue = 0,
     .taken = kAtStartup,
     .take = [](std::int32_t stored) { hookState().gaugeReloadKeyEnabled = stored; }},
    // Telemetry out, in the plug-in's own file. The telemetry code checks
    // the values when it takes them up (see telemetry/TelemetryOut.cpp).
    {.id = kTelemetryEnabled,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("Enabled"),
     .defaultValue = 0,
     .page = {kSwitch, FT_FN("Telemetry"),
              FT_FN("Sends the car's values over UDP to dashboard apps, wheels and shakers")},
     .taken = kAtStartupAndOnEnteringMenu,
     .take = [](std::int32_t stored) { telemetry::store(&telemetry::StoredTelemetry::enabled, stored); }},
    {.id = kTelemetryTargets,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("Targets"),
     .taken = kAtStartupAndOnEnteringMenu,
     .textDefault = &telemetry::defaultTargetsText,  // from the format table
     .takeText = [](const std::string& stored) { telemetry::store(&telemetry::StoredTelemetry::targets, stored); }},
    {.id = kTelemetryRate,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("Rate"),
     .defaultValue = 60,
     .taken = kAtStartupAndOnEnteringMenu,
     .take = [](std::int32_t stored) { telemetry::store(&telemetry::StoredTelemetry::rate, stored); }},
    {.id = kTelemetryGearMap,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("GearMap"),
     .taken = kAtStartupAndOnEnteringMenu,
     .textDefault = FT_FN("N,1,2,3,4,5,6,R"),
     .takeText = [](const std::string& stored) { telemetry::store(&telemetry::StoredTelemetry::gearMap, stored); }},
    {.id = kTelemetryReverseCode,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("ReverseCode"),
     .defaultValue = -1,
     .taken = kAtStartupAndOnEnteringMenu,
     .take = [](std::int32_t stored) { telemetry::store(&telemetry::StoredTelemetry::reverseCode, stored); }},
    {.id = kTelemetryIdleRpm,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("IdleRpm"),
     .defaultValue = 800,
     .taken = kAtStartupAndOnEnteringMenu,
     .take = [](std::int32_t stored) { telemetry::store(&telemetry::StoredTelemetry::idleRpm, stored); }},
    {.id = kTelemetryMaxRpm,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("MaxRpm"),
     .defaultValue = 7500,
     .taken = kAtStartupAndOnEnteringMenu,
     .take = [](std::int32_t stored) { telemetry::store(&telemetry::StoredTelemetry::maxRpm, stored); }},
    {.id = kTelemetryId,
     .feature = &pluginName, .section = FT_FN("Telemetry"), .key = FT_FN("Id"),
     .defaultValue = 0,
     .taken = kAtStartupAndOnEnteringMenu,
     .take = [](std::int32_t stored) { telemetry::store(&telemetry::StoredTelemetry::id, stored); }},
};

constexpr bool rowsAreWellFormed() {
  std::size_t index = 0;
  for (const SettingRow& row : kRows) {
    if (static_cast<std::size_t>(row.id) != index++) return false;  // settingRow indexes by id
    if ((row.take == nullptr && row.takeText == nullptr) != (row.taken == kByItsPanel)) return false;
    if (row.isText() && (row.take || row.onPage())) return false;
    if (row.page.kind != kNotOnPage && (!row.page.label || !row.page.description)) return false;
    if (row.page.kind == kWholeNumber && !(row.step > 0 && row.minimum <= row.defaultValue &&
                                           row.defaultValue <= row.maximum))
      return false;
  }
  return index == static_cast<std::size_t>(kCount);
}
static_assert(rowsAreWellFormed(), "one row per SettingId in its order, each complete");

constexpr std::int32_t defaultOf(SettingId id) { return kRows[static_cast<std::size_t>(id)].defaultValue; }

}  // namespace

bool gaugesEnabled = defaultOf(kGaugesEnabled) != 0;
std::int32_t refreshRate = defaultOf(kGaugeRefreshRate);

std::span<const SettingRow> settingsTable() { return kRows; }

const SettingRow& settingRow(SettingId id) { return kRows[static_cast<std::size_t>(id)]; }

}  // namespace ostrel
