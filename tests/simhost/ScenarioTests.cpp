// Scenario reading: what a good file turns into, and that every kind of bad
// line is refused with the file, the line and the problem.
#include <gtest/gtest.h>

#include "Scenario.h"

using simhost::Block;
using simhost::parseScenario;
using simhost::ScenarioError;

TEST(Scenario, ReadsHeaderBlocksAndValues) {
  const char* text =
      "# a comment line\n"
      "frames 100\n"
      "window 800 600\n"
      "fps 30\n"
      "frame 0\n"
      "  mode 5   # trailing comment\n"
      "  texture Cars\\Car1\\Textures\\dashboard.png\n"
      "frame 10\r\n"
      "  rpm 1000 step 25.5\n"
      "  tire 2 0 0.1 0.2 0.3 0.4 0.5 0.6 1.25\n"
      "  event 1 13\n"
      "  poke carobject 0x1100 i 4\n"
      "  key down select\n"
      "  home 150\n"
      "  car none\n"
      "  damage-extra none\n"
      "  menu open\n"
      "  screenshot after-start_1\n";
  simhost::Scenario s = parseScenario(text, "s.txt");
  EXPECT_EQ(s.frames, 100);
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  EXPECT_DOUBLE_EQ(s.fps, 30.0);
  ASSERT_EQ(s.blocks.size(), 2u);
  EXPECT_EQ(s.blocks[0].frame, 0);
  ASSERT_EQ(s.blocks[0].pokes.size(), 1u);
  EXPECT_EQ(s.blocks[0].pokes[0].block, Block::Game);
  EXPECT_EQ(s.blocks[0].pokes[0].offset, 0x728u);
  EXPECT_EQ(s.blocks[0].pokes[0].i, 5);
  EXPECT_EQ(s.blocks[0].textures.at(0), "Cars\\Car1\\Textures\\dashboard.png");

  const simhost::FrameBlock& b = s.blocks[1];
  EXPECT_EQ(b.frame, 10);
  EXPECT_EQ(b.line, 8);
  // rpm, 8 tire segments, event flag + code, the poke.
  ASSERT_EQ(b.pokes.size(), 12u);
  EXPECT_EQ(b.pokes[0].offset, 0x10u);
  EXPECT_TRUE(b.pokes[0].isFloat);
  EXPECT_FLOAT_EQ(b.pokes[0].f, 1000.0f);
  EXPECT_FLOAT_EQ(b.pokes[0].step, 25.5f);
  // Tire 2 is words 203..210 of the damage record.
  EXPECT_EQ(b.pokes[1].block, Block::Damage);
  EXPECT_EQ(b.pokes[1].offset, 203u * 4);
  EXPECT_EQ(b.pokes[8].offset, 210u * 4);
  EXPECT_FLOAT_EQ(b.pokes[8].f, 1.25f);
  EXPECT_EQ(b.pokes[9].offset, 0x274u);
  EXPECT_EQ(b.pokes[10].block, Block::EventCode);
  EXPECT_EQ(b.pokes[10].i, 13);
  EXPECT_EQ(b.pokes[11].block, Block::CarObject);
  EXPECT_EQ(b.pokes[11].offset, 0x1100u);
  EXPECT_FALSE(b.pokes[11].isFloat);
  EXPECT_EQ(b.pokes[11].i, 4);
  EXPECT_TRUE(b.keys.down && b.keys.select);
  EXPECT_FALSE(b.keys.up || b.keys.ignored || b.keys.increase || b.keys.decrease);
  EXPECT_EQ(b.homeMs, 150);
  EXPECT_EQ(b.carPresent, false);
  EXPECT_EQ(b.damageExtraPresent, false);
  EXPECT_EQ(b.menuOpen, true);
  EXPECT_EQ(b.screenshots.at(0), "after-start_1");
}

