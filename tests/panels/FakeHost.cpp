#include "FakeHost.h"

#include <cmath>

namespace panel_tests {

void FakeHostMemory::intactCar() {
  for (int w = 0; w < 300; ++w) setF(w, 1.0f);
  // Words where a larger value means more damage, and the state codes.
  for (int w : {39, 43, 47, 51, 58, 61, 62, 180, 182, 184, 186, 231, 232, 233}) setI(w, 0);
  for (int corner = 0; corner < 4; ++corner)
    for (int w : {123, 124, 125, 126, 127}) setI(w + 14 * corner, 0);
  // Wear groups: 0.0 is unworn.
  for (int g : {128, 142, 156, 170, 187, 195, 203, 211})
    for (int k = 0; k < 8; ++k) setF(g + k, 0.0f);
  setI(290, 0);
}

void RecordingHost::WriteText(float x, float y, const char* text) {
  calls.push_back({Op::WriteText, x, y, 0, text ? text : "", current});
}

void RecordingHost::DrawMarker(int graphic, float x, float y) {
  calls.push_back({Op::DrawMarker, x, y, graphic, {}, current});
  const int px = static_cast<int>(std::floor(x)), py = static_cast<int>(std::floor(y));
  if (px >= 0 && py >= 0 && px < kCanvasW && py < kCanvasH) canvas[py * kCanvasW + px] = current;
}

void RecordingHost::SetColor(float r, float g, float b, float a) {
  current = {r, g, b, a};
  calls.push_back({Op::SetColor, 0, 0, 0, {}, current});
}

int RecordingHost::count(Op op) const {
  int n = 0;
  for (const Call& c : calls) n += c.op == op;
  return n;
}

std::vector<Call> RecordingHost::texts() const {
  std::vector<Call> out;
  for (const Call& c : calls)
    if (c.op == Op::WriteText) out.push_back(c);
  return out;
}

}  // namespace panel_tests
