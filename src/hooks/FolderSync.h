#pragma once
// The plug-in's own files at start-up: defaults installed from their
// templates, and gauge folders brought up to their templates (settings files
// merged, other files replaced once, the player's version kept as a backup).
#include <string>
#include <vector>

namespace ostrel {

// Copies each missing path from its template (path + ".default").
void installDefaultFiles(const std::vector<std::string>& paths);
void syncGaugeFolder(const std::string& name);
void syncTree(const std::string& from, const std::string& to);

}  // namespace ostrel
