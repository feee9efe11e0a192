// Linked only into the test build OSTREL_faulting.dll, never into the shipped
// plug-in: the simulated host's `plugin-fault` line calls it, so that the
// plug-in's own code faults inside a frame and the crash trace can be checked.
extern "C" __declspec(dllexport) void OSTREL_FaultForTest() {
  // Through a volatile pointer, so the compiler keeps a real write to address
  // 0 (an access violation) rather than a trap instruction of its own.
  int* volatile nowhere = nullptr;
  *nowhere = 0x0BAD;
}
