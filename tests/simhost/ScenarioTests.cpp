// Scenario reading: what a good file turns into, and that every kind of bad
// line is refused with the file, the line and the problem.
#include <gtest/gtest.h>

#include "DeviceMethods.h"
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
  EXPECT_EQ(s.blocks[0].textures.at(0).path, "Cars\\Car1\\Textures\\dashboard.png");
  EXPECT_EQ(s.blocks[0].textures[0].format, 0u) << "as the file";
  EXPECT_EQ(s.blocks[0].textures[0].width, 0u) << "D3DX_DEFAULT";

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

TEST(Scenario, DeviceFaultLinesNameMethodCallAndResult) {
  simhost::Scenario s = parseScenario(
      "frames 9\nfail SetRenderTarget 2 D3DERR_INVALIDCALL\nfail UpdateSurface 1 0x8876017C\n"
      "frame 4\nfail CreateStateBlock 3 E_OUTOFMEMORY\n",
      "s.txt");
  EXPECT_TRUE(s.countDevice);
  ASSERT_EQ(s.faults.size(), 2u);
  EXPECT_EQ(s.faults[0].method, static_cast<int>(simhost::DeviceMethod::SetRenderTarget));
  EXPECT_EQ(s.faults[0].nth, 2);
  EXPECT_EQ(s.faults[0].result, 0x8876086Cu);
  EXPECT_EQ(s.faults[1].method, static_cast<int>(simhost::DeviceMethod::UpdateSurface));
  EXPECT_EQ(s.faults[1].result, 0x8876017Cu);
  ASSERT_EQ(s.blocks.at(0).faults.size(), 1u);
  EXPECT_EQ(s.blocks[0].faults[0].method, static_cast<int>(simhost::DeviceMethod::CreateStateBlock));
  EXPECT_EQ(s.blocks[0].faults[0].result, 0x8007000Eu);

  // A block fault alone needs the proxy as well; plain scenarios do not get it.
  EXPECT_TRUE(parseScenario("frames 3\nframe 1\nfail SetTexture 1 E_FAIL\n", "s.txt").countDevice);
  EXPECT_TRUE(parseScenario("frames 3\ncount-device\n", "s.txt").countDevice);
  EXPECT_FALSE(parseScenario("frames 3\nframe 1\nmode 1\n", "s.txt").countDevice);
}

TEST(Scenario, DeviceLossAndResetLines) {
  // A loss needs the proxy (the plug-in asks it for the cooperative level);
  // a plain Reset does not.
  simhost::Scenario lost = parseScenario("frames 9\nframe 2\nlose-device 4 800 600\n", "s.txt");
  EXPECT_TRUE(lost.countDevice);
  ASSERT_TRUE(lost.blocks.at(0).deviceLoss);
  EXPECT_EQ(lost.blocks[0].deviceLoss->frames, 4);
  EXPECT_EQ(lost.blocks[0].deviceLoss->width, 800);
  EXPECT_EQ(lost.blocks[0].deviceLoss->height, 600);
  simhost::Scenario reset = parseScenario("frames 9\nframe 2\nreset-device\n", "s.txt");
  EXPECT_FALSE(reset.countDevice);
  ASSERT_TRUE(reset.blocks.at(0).deviceLoss);
  EXPECT_EQ(reset.blocks[0].deviceLoss->frames, 0);
  EXPECT_EQ(reset.blocks[0].deviceLoss->width, 0);
}

// The device's life and the tools on it: a silent loss keeps the proxy out
// (the plug-in must not learn of it), the host's own proxy brings it in.
TEST(Scenario, ToolAndDeviceLifeLines) {
  simhost::Scenario s = parseScenario(
      "frames 9\noverlay before\nframe 1\noverlay late-thread\nmethod-table-hook jump\ntool-device create\n"
      "frame 2\nlose-device 4 800 600 silent\nframe 3\nnew-device 720 540\noverlay off\n"
      "method-table-hook off\ntool-device reset\n",
      "s.txt");
  EXPECT_TRUE(s.overlayBefore);
  EXPECT_FALSE(s.countDevice);
  EXPECT_EQ(s.blocks.at(0).overlay, simhost::OverlayStep::LateThread);
  EXPECT_EQ(s.blocks[0].methodTable, simhost::MethodTableStep::Jump);
  EXPECT_EQ(s.blocks[0].toolDevice, simhost::ToolDeviceStep::Create);
  ASSERT_TRUE(s.blocks.at(1).deviceLoss);
  EXPECT_TRUE(s.blocks[1].deviceLoss->silent);
  EXPECT_EQ(s.blocks[1].deviceLoss->frames, 4);
  EXPECT_EQ(s.blocks[1].deviceLoss->width, 800);
  ASSERT_TRUE(s.blocks.at(2).newDevice);
  EXPECT_EQ(s.blocks[2].newDevice->height, 540);
  EXPECT_FALSE(s.blocks[2].deviceLoss);
  EXPECT_EQ(s.blocks[2].overlay, simhost::OverlayStep::Off);
  EXPECT_EQ(s.blocks[2].methodTable, simhost::MethodTableStep::Off);
  EXPECT_EQ(s.blocks[2].toolDevice, simhost::ToolDeviceStep::Reset);
  simhost::Scenario proxy = parseScenario("frames 9\nhost-proxy\nframe 2\nlose-device 4 silent\n", "s.txt");
  EXPECT_TRUE(proxy.hostProxy);
  EXPECT_TRUE(proxy.countDevice);
}

