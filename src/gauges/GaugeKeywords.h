#pragma once
// Section, type and key texts of gauge definition files. Functions, because
// fixed texts are deciphered inside a function. Windows-free.
#include "plugin/FixedText.h"

namespace ostrel::gauges::keys {

// The reserved section and its keys.
inline const char* textureSection() { return FT("texture"); }
inline const char* target() { return FT("Target"); }
inline const char* replacement() { return FT("Replacement"); }
inline const char* setOption() { return FT("SetOption"); }

// Section types (compared lower-case).
inline const char* type() { return FT("Type"); }
inline const char* typeEffect() { return FT("effect"); }
inline const char* typeGear() { return FT("gear"); }
inline const char* typeNeedle() { return FT("needle"); }
inline const char* typeLight() { return FT("light"); }
inline const char* typeBar() { return FT("bar"); }
inline const char* typeNumber() { return FT("number"); }
inline const char* typeStatic() { return FT("static"); }
inline const char* typeColour() { return FT("colour"); }
inline const char* typePie() { return FT("pie"); }
inline const char* typeRefresh() { return FT("refresh"); }

// Effect keys and mode words.
inline const char* mode() { return FT("Mode"); }
inline const char* blinkPeriod() { return FT("BlinkPeriod"); }
inline const char* effectColour() { return FT("EffectColour"); }
inline const char* trigger() { return FT("Trigger"); }
inline const char* threshold() { return FT("Threshold"); }
inline const char* modeBlink() { return FT("blink"); }
inline const char* modeOnce() { return FT("once"); }
inline const char* modeColour() { return FT("colour"); }
inline const char* modeColourAlt() { return FT("color"); }

// Element keys.
inline const char* posX() { return FT("PosX"); }
inline const char* posY() { return FT("PosY"); }
inline const char* valueSource() { return FT("ValueSource"); }
inline const char* colour() { return FT("Colour"); }
inline const char* effectName() { return FT("EffectName"); }
inline const char* image() { return FT("Image"); }
inline const char* gearImage() { return FT("GearImage"); }
inline const char* pivotX() { return FT("PivotX"); }
inline const char* pivotY() { return FT("PivotY"); }
inline const char* instant() { return FT("Instant"); }
inline const char* speed() { return FT("Speed"); }
inline const char* stiffness() { return FT("Stiffness"); }
inline const char* damping() { return FT("Damping"); }
inline const char* rangeForm() { return FT("RangeForm"); }
inline const char* angleMin() { return FT("AngleMin"); }
inline const char* angleMax() { return FT("AngleMax"); }
inline const char* valueMin() { return FT("ValueMin"); }
inline const char* valueMax() { return FT("ValueMax"); }
inline const char* anglePoint() { return FT("Angle"); }
inline const char* valuePoint() { return FT("Value"); }
inline const char* format() { return FT("Format"); }
inline const char* align() { return FT("Align"); }
inline const char* angle() { return FT("Angle"); }
inline const char* font() { return FT("Font"); }
inline const char* min() { return FT("Min"); }
inline const char* max() { return FT("Max"); }
inline const char* direction() { return FT("Direction"); }
inline const char* colourFrom() { return FT("ColourFrom"); }
inline const char* colourTo() { return FT("ColourTo"); }
inline const char* left() { return FT("Left"); }
inline const char* top() { return FT("Top"); }
inline const char* right() { return FT("Right"); }
inline const char* bottom() { return FT("Bottom"); }

// Alignment and direction keywords.
inline const char* alignLeft() { return FT("left"); }
inline const char* alignRight() { return FT("right"); }
inline const char* alignCentre() { return FT("centre"); }
inline const char* alignCenter() { return FT("center"); }
inline const char* directionUp() { return FT("up"); }
inline const char* directionDown() { return FT("down"); }
inline const char* directionLeft() { return FT("left"); }
inline const char* directionRight() { return FT("right"); }

}  // namespace ostrel::gauges::keys
