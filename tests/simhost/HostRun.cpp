#include "HostRun.h"

#include "TextFiles.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <d3d9.h>
#include <d3dx9.h>

#include "D3DTestDevice.h"
#include "TestPaths.h"

namespace fs = std::filesystem;

namespace simhost_test {

std::string stageDir() { return testing_support::buildDir() + "\\simhost\\stage"; }
std::string probeDll() { return testing_support::buildDir() + "\\tests\\simhost\\simhost_probe.dll"; }

std::string makeGameFolder(const std::string& name, const std::string& plugin) {
  fs::path folder = fs::absolute(fs::path(name));
  fs::remove_all(folder);
  fs::copy(fs::path(stageDir()), folder, fs::copy_options::recursive);
  fs::remove(folder / "Plugins" / "OSTREL.dll");
  if (!plugin.empty()) fs::copy_file(fs::path(plugin), folder / "Plugins" / "OSTREL.dll");
  return folder.string();
}

RunResult runHost(const std::string& gameFolder, const std::string& scenarioText, const std::string& extraArgs,
                  unsigned limitSeconds) {
  RunResult result;
  {
    std::ofstream(gameFolder + "\\scenario.txt", std::ios::binary) << scenarioText;
  }
  std::string outputPath = gameFolder + "\\host-output.txt";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = output;
  si.hStdError = output;
  std::string exe = gameFolder + "\\simhost.exe";
  std::string command = "\"" + exe + "\" scenario.txt out " + extraArgs;
  PROCESS_INFORMATION pi{};
  if (CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, gameFolder.c_str(), &si, &pi)) {
    // A hang guard, longer where 32-bit code runs emulated (the test's
    // environment says how much).
    const char* scale = std::getenv("OSTREL_TIME_SCALE");
    const int times = scale ? std::atoi(scale) : 1;
    const DWORD limit = limitSeconds * 1000u * static_cast<DWORD>(times > 1 ? times : 1);
    const ULONGLONG start = GetTickCount64();
    if (WaitForSingleObject(pi.hProcess, limit) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, kHangExitCode);
    result.seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    result.exitCode = code;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(output);
  result.output = readFile(outputPath);
  return result;
}

std::string readFile(const std::string& path) { return testing_support::readWholeFile(path); }

Image loadPng(const std::string& path) {
  Image image;
  // A device of its own, gone again before the next host run. One kept for
  // the whole program left its window open during the host runs, and on a
  // loaded machine the plug-in then counted a Home press twice.
  testing_support::D3DTestDevice dev(64, 64);
  D3DXIMAGE_INFO info{};
  if (!dev.ok() || FAILED(D3DXGetImageInfoFromFileA(path.c_str(), &info))) return image;
  IDirect3DSurface9* surface = nullptr;
  if (FAILED(dev.device()->CreateOffscreenPlainSurface(info.Width, info.Height, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
                                                       &surface, nullptr)))
    return image;
  if (SUCCEEDED(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, path.c_str(), nullptr, D3DX_FILTER_NONE, 0,
                                         nullptr))) {
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
      image.width = info.Width;
      image.height = info.Height;
      image.pixels.resize(static_cast<size_t>(info.Width) * info.Height);
      for (UINT y = 0; y < info.Height; ++y)
        memcpy(&image.pixels[static_cast<size_t>(y) * info.Width], static_cast<char*>(lr.pBits) + y * lr.Pitch,
               info.Width * 4);
      surface->UnlockRect();
    }
  }
  surface->Release();
  return image;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l);
  }
  return out;
}

std::vector<std::string> cells(const std::string& row) {
  std::vector<std::string> out;
  std::istringstream in(row);
  std::string cell;
  while (std::getline(in, cell, ',')) out.push_back(cell);
  if (!row.empty() && row.back() == ',') out.push_back("");
  return out;
}

bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace simhost_test
