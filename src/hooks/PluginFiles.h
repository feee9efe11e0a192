#pragma once
// The plug-in folder's files as start-up meets them: paths cross between the
// plug-in's narrow (ANSI) texts and the file system here only, so a folder
// named in the code page's other letters is found; every file-system step
// reports its failure with the path and lets start-up go on, since a locked
// or unreadable folder must not stop the game.
#include <filesystem>
#include <string>
#include <system_error>

namespace ostrel::plugin_files {

// The plug-in folder joined with `sub`.
std::string folderPath(const char* sub);
std::filesystem::path pathOf(const std::string& ansi);
std::string textOf(const std::filesystem::path& path);
void logFsError(const char* what, const std::string& path, const std::error_code& ec);
bool exists(const std::string& path);

}  // namespace ostrel::plugin_files
