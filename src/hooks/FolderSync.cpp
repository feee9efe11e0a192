#include "hooks/FolderSync.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "hooks/PluginFiles.h"
#include "plugin/FixedText.h"
#include "plugin/Log.h"
#include "plugin/Settings.h"
#include "plugin/WideText.h"

namespace fs = std::filesystem;

namespace ostrel {
namespace {

using namespace plugin_files;

bool sameContents(const fs::path& a, const fs::path& b) {
  std::error_code ea, eb;
  const auto size = fs::file_size(a, ea);
  if (ea || size != fs::file_size(b, eb) || eb) return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  if (!fa || !fb) return false;
  char ba[4096], bb[4096];
  while (fa && fb) {
    fa.read(ba, sizeof ba);
    fb.read(bb, sizeof bb);
    if (fa.gcount() != fb.gcount() || std::memcmp(ba, bb, static_cast<std::size_t>(fa.gcount())) != 0) return false;
  }
  return fa.eof() && fb.eof();
}

// The template replaces the player's file, which is kept as `backup`, with
// no half state left by a failure on the way: the template is copied beside
// the target first (a locked template or a full disk stops here, nothing
// changed), then the player's file moves to the backup and the copy into its
// place; if that last move fails, the player's file is put back.
void replaceKeepingBackup(const fs::path& from, const fs::path& dest, const fs::path& backup) {
  const fs::path incoming = dest.wstring() + widen(FT(".new"));
  std::error_code e;
  fs::copy_file(from, incoming, fs::copy_options::overwrite_existing, e);
  if (e) {
    logFsError(FT("Gauge templates: cannot copy to "), textOf(dest), e);
    fs::remove(incoming, e);
    return;
  }
  fs::rename(dest, backup, e);
  if (e) {
    logFsError(FT("Gauge templates: cannot back up "), textOf(dest), e);
    fs::remove(incoming, e);
    return;
  }
  fs::rename(incoming, dest, e);
  if (!e) return;
  logFsError(FT("Gauge templates: cannot copy to "), textOf(dest), e);
  std::error_code undo;
  fs::rename(backup, dest, undo);
  if (undo) logFsError(FT("Gauge templates: the player's file stays as "), textOf(backup), undo);
  fs::remove(incoming, undo);
}

}  // namespace

void installDefaultFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (exists(path)) continue;
    const std::string templatePath = path + FT(".default");
    if (!exists(templatePath)) continue;
    std::error_code ec;
    // Folders come with everything in them: the damage texture set lives a
    // level below its folder.
    fs::copy(pathOf(templatePath), pathOf(path), fs::copy_options::recursive, ec);
    if (ec)
      logFsError(FT("Default files: could not install "), path, ec);
    else
      logText(std::string(FT("Default files: installed ")) + path);
  }
}

void syncTree(const std::string& from, const std::string& to) {
  std::error_code ec;
  fs::directory_iterator it(pathOf(from), ec), end;
  if (ec) {
    logFsError(FT("Gauge templates: cannot list "), from, ec);
    return;
  }
  for (; it != end; it.increment(ec)) {
    const fs::path dest = pathOf(to) / it->path().filename();
    std::error_code e;
    if (it->is_regular_file(e)) {
      if (!fs::exists(dest, e)) continue;  // files are never added to a target
      if (dest.extension() == FT(".ini")) {
        mergeSettingsFile(textOf(it->path()), textOf(dest));
        continue;
      }
      // A file the template does not change stays as it is: backing up an
      // identical copy would use up the one backup before a release changes it.
      if (sameContents(it->path(), dest)) continue;
      const fs::path backup = dest.wstring() + widen(FT(".bak"));
      if (fs::exists(backup, e)) continue;  // replaced once already
      replaceKeepingBackup(it->path(), dest, backup);
    } else if (it->is_directory(e) && fs::exists(dest, e)) {
      syncTree(textOf(it->path()), textOf(dest));
    }
  }
  if (ec) logFsError(FT("Gauge templates: listing stopped early in "), from, ec);
}

void syncGaugeFolder(const std::string& name) {
  const std::string templateTree = folderPath(FT("GaugeTemplates")) + FT("\\") + name;
  const std::string targetTree = folderPath(FT("Gauges")) + FT("\\") + name;
  if (exists(targetTree)) syncTree(templateTree, targetTree);
}

}  // namespace ostrel
