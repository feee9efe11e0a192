// Linked only into the test build OSTREL_faulting.dll, never into the shipped
// plug-in: the simulated host's `plugin-fault` line calls it, so that the
// plug-in's own code faults inside a frame and the crash trace can be checked.
extern "C" __declspec(dllexport) void OSTREL_FaultForTest() {
  // C7 05 00000000 AD0B0000: MOV DWORD PTR [0], 0xBAD, an access violation.
  // Written out, since the compiler may drop a plain null write as undefined.
  __asm__ volatile("movl $0xBAD, 0x0" ::: "memory");
}