// What makes the host as hard on the plug-in as players' machines are: depth
// and multisampled buffers, the host's threads on a multithreaded device,
// extended devices and a proxy that hides them, faults over a range of calls.
TEST(Scenario, DeviceKindsThreadsAndLastingFaults) {
  const simhost::Scenario s = parseScenario(
      "frames 9\ndepth D24S8\nmultisample 4\nmultithreaded\ndevice ex\nhost-proxy hide-ex\n"
      "fail Reset 2..6 D3DERR_DEVICELOST\n"
      "frame 1\nloader-thread 200 Cars\\Car1\\Textures\\dashboard.png\nreset-thread 50 800 600\n"
      "fail CreateStateBlock 1..15 E_OUTOFMEMORY\nfail SetTexture 3 E_FAIL\n"
      "frame 2\nwait-threads\nreset-device keep-textures\n"
      "frame 3\nlose-device 4 800 600 silent keep-textures\n",
      "s.txt");
  EXPECT_EQ(s.depthFormat, simhost::kDepthD24S8);
  EXPECT_EQ(s.multisample, 4);
  EXPECT_TRUE(s.multithreaded && s.deviceEx && s.hostProxy && s.proxyHidesEx && s.countDevice);
  ASSERT_EQ(s.faults.size(), 1u);
  EXPECT_EQ(s.faults[0].nth, 2);
  EXPECT_EQ(s.faults[0].last, 6);
  const simhost::FrameBlock& b = s.blocks.at(0);
  ASSERT_TRUE(b.loaderThread && b.resetThread);
  EXPECT_EQ(b.loaderThread->loads, 200);
  EXPECT_EQ(b.loaderThread->path, "Cars\\Car1\\Textures\\dashboard.png");
  EXPECT_EQ(b.resetThread->resets, 50);
  EXPECT_EQ(b.resetThread->width, 800);
  EXPECT_EQ(b.resetThread->height, 600);
  ASSERT_EQ(b.faults.size(), 2u);
  EXPECT_EQ(b.faults[0].nth, 1);
  EXPECT_EQ(b.faults[0].last, 15);
  EXPECT_EQ(b.faults[1].nth, 3) << "a single call, as before";
  EXPECT_EQ(b.faults[1].last, 3);
  EXPECT_TRUE(s.blocks.at(1).waitThreads);
  ASSERT_TRUE(s.blocks[1].deviceLoss);
  EXPECT_TRUE(s.blocks[1].deviceLoss->keepTextures);
  EXPECT_EQ(s.blocks[1].deviceLoss->frames, 0);
  ASSERT_TRUE(s.blocks.at(2).deviceLoss);
  EXPECT_TRUE(s.blocks[2].deviceLoss->silent && s.blocks[2].deviceLoss->keepTextures);
  EXPECT_EQ(s.blocks[2].deviceLoss->width, 800);

  const simhost::Scenario plain = parseScenario("frames 3\ndepth D16\nproxy hides-ex\n", "s.txt");
  EXPECT_EQ(plain.depthFormat, simhost::kDepthD16);
  EXPECT_EQ(plain.multisample, 0);
  EXPECT_TRUE(plain.proxyHidesEx && plain.countDevice);
  EXPECT_FALSE(plain.hostProxy || plain.multithreaded || plain.deviceEx);
}

