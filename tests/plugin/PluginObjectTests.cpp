// The Plugin object as the host drives it through its vtable, and the fixed
// texts as they lie in the built DLL.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "RecordingHost.h"
#include "TestFiles.h"
#include "TestPaths.h"
#include "entry/Plugin.h"
#include "plugin/PluginState.h"

using namespace ostrel;
using testing_support::RecordingHost;

namespace {

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

// One process, one plug-in: the whole life cycle in order.
TEST(PluginObject, LifeCycleAsTheHostDrivesIt) {
  ensurePluginFolder();
  removePageSettingsFiles();
  RecordingHost host;
  const size_t before = logContents().size();

  IPlugin* plugin = createPlugin(&host);
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(pluginHost(), &host);
  ASSERT_NE(pluginState(), nullptr);
  PluginState* state = pluginState();

  RecordingHost other;
  EXPECT_EQ(createPlugin(&other), plugin) << "a second call returns the kept object";
  EXPECT_EQ(pluginState(), state);
  EXPECT_EQ(pluginHost(), &host);

  std::string added = logContents().substr(before);
  EXPECT_EQ(countOf(added, "Creating plug-in OSTREL."), 1u) << added;
  EXPECT_EQ(added.find("Could not create"), std::string::npos) << "the folder existed already";

  EXPECT_STREQ(plugin->QueryName(), "OSTREL");
  EXPECT_STREQ(plugin->QueryName(), "OSTREL");
  added = logContents().substr(before);
  EXPECT_EQ(countOf(added, "QueryName called"), 2u) << added;
  // The name lives in process-wide storage: a thread that asked first and has
  // ended since leaves it where every other thread finds it.
  const char* fromThread = nullptr;
  std::thread([&] { fromThread = plugin->QueryName(); }).join();
  EXPECT_EQ(fromThread, plugin->QueryName());
  EXPECT_STREQ(fromThread, "OSTREL");

  // The first flag is ignored; every flag counts by its low byte only.
  plugin->HandleMenuInput(1, 0, 0, 0, 0, 0);
  plugin->HandleMenuInput(0, 0x100, 0x200, 0, 0xFF00, 0);
  EXPECT_EQ(state->selected, 0);
  EXPECT_TRUE(std::get<bool>(state->items[0].value));
  plugin->HandleMenuInput(0, 0, 0xFFFFFF01u, 0, 0, 0);
  EXPECT_EQ(state->selected, 1);
  plugin->HandleMenuInput(0, 0, 0, 0, 1, 0);
  EXPECT_FALSE(std::get<bool>(state->items[1].value));

  plugin->Tick(0.1f);
  plugin->UnhandledCallA();
  plugin->UnhandledCallB(1, 2, 3);
  plugin->UnhandledCallC(1, 2, 3, 4);
  plugin->UnhandledCallD(1, 2, 3);
  EXPECT_TRUE(host.calls.empty()) << host.calls.front().line;

  plugin->DrawMenuPage();
  EXPECT_EQ(host.writesAt(500, 73), (std::vector<std::string>{"OFF"}));
  EXPECT_EQ(host.writesAt(100, 400), (std::vector<std::string>{"Displays car damage"}));

  // Save from the page (its last entry), then see the feedback in the ticks.
  while (state->selected < static_cast<std::int32_t>(state->items.size()) - 1) plugin->HandleMenuInput(0, 0, 1, 0, 0, 0);
  plugin->HandleMenuInput(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(storedInt("carDamageHUD", "HUD", "Enabled"), 0);
  host.calls.clear();
  for (int i = 0; i < 6; ++i) plugin->Tick(0.25f);
  EXPECT_EQ(host.writesAt(280, 460).size(), 5u);

  // An error inside an entry stays inside the plug-in: one log line, no throw.
  state->selected = 0;
  state->items[0].action = [] { throw std::runtime_error("boom"); };
  const size_t beforeError = logContents().size();
  EXPECT_NO_THROW(plugin->HandleMenuInput(0, 0, 0, 0, 0, 1));
  EXPECT_EQ(logContents().substr(beforeError), "Unexpected error in HandleMenuInput\r\n");
  state->items[0].action = nullptr;

  // The host destroys it through slot 1; the kept pointer must not outlive it.
  const size_t beforeDestroy = logContents().size();
  plugin->ScalarDeletingDestructor(1);
  EXPECT_EQ(logContents().substr(beforeDestroy), "Destroying plug-in OSTREL.\r\n");

  IPlugin* fresh = createPlugin(&other);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(pluginState(), state) << "the state lives on";
  EXPECT_EQ(pluginHost(), &other);
  fresh->DrawMenuPage();
  EXPECT_FALSE(other.calls.empty()) << "the new object draws through the new host";
  EXPECT_EQ(other.writesAt(500, 73), (std::vector<std::string>{"OFF"}));
  removePageSettingsFiles();
}

// The fixed texts are enciphered in the library, yet the page shows them.
TEST(FixedTexts, AbsentInPlainFormFromTheDll) {
  const std::string dll = readWholeFile(testing_support::buildDir() + "\\src\\OSTREL.dll");
  ASSERT_GT(dll.size(), 10000u);
  EXPECT_NE(dll.find("KVX_CreatePlugin"), std::string::npos) << "the export name is meant to be seen";
  for (const char* text : {"SAVING CONFIGURATION", "Heads-Up Display v%d", "Save Settings",
                           "Displays tire wear", "Refresh Rate(Experimental)", "Unexpected error in ", "Plugins",
                           "D3DERR_INVALIDCALL", "The method call is invalid", "Destroying plug-in"})
    EXPECT_EQ(dll.find(text), std::string::npos) << text;
}