TEST(Scenario, IntegerWordsAcceptHexAndNegative) {
  simhost::Scenario s = parseScenario("frames 2\nframe 1\ndamagei 61 -1\npoke damage 0x3A0 i 0xFFFFFFFF\n", "s.txt");
  ASSERT_EQ(s.blocks.at(0).pokes.size(), 2u);
  EXPECT_EQ(s.blocks[0].pokes[0].offset, 61u * 4);
  EXPECT_EQ(s.blocks[0].pokes[0].i, -1);
  EXPECT_EQ(s.blocks[0].pokes[1].i, -1);
}

struct BadCase {
  const char* text;
  int line;
  const char* problem;
};

class BadScenario : public testing::TestWithParam<BadCase> {};

TEST_P(BadScenario, IsRefusedNamingFileLineAndProblem) {
  const BadCase& c = GetParam();
  try {
    parseScenario(c.text, "bad.txt");
    FAIL() << "accepted: " << c.text;
  } catch (const ScenarioError& e) {
    std::string what = e.what();
    std::string prefix = "bad.txt:" + std::to_string(c.line) + ": ";
    EXPECT_EQ(what.rfind(prefix, 0), 0u) << what;
    EXPECT_NE(what.find(c.problem), std::string::npos) << what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScenario,
    testing::Values(BadCase{"frames 5\nframe 0\nspeeed 3\n", 3, "unknown key 'speeed'"},
                    BadCase{"frames 5\nframe 0\nrpm 12x\n", 3, "bad number '12x' for 'rpm'"},
                    BadCase{"frames 5\nframe 0\nrpm nan\n", 3, "bad number 'nan'"},
                    BadCase{"frames 5\nframe 0\nmode 1.5\n", 3, "bad number '1.5' for 'mode'"},
                    BadCase{"frames 5\nframe 0\nmode 99999999999\n", 3, "bad number"},
                    BadCase{"frames 5\nframe 3\nmode 1\nframe 2\n", 4, "frame 2 comes after frame 3"},
                    BadCase{"frames 5\nframe 3\nframe 3\n", 3, "frame 3 comes after frame 3"},
                    BadCase{"frames 5\nframe 5\n", 2, "outside 0..4"},
                    BadCase{"frame 0\nframes 5\n", 1, "'frames' must come before"},
                    BadCase{"window 640 480\n", 1, "no 'frames' line"},
                    BadCase{"frames 5\nframe 0\nmode 1 2\n", 3, "unexpected '2'"},
                    BadCase{"frames 5\nframe 0\nrpm 1 stp 2\n", 3, "unexpected 'stp'"},
                    BadCase{"frames 5\nframe 0\ntire 1 0 0 0\n", 3, "needs more values"},
                    BadCase{"frames 5\nframe 0\ntire 4 0 0 0 0 0 0 0 0\n", 3, "out of range 0..3"},
                    BadCase{"frames 5\nframe 0\ndamagef 290 1.0\n", 3, "out of range 0..289"},
                    BadCase{"frames 5\nframe 0\npoke carstate 0x13 i 1\n", 3, "not word aligned"},
                    BadCase{"frames 5\nframe 0\npoke carstate 0x1000 i 1\n", 3, "outside record"},
                    BadCase{"frames 5\nframe 0\npoke wheels 0 i 1\n", 3, "unknown record 'wheels'"},
                    BadCase{"frames 5\nframe 0\npoke game 0 x 1\n", 3, "bad type 'x'"},
                    BadCase{"frames 5\nframe 0\nkey left\n", 3, "unknown menu key 'left'"},
                    BadCase{"frames 5\nframe 0\nmenu shut\n", 3, "bad value 'shut' for 'menu'"},
                    BadCase{"frames 5\nframe 0\nscreenshot ..\\x\n", 3, "bad screenshot name"},
                    BadCase{"frames 5\nframe 0\nwindow 640 480\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nmode 1\n", 2, "must be inside a 'frame' block"},
                    BadCase{"frames 5\nframe 0\nhome 0\n", 3, "out of range"},
                    BadCase{"frames 0\n", 1, "out of range"}));
