#pragma once
// Start-up inside the host's first name query: everything that needs the
// running host (its memory, device and window) is postponed to that moment.

namespace ostrel {

// Runs on every QueryName call: logs the call and, the first time only,
// performs the start-up.
void runQueryNameStartup();

}  // namespace ostrel
