#include <gtest/gtest.h>
#include <windows.h>

#include "D3DTestDevice.h"
#include "TestPaths.h"

using testing_support::D3DTestDevice;

TEST(Harness, DeviceRendersAndReadsBack) {
  D3DTestDevice dev(64, 64);
  ASSERT_TRUE(dev.ok()) << "no Direct3D 9 device: is the X display up?";
  dev.begin(0xFFFF0000);
  dev.end();
  EXPECT_EQ(dev.pixel(10, 10) & 0x00FFFFFF, 0x00FF0000u);
}

TEST(Harness, PluginDllLoadsAndExportsEntry) {
  const std::string dll = testing_support::buildDir() + "\\src\\OSTREL.dll";
  HMODULE module = LoadLibraryA(dll.c_str());
  ASSERT_NE(module, nullptr) << dll;
  EXPECT_NE(GetProcAddress(module, "KVX_CreatePlugin"), nullptr);
  FreeLibrary(module);
}