// The dashboard texture from image files of each kind, asked for in a given
// format, pool and size.
TEST(Scenario, TextureRequestsAndImageFiles) {
  const simhost::Scenario s = parseScenario(
      "frames 3\nframe 0\n"
      "  write-image Cars\\Car1\\Textures\\dashboard.png Cars\\A\\Textures\\dashboard.jpg jpg\n"
      "  write-image a.png b.dds dxt5 300 200\n"
      "  texture Cars\\A\\Textures\\dashboard.jpg format R5G6B5 pool managed size 300 200\n"
      "  texture b.dds format D3DFMT_DXT1 size D3DX_DEFAULT\n",
      "s.txt");
  const simhost::FrameBlock& b = s.blocks.at(0);
  ASSERT_EQ(b.imageFiles.size(), 2u);
  EXPECT_EQ(b.imageFiles[0].path, "Cars\\A\\Textures\\dashboard.jpg");
  EXPECT_EQ(b.imageFiles[0].kind, "jpg");
  EXPECT_EQ(b.imageFiles[0].width, 0u);
  EXPECT_EQ(b.imageFiles[1].width, 300u);
  EXPECT_EQ(b.imageFiles[1].height, 200u);
  ASSERT_EQ(b.textures.size(), 2u);
  EXPECT_EQ(b.textures[0].format, 23u);
  EXPECT_EQ(b.textures[0].pool, 1u);
  EXPECT_EQ(b.textures[0].width, 300u);
  EXPECT_EQ(b.textures[0].height, 200u);
  EXPECT_EQ(b.textures[1].format, 0x31545844u);
  EXPECT_EQ(b.textures[1].width, 0u);
}

TEST(Scenario, DeviceMethodTableFollowsTheInterface) {
  using simhost::DeviceMethod;
  // Vtable order: spot checks at both ends and in the middle.
  EXPECT_STREQ(simhost::deviceMethodName(static_cast<DeviceMethod>(0)), "QueryInterface");
  EXPECT_STREQ(simhost::deviceMethodName(static_cast<DeviceMethod>(3)), "TestCooperativeLevel");
  EXPECT_STREQ(simhost::deviceMethodName(static_cast<DeviceMethod>(57)), "SetRenderState");
  EXPECT_STREQ(simhost::deviceMethodName(static_cast<DeviceMethod>(65)), "SetTexture");
  EXPECT_STREQ(simhost::deviceMethodName(static_cast<DeviceMethod>(83)), "DrawPrimitiveUP");
  EXPECT_STREQ(simhost::deviceMethodName(static_cast<DeviceMethod>(118)), "CreateQuery");
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::SetTexture), simhost::DeviceCallKind::Texture);
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::SetRenderTarget), simhost::DeviceCallKind::Target);
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::UpdateSurface), simhost::DeviceCallKind::Copy);
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::CreateStateBlock), simhost::DeviceCallKind::Create);
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::DrawPrimitiveUP), simhost::DeviceCallKind::Draw);
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::SetTextureStageState), simhost::DeviceCallKind::State);
  EXPECT_EQ(simhost::deviceMethodKind(DeviceMethod::GetRenderTarget), simhost::DeviceCallKind::Other);
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
                    BadCase{"frames 5\nframe 0\ntexture a.png format R9G9B9\n", 3, "unknown texture format 'R9G9B9'"},
                    BadCase{"frames 5\nframe 0\ntexture a.png pool video\n", 3, "bad pool 'video'"},
                    BadCase{"frames 5\nframe 0\ntexture a.png size 0 8\n", 3, "out of range"},
                    BadCase{"frames 5\nframe 0\ntexture a.png mips 1\n", 3, "unknown texture option 'mips'"},
                    BadCase{"frames 5\nframe 0\nwrite-image a.png b.gif gif\n", 3, "unknown image kind 'gif'"},
                    BadCase{"frames 5\nframe 0\nwrite-image a.png b.png\n", 3, "takes SOURCE PATH KIND"},
                    BadCase{"frames 5\nframe 0\nwindow 640 480\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nmode 1\n", 2, "must be inside a 'frame' block"},
                    BadCase{"frames 5\nframe 0\nhome 0\n", 3, "out of range"},
                    BadCase{"frames 0\n", 1, "out of range"},
                    BadCase{"frames 5\nfail SetRenderStat 1 E_FAIL\n", 2, "unknown device method 'SetRenderStat'"},
                    BadCase{"frames 5\nfail AddRef 1 E_FAIL\n", 2, "cannot fail"},
                    BadCase{"frames 5\nfail GetAvailableTextureMem 1 E_FAIL\n", 2, "cannot fail"},
                    BadCase{"frames 5\nfail SetTexture 0 E_FAIL\n", 2, "out of range"},
                    BadCase{"frames 5\nfail SetTexture 1 D3DERR_NOPE\n", 2, "bad result code 'D3DERR_NOPE'"},
                    BadCase{"frames 5\nfail SetTexture 1\n", 2, "needs more values"},
                    BadCase{"frames 5\nframe 1\ncount-device\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nframe 1\nlose-device 1\n", 3, "out of range"},
                    BadCase{"frames 5\nframe 1\nlose-device 4 800\n", 3, "takes FRAMES [WIDTH HEIGHT] [silent]"},
                    BadCase{"frames 5\nframe 1\nlose-device 4 quiet\n", 3, "takes FRAMES [WIDTH HEIGHT] [silent]"},
                    BadCase{"frames 5\nframe 1\nnew-device 800\n", 3, "'new-device' takes nothing or WIDTH HEIGHT"},
                    BadCase{"frames 5\nframe 1\noverlay before\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\noverlay after\n", 2, "only 'overlay before'"},
                    BadCase{"frames 5\nframe 1\noverlay on\n", 3, "bad value 'on' for 'overlay'"},
                    BadCase{"frames 5\nframe 1\nmethod-table-hook swap\n", 3, "bad value 'swap'"},
                    BadCase{"frames 5\nframe 1\ntool-device\n", 3, "needs more values"},
                    BadCase{"frames 5\nframe 1\nhost-proxy\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nframe 1\nreset-device 100 600\n", 3, "out of range"}));

