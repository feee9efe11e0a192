// The definition checks, natively: each problem an author can make gives one
// line naming file, section and key, and a sound set gives none.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../support/TextFiles.h"
#include "gauges/GaugeLint.h"

namespace fs = std::filesystem;
using ostrel::gauges::ImageState;
using ostrel::gauges::LintOptions;

namespace {

std::string readAll(const fs::path& p) { return testing_support::readWholeFile(p.string()); }

std::string sampleDefinition() {
  return readAll(fs::path(OSTREL_SOURCE_ROOT) / "assets/plugin/Gauges.default/Car1/Gauges.ini");
}

// `text` with the first `from` replaced by `to` (which must be there).
std::string edited(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class GaugeLint : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / (std::string("ostrel-lint-") + info->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
  }
  // Lines of the lint of `name`, with the folder taken off the front.
  std::vector<std::string> lint(const std::string& name = "Gauges.ini", bool probe = true) {
    const std::string file = (folder / name).string();
    LintOptions options;
    if (probe)
      options.probeImage = [this](const std::string& path) {
        const std::string leaf = fs::path(path).filename().string();
        probed.push_back(leaf);
        const auto it = images.find(leaf);
        return it == images.end() ? ImageState::Fine : it->second;
      };
    options.otherDefinitions = ostrel::gauges::siblingDefinitions(file);
    std::vector<std::string> out;
    const std::string prefix = (folder / "").string();
    for (const auto& m : ostrel::gauges::lintGaugeDefinition(file, options)) {
      std::string line = m.line();
      if (line.rfind(prefix, 0) == 0) line = line.substr(prefix.size());
      out.push_back(line);
    }
    return out;
  }
  static std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
  }

  fs::path folder;
  std::map<std::string, ImageState> images;  // probe answers; others are fine
  std::vector<std::string> probed;
};

}  // namespace

TEST_F(GaugeLint, TheSampleSetIsClean) {
  write("Gauges.ini", sampleDefinition());
  EXPECT_EQ(joined(lint()), "");
  // Every image of the set was looked at: the replacement, elements, gear slots and the font.
  for (const char* image : {"dash_base.png", "needle.png", "gear7.png", "digits.png", "bar_shift.png"})
    EXPECT_NE(std::find(probed.begin(), probed.end(), image), probed.end()) << image;
}

TEST_F(GaugeLint, MisspelledKeywordsNameTheNearestValidSpelling) {
  std::string text = sampleDefinition();
  text = edited(text, "ValueSource=rpm", "ValueSource=rmp");
  text = edited(text, "Type=needle", "Type=neddle");
  text = edited(text, "Format=decimal1", "Format=decimel1");
  text = edited(text, "Direction=right", "Direction=rigth");
  text = edited(text, "Align=centre", "Align=centr");
  text = edited(text, "Mode=blink", "Mode=blnk");
  text = edited(text, "Trigger=overheat", "Trigger=overheet");
  text = edited(text, "PosX=206", "PosXX=206");
  write("Gauges.ini", text);
  const std::string out = joined(lint());
  EXPECT_NE(out.find("Gauges.ini:Tacho:Type: unknown section type \"neddle\", did you mean \"needle\"?"), std::string::npos) << out;
  EXPECT_NE(out.find("Gauges.ini:Distance:Format: unknown number format \"decimel1\", did you mean \"decimal1\"?"), std::string::npos) << out;
  EXPECT_NE(out.find("Gauges.ini:WaterBar:Direction: unknown direction \"rigth\", did you mean \"right\"?"), std::string::npos) << out;
  EXPECT_NE(out.find("Gauges.ini:Distance:Align: unknown alignment \"centr\", did you mean \"centre\"?"), std::string::npos) << out;
  EXPECT_NE(out.find("Gauges.ini:WarnBlink:Mode: unknown effect mode \"blnk\", did you mean \"blink\"?"), std::string::npos) << out;
  EXPECT_NE(out.find("Gauges.ini:WarnBlink:Trigger: unknown value source \"overheet\", did you mean \"overheat\"?"), std::string::npos) << out;
  EXPECT_NE(out.find("Gauges.ini:WaterBar:PosXX: unknown key \"PosXX\", did you mean \"posx\"?"), std::string::npos) << out;
  // The needle's own section is not checked further under a type that does not exist.
  EXPECT_EQ(out.find("\"rmp\""), std::string::npos) << out;
}

TEST_F(GaugeLint, ValueSourceThatIsNoConditionOnALight) {
  write("Gauges.ini", "[Lamp]\nType=light\nImage=a.png\nValueSource=speed\n");
  EXPECT_EQ(joined(lint()), "Gauges.ini:Lamp:ValueSource: \"speed\" is not a condition: it never holds\n");
}

TEST_F(GaugeLint, EffectsMustStandAboveTheirElements) {
  write("Gauges.ini",
        "[Lamp]\nType=static\nImage=a.png\nEffectName=Blinker\n"
        "[Other]\nType=static\nImage=a.png\nEffectName=Nowhere\n"
        "[Blinker]\nType=effect\nMode=blink\nTrigger=overheat\n"
        "[After]\nType=static\nImage=a.png\nEffectName=BLINKER\n");
  EXPECT_EQ(joined(lint()),
            "Gauges.ini:Lamp:EffectName: effect \"blinker\" is defined below this element: the element draws without it\n"
            "Gauges.ini:Other:EffectName: effect \"nowhere\" is not defined\n");
}

