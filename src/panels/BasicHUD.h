#pragma once
// The panel base: name, position, scale, enabled switch and show flags, all
// read from the panel's own settings file; visibility from the host's state.
#include <cstdint>
#include <string>

struct IHostGame;

namespace ostrel {

enum ShowFlag : std::uint32_t {
  ShowBeforeStart = 0x01,
  ShowWhileDriving = 0x02,
  ShowAfterFinish = 0x04,
  ShowInMode2 = 0x08,
  ShowInMode8 = 0x10,
  ShowInMode10 = 0x20,
  ShowAfterEvent = 0x40,
};

class BasicHUD {
 public:
  explicit BasicHUD(std::string name);
  virtual void noOp() {}
  virtual void reload();
  virtual void draw(IHostGame* host) {}
  virtual void noOpWithArg(void*) {}
  virtual void loadShowFlags();
  virtual bool isVisible();
  virtual ~BasicHUD() = default;

  std::string settingsPath() const;
  void loadLayout();
  void stepBlink();

  std::string name;
  bool blinkOn = false;
  float posX = 0.0f;
  float posY = 0.0f;
  float scale = 1.0f;
  std::int32_t enabled = 0;
  std::uint32_t showFlags = 0;
  float eventTime = 0.0f;

 protected:
  struct NoLoad {};
  // For panels that load through their own reload (the car damage panel).
  BasicHUD(std::string name, NoLoad);
};

}  // namespace ostrel