// The lines that make the host harder: bad values refused with what is wanted.
INSTANTIATE_TEST_SUITE_P(
    HarderHost, BadScenario,
    testing::Values(BadCase{"frames 5\ndepth D32\n", 2, "bad depth format 'D32' (D24S8 or D16)"},
                    BadCase{"frames 5\ndepth\n", 2, "needs more values"},
                    BadCase{"frames 5\nmultisample 1\n", 2, "out of range 2..16"},
                    BadCase{"frames 5\nmultisample 4x\n", 2, "bad number '4x' for 'multisample'"},
                    BadCase{"frames 5\nmultithreaded yes\n", 2, "unexpected 'yes'"},
                    BadCase{"frames 5\ndevice plain\n", 2, "bad value 'plain' for 'device' (ex)"},
                    BadCase{"frames 5\nhost-proxy hide\n", 2, "bad value 'hide' for 'host-proxy' (hide-ex)"},
                    BadCase{"frames 5\nproxy hides\n", 2, "bad value 'hides' for 'proxy' (hides-ex)"},
                    BadCase{"frames 5\nframe 1\ndepth D16\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nframe 1\nmultithreaded\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nframe 1\ndevice ex\n", 3, "belongs before the first 'frame'"},
                    BadCase{"frames 5\nframe 1\nloader-thread 5 a.png\n", 3, "needs 'multithreaded'"},
                    BadCase{"frames 5\nframe 1\nreset-thread 5\n", 3, "needs 'multithreaded'"},
                    BadCase{"frames 5\nmultithreaded\nframe 1\nloader-thread 0 a.png\n", 4, "out of range"},
                    BadCase{"frames 5\nmultithreaded\nframe 1\nloader-thread 5\n", 4, "needs more values"},
                    BadCase{"frames 5\nmultithreaded\nframe 1\nreset-thread 5 800\n", 4, "takes COUNT [WIDTH HEIGHT]"},
                    BadCase{"frames 5\nmultithreaded\nframe 1\nreset-thread 5 100 100\n", 4, "out of range"},
                    BadCase{"frames 5\nframe 1\nwait-threads now\n", 3, "unexpected 'now'"},
                    BadCase{"frames 5\nframe 1\nreset-device keep-textures\n", 3, "needs 'device ex'"},
                    BadCase{"frames 5\ndevice ex\nframe 1\nreset-device keep\n", 4, "takes [WIDTH HEIGHT] [keep-textures]"},
                    BadCase{"frames 5\ndevice ex\nframe 1\nnew-device keep-textures\n", 4, "'new-device' takes nothing"},
                    BadCase{"frames 5\nfail Reset 3..2 E_FAIL\n", 2, "call range '3..2' for 'fail' ends before it starts"},
                    BadCase{"frames 5\nfail Reset 0..2 E_FAIL\n", 2, "out of range"},
                    BadCase{"frames 5\nfail Reset 1.. E_FAIL\n", 2, "bad number '' for 'fail'"},
                    BadCase{"frames 5\nfail Reset 1..x E_FAIL\n", 2, "bad number 'x' for 'fail'"}));
