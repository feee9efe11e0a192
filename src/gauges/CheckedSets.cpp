#include "gauges/CheckedSets.h"

#include <cctype>
#include <set>

namespace ostrel::gauges {
namespace {

std::set<std::string>& loadedSets() {
  static std::set<std::string> sets;
  return sets;
}

}  // namespace

bool firstLoadOfSet(const std::string& definitionPath) {
  std::string key = definitionPath;
  for (char& c : key) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c == '\\') c = '/';
  }
  return loadedSets().insert(key).second;
}

void forgetLoadedSets() { loadedSets().clear(); }

}  // namespace ostrel::gauges
