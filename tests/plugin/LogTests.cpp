// The log file and the error reports, on the real file system.
#include <gtest/gtest.h>
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <wincodec.h>

#include <string>

#include "TestFiles.h"
#include "plugin/Log.h"

using namespace ostrel;

TEST(Log, LinesArriveInOrderAndCanBeReadWhileOpen) {
  const size_t before = logContents().size();
  logText("first line a");
  logCText("second line b");
  logText("");
  logCText(nullptr);
  // The log is still open for writing; another reader must get at it.
  HANDLE h = CreateFileA(logPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(logContents().substr(before), "first line a\r\nsecond line b\r\n\r\n\r\n");
}

TEST(Log, InvalidUtf8IsLoggedWithReplacementCharacters) {
  const size_t before = logContents().size();
  EXPECT_NO_THROW(logText(std::string("bad \xFF\xFE end")));
  logText("caf\xC3\xA9");  // valid UTF-8 goes through unchanged
  const std::string added = logContents().substr(before);
  EXPECT_NE(added.find("bad \xEF\xBF\xBD"), std::string::npos) << added;
  EXPECT_NE(added.find(" end\r\n"), std::string::npos) << added;
  EXPECT_NE(added.find("caf\xC3\xA9\r\n"), std::string::npos) << added;
}

TEST(Log, ErrorReportFormatForKnownAndUnknownCodes) {
  const size_t before = logContents().size();
  logErrorReport("KVX\\D3D9Helpers.cpp", "SetupVertex2DRenderState", 42, D3DERR_INVALIDCALL);
  logErrorReport("TextureHandler.cpp", "TextureHandler::Render", 7, static_cast<std::int32_t>(0x80001234u));
  EXPECT_EQ(logContents().substr(before),
            "Error in file: KVX\\D3D9Helpers.cpp, function: SetupVertex2DRenderState, line: 42. "
            "Description: D3DERR_INVALIDCALL, The method call is invalid.\r\n"
            "Error in file: TextureHandler.cpp, function: TextureHandler::Render, line: 7. "
            "Description: Unknown, n/a.\r\n");
}

TEST(Log, CheckMacroReportsOnlyFailuresWithItsOwnFileAndLine) {
  const size_t before = logContents().size();
  OSTREL_CHECK_HR(S_OK, "Nothing");
  OSTREL_CHECK_HR(S_FALSE, "Nothing");
  const int line = __LINE__ + 1;
  OSTREL_CHECK_HR(E_OUTOFMEMORY, "TextureHandler::SetUpRenderStates");
  const std::string added = logContents().substr(before);
  EXPECT_EQ(added.find("Nothing"), std::string::npos);
  EXPECT_NE(added.find("LogTests.cpp, function: TextureHandler::SetUpRenderStates, line: " +
                       std::to_string(line) + ". Description: E_OUTOFMEMORY, Ran out of memory."),
            std::string::npos)
      << added;
}

// The names must match the codes the platform headers give them; a wrong
// number in the table would name a failure falsely in every report.
TEST(ResultCodes, NamesMatchThePlatformHeaders) {
  struct Expected { HRESULT code; const char* name; };
  const Expected codes[] = {
      {S_OK, "S_OK"}, {E_FAIL, "E_FAIL"}, {E_INVALIDARG, "E_INVALIDARG"},
      {E_OUTOFMEMORY, "E_OUTOFMEMORY"}, {E_NOTIMPL, "E_NOTIMPL"}, {E_NOINTERFACE, "E_NOINTERFACE"},
      {E_POINTER, "E_POINTER"}, {E_ABORT, "E_ABORT"}, {E_ACCESSDENIED, "E_ACCESSDENIED"},
      {E_UNEXPECTED, "E_UNEXPECTED"}, {E_HANDLE, "E_HANDLE"},
      {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "ERROR_FILE_NOT_FOUND"},
      {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), "ERROR_PATH_NOT_FOUND"},
      {CO_E_NOTINITIALIZED, "CO_E_NOTINITIALIZED"}, {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
      {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"}, {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET"},
      {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"}, {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
      {D3DERR_WASSTILLDRAWING, "D3DERR_WASSTILLDRAWING"}, {D3DERR_DEVICEREMOVED, "D3DERR_DEVICEREMOVED"},
      {D3DXERR_INVALIDDATA, "D3DXERR_INVALIDDATA"}, {D3DXERR_INVALIDMESH, "D3DXERR_INVALIDMESH"},
      {WINCODEC_ERR_COMPONENTNOTFOUND, "WINCODEC_ERR_COMPONENTNOTFOUND"},
      {WINCODEC_ERR_UNKNOWNIMAGEFORMAT, "WINCODEC_ERR_UNKNOWNIMAGEFORMAT"},
  };
  for (const auto& c : codes) {
    EXPECT_STREQ(resultName(c.code), c.name);
    EXPECT_STRNE(resultDescription(c.code), "n/a") << c.name;
  }
  EXPECT_STREQ(resultName(0x7FFFFFFF), "Unknown");
  EXPECT_STREQ(resultDescription(0x7FFFFFFF), "n/a");
}
