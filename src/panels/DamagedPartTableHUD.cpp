#include "panels/DamagedPartTableHUD.h"

#include "panels/HostDamage.h"
#include "panels/PartNames.h"
#include "plugin/FixedText.h"
#include "plugin/HostInterfaces.h"

namespace ostrel {
namespace {

constexpr int kDrawModes = 0x43;
constexpr float kColumnWidth = 100.0f;
constexpr float kBoxHeight = 18.0f;
constexpr float kFirstRow = 24.0f;
constexpr float kRowHeight = 12.0f;

const char* heading(int column) {
  switch (column) {
    case 0: return FT("Destroyed");
    case 1: return FT("Heavy");
    case 2: return FT("Medium");
    default: return FT("Light");
  }
}

void setLevelColour(IHostGame* host, int level, bool blinkOn) {
  switch (level) {
    case 1: host->SetColor(0.25f, 0.9f, 0.0f, 1.0f); break;
    case 2: host->SetColor(0.75f, 0.75f, 0.0f, 1.0f); break;
    case 3: host->SetColor(1.0f, 0.0f, 0.0f, 1.0f); break;
    default:
      if (blinkOn)
        host->SetColor(1.0f, 0.0f, 0.0f, 1.0f);
      else
        host->SetColor(0.0f, 0.0f, 0.0f, 1.0f);
      break;
  }
}

}  // namespace

DamagedPartTableHUD::DamagedPartTableHUD() : BasicHUD(FT("DamagedPartTableHUD")) {}

DamageList DamagedPartTableHUD::buildDamageList(const DamageWords& damage) {
  DamageList list;
  if (!damage.words) return list;
  for (int part = 21; part <= 87; ++part) {
    if (part == 42 || (part >= 71 && part <= 74)) continue;
    const int level = classifyPart(damage, part);
    if (level != 0 && list.count < DamageList::kCapacity) list.entries[list.count++] = {part, level};
  }
  return list;
}

DamageList DamagedPartTableHUD::buildDamageList() const { return buildDamageList(hostDamageWords()); }

void DamagedPartTableHUD::draw(IHostGame* host) {
  if (!host) return;
  const DamageList list = buildDamageList();
  if (list.count == 0) return;
  stepBlink();

  // Column k holds level 4 - k; each has its own row cursor.
  float cursor[4] = {kFirstRow, kFirstRow, kFirstRow, kFirstRow};
  host->SelectFont(0);
  host->BeginDrawModes(kDrawModes);
  for (int n = 0; n < list.count; ++n) {
    const DamageEntry& e = list.entries[n];
    const int column = 4 - e.level;
    const float rowY = cursor[column];
    cursor[column] += kRowHeight;
    setLevelColour(host, e.level, blinkOn);
    host->WriteText(posX + kColumnWidth * static_cast<float>(column) + kColumnWidth * 0.5f, posY + rowY,
                    partName(e.part));
  }

  host->SelectFont(1);
  host->SetColor(0.0f, 0.0f, 0.0f, 1.0f);
  for (int k = 0; k < 4; ++k) {
    const float x0 = posX + kColumnWidth * static_cast<float>(k);
    const float y0 = posY;
    host->SetColor(0.0f, 0.0f, 0.0f, 1.0f);
    for (int j = 0; j < 100; ++j) {
      host->DrawMarker(kMarkerGraphic, x0 + static_cast<float>(j), y0);
      host->DrawMarker(kMarkerGraphic, x0 + static_cast<float>(j), y0 + kBoxHeight);
    }
    for (int j = 0; j < 18; ++j) {
      host->DrawMarker(kMarkerGraphic, x0, y0 + static_cast<float>(j));
      host->DrawMarker(kMarkerGraphic, x0 + kColumnWidth, y0 + static_cast<float>(j));
    }
    host->SetColor(1.0f, 1.0f, 1.0f, 1.0f);
    host->WriteText(x0 + kColumnWidth * 0.5f, y0 + kBoxHeight * 0.5f, heading(k));
  }
  host->EndDrawModes(kDrawModes);
}

}  // namespace ostrel
