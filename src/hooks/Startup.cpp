// Interim start-up: only the per-call log line, until the host hooks land.
#include "hooks/Startup.h"

#include "plugin/FixedText.h"
#include "plugin/Log.h"

namespace ostrel {

void runQueryNameStartup() { logText(FT("QueryName called")); }

}  // namespace ostrel