TEST_F(GaugeLint, MissingAndUndecodableImagesWithTheKeyThatNamesThem) {
  images["gone.png"] = ImageState::Missing;
  images["broken.png"] = ImageState::Undecodable;
  write("Gauges.ini",
        "[Texture]\nTarget=Textures\\dash.png\nReplacement=gone.png\n"
        "[Gear]\nType=gear\nGearImage0=a.png\nGearImage3=broken.png\n"
        "[Digits]\nType=number\nValueSource=speed\nFont=gone.png\n");
  EXPECT_EQ(joined(lint()),
            "Gauges.ini:Texture:Replacement: image \"gone.png\" is missing\n"
            "Gauges.ini:Gear:GearImage3: image \"broken.png\" cannot be decoded\n"
            "Gauges.ini:Digits:Font: image \"gone.png\" is missing\n");
  EXPECT_EQ(joined(lint("Gauges.ini", false)), "");  // without a probe the plug-in reports images as it loads them
}

TEST_F(GaugeLint, NumbersThatDoNotParseAndNumbersWithTextAfterThem) {
  write("Gauges.ini",
        "[Bar]\nType=bar\nImage=a.png\nValueSource=speed\nMin=zero\nMax=1,5\nPosY=12.5\nColour=#FF0000\n"
        "[Rect]\nType=refresh\nLeft=10.5\nRight=x\n");
  EXPECT_EQ(joined(lint()),
            "Gauges.ini:Bar:Min: not a number: \"zero\"; the default is used\n"
            "Gauges.ini:Bar:Max: warning: \"1,5\" is read as 1: the text after the number is ignored\n"
            "Gauges.ini:Bar:Colour: not a number: \"#FF0000\"; the default is used\n"
            "Gauges.ini:Rect:Left: warning: \"10.5\" is read as 10: the text after the number is ignored\n"
            "Gauges.ini:Rect:Right: not a number: \"x\"; the default is used\n");
}

TEST_F(GaugeLint, CalibrationOutOfOrderInBothForms) {
  write("Gauges.ini",
        "[Pie]\nType=pie\nImage=a.png\nValueSource=speed\nAngle0=0\nValue0=0\nAngle1=90\nValue1=100\n"
        "Angle2=180\nValue2=50\nAngle4=1\nValue4=1\n"
        "[Needle]\nType=needle\nImage=a.png\nValueSource=rpm\nRangeForm=1\nValueMin=8000\nValueMax=0\n");
  EXPECT_EQ(joined(lint()),
            "Gauges.ini:Pie:Value2: calibration out of order: below Value1\n"
            "Gauges.ini:Pie:Angle4: warning: ignored: the point list ends at 3\n"
            "Gauges.ini:Pie:Value4: warning: ignored: the point list ends at 3\n"
            "Gauges.ini:Needle:ValueMax: calibration out of order: ValueMax is below ValueMin\n");
}

TEST_F(GaugeLint, SectionsPastTheSectionListLimit) {
  std::string text;
  // 100 names of 20 characters take 2100 bytes with their zeros: the last few are cut off.
  for (int i = 0; i < 100; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Static%014d", i);
    text += std::string("[") + name + "]\nType=static\nImage=a.png\n";
  }
  write("Gauges.ini", text);
  const auto lines = lint();
  ASSERT_EQ(lines.size(), 3u) << joined(lines);  // 1 + 97 x 21 = 2038 fits, the 98th does not
  EXPECT_EQ(lines[0], "Gauges.ini:Static00000000000097:: past the 2048-byte list of section names: the plug-in never sees this section");
}

TEST_F(GaugeLint, TwoDefinitionsOfOneFolderClaimingOneTexture) {
  write("Gauges.ini", "[Texture]\nTarget=Textures\\Dash.png\n");
  write("Gauges2.ini", "[texture]\ntarget=textures/dash.PNG\n");
  EXPECT_EQ(joined(lint("Gauges.ini")),
            "Gauges.ini:Texture:Target: \"Textures\\Dash.png\" is claimed by " + (folder / "Gauges2.ini").string() +
                " as well\n");
  write("Gauges2.ini", "[Texture]\nTarget=Textures\\other.png\n");
  EXPECT_EQ(joined(lint("Gauges.ini")), "");
}

TEST_F(GaugeLint, WhatTheProfileReadersMakeOfRepeatsAndLongValues) {
  write("Gauges.ini",
        "[Lamp]\nType=static\nImage=a.png\nPosX=10\nposx=20\n"
        "[Lamp]\nType=static\nImage=b.png\nBogus=1\n"
        "[Cap]\nType=static\nImage=" + std::string(300, 'c') + ".png\n");
  EXPECT_EQ(joined(lint()),
            "Gauges.ini:Lamp:posx: given twice in this section: only the first value, \"10\", is read\n"
            "Gauges.ini:Lamp:: a second section of this name: the plug-in reads only the first one's keys\n"
            "Gauges.ini:Cap:Image: value of 304 characters: the plug-in reads only the first 255\n");
}

TEST_F(GaugeLint, UnreadableFileIsOneError) {
  const auto lines = lint("Absent.ini");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "Absent.ini::: the definition file cannot be read");
}
