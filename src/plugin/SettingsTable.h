#pragma once
// Every setting of the settings page and of the plug-in's own settings file,
// declared once: where it is stored, its default and range, the page entry
// that shows it and where the running plug-in takes it. The page, its save,
// the frame driver's reload and start-up all work from these rows; a test
// checks the hand-written .ini.default files against them. Windows-free.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace ostrel {

// A fixed text as the table keeps it (see FT_FN in plugin/FixedText.h).
using FixedTextFn = const char* (*)();

// One name per row, in the table's order. Code that needs a row names it.
enum class SettingId : std::uint8_t {
  kTireHudEnabled,
  kCarDamageHudEnabled,
  kCarDamageAutohide,
  kDamagedPartTableEnabled,
  kBestRunHudEnabled,
  kGaugesEnabled,
  kGaugeRefreshRate,
  kGaugeReloadKey,
  kTelemetryEnabled,
  kTelemetryTargets,
  kTelemetryRate,
  kTelemetryGearMap,
  kTelemetryReverseCode,
  kTelemetryIdleRpm,
  kTelemetryMaxRpm,
  kTelemetryId,
  kCount,
};

// How the settings page shows a setting, if at all.
enum class PageEntryKind : std::uint8_t {
  kNotOnPage,
  kSwitch,       // ON/OFF, stored as 1/0 (any non-zero reads as on)
  kWholeNumber,  // stepped between minimum and maximum
};

struct PageEntry {
  PageEntryKind kind = PageEntryKind::kNotOnPage;
  FixedTextFn label = nullptr;
  FixedTextFn description = nullptr;
  // Shown below the entry it belongs to, its label indented.
  bool indented = false;
};

// When the running plug-in takes the stored value.
enum class SettingTaken : std::uint8_t {
  // The panel that owns the file reads it itself, whenever it reloads.
  kByItsPanel,
  // Read again on entering the menu (game mode 5); a save takes it at once.
  kOnEnteringMenu,
  // Read once at start-up.
  kAtStartup,
  // Read at start-up and again on entering the menu.
  kAtStartupAndOnEnteringMenu,
};

constexpr bool takenWhen(SettingTaken row, SettingTaken when) {
  return row == when || (row == SettingTaken::kAtStartupAndOnEnteringMenu &&
                         (when == SettingTaken::kAtStartup || when == SettingTaken::kOnEnteringMenu));
}

struct SettingRow {
  SettingId id;
  FixedTextFn feature;  // the file, as settingsFilePath(feature) names it
  FixedTextFn section;
  FixedTextFn key;
  // Used when the key is missing or does not hold a number.
  std::int32_t defaultValue = 0;
  // Whole numbers only: the page steps between these.
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t step = 0;
  PageEntry page{};
  SettingTaken taken = SettingTaken::kByItsPanel;
  // Puts a stored value where the running plug-in reads it; null for a
  // setting its panel reads itself.
  void (*take)(std::int32_t stored) = nullptr;
  // The value the shipped .ini.default gives, where it is not the default.
  std::optional<std::int32_t> shipped{};
  // A setting stored as text (never on the page): its default, shipped as
  // it is, and where the running plug-in takes it (instead of `take`).
  FixedTextFn textDefault = nullptr;
  void (*takeText)(const std::string& stored) = nullptr;

  constexpr bool isText() const { return textDefault != nullptr; }

  constexpr bool onPage() const { return page.kind != PageEntryKind::kNotOnPage; }
  constexpr std::int32_t shippedValue() const { return shipped.value_or(defaultValue); }
};

// Every row, in SettingId order, which is also the order of the page.
std::span<const SettingRow> settingsTable();
const SettingRow& settingRow(SettingId id);

}  // namespace ostrel
