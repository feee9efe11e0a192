#pragma once
// Start-up on the host's first name query: by then the host's window and
// device exist. Runs once; every call writes its log line.
#include <string>
#include <vector>

namespace ostrel {

void runQueryNameStartup();

// Copies each missing path from its template (path + ".default").
void installDefaultFiles(const std::vector<std::string>& paths);
void loadHookConfiguration();
void collectGaugeTextures(const std::string& root);
void syncGaugeFolder(const std::string& name);
void syncTree(const std::string& from, const std::string& to);

}  // namespace ostrel
