#pragma once
// The live delta against the player's best run on this stage: the delta in
// seconds (green ahead, red behind), a bar that grows with it up to BarRange
// seconds, the best's time; at the finish the run's time against the best
// and "new best" when it replaced it. Follows the stage every frame
// (bestrun::liveRecorder) and writes a new best on entering the menu.
#include <cstdint>

#include "panels/BasicHUD.h"
#include "panels/BestRunFiles.h"

namespace ostrel {

class BestRunHUD : public BasicHUD {
 public:
  BestRunHUD();
  ~BestRunHUD() override;
  void reload() override;
  void draw(IHostGame* host) override;
  // Every frame, before the panel is drawn: the host's state into the recorder.
  void follow();
  // On entering the menu: a new best goes to its file.
  void enteredMenu();

  float barRange = 2.0f;        // seconds at a full bar
  std::int32_t showBestTime = 1;
  float noBestSeconds = 0.0f;   // "no best yet" for this long after the start

 private:
  void loadOwnKeys();
  bestrun::FileBestSource source_;
};

// What the frame hands the recorder, read from the host's blocks.
bestrun::StageSample sampleStage();

}  // namespace ostrel
