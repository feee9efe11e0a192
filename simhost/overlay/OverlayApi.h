#pragma once
// The tools' library, simhost_overlay.dll, as the host calls it: the functions
// it exports (C names, cdecl) and the notes it leaves for the host's call log.
//
// Code-patching overlay: a 5-byte jump over the first instructions of the
// device's Reset and Present, those instructions copied to a trampoline of its
// own. Its Reset hook lets go of its own default-pool render target before the
// call and makes it again after; its Present hook counts and fills that target.
// Taking the patches off writes the saved bytes back.
//
// Method-table tool: swaps the device's method-table entries for Reset and
// Present, its functions calling the entries they replaced (or, as bare jump
// stubs, jumping there).
struct IDirect3DDevice9;

extern "C" {
// Installs the overlay on the code of `device`'s class. 1: installed.
int simhostOverlayInstall(IDirect3DDevice9* device);
// The same from a thread of its own, started now; the patch is written while
// the caller runs on. Wait with simhostOverlayWait.
int simhostOverlayInstallFromThread(IDirect3DDevice9* device);
// Waits for the installing thread (milliseconds); 1 when it has finished.
int simhostOverlayWait(unsigned milliseconds);
// Writes the saved bytes back and releases the overlay's own objects. 1: removed.
int simhostOverlayRemove();
// Hook calls so far.
void simhostOverlayCounts(int* resets, int* presents);

// mode 0: functions that call the replaced entries; 1: bare jump stubs. 1: swapped.
int simhostMethodTableHook(IDirect3DDevice9* device, int mode);
// Puts the replaced entries back. 1: restored.
int simhostMethodTableUnhook();
void simhostMethodTableCounts(int* resets, int* presents);

// The next note for the host's call log into `text` (0: none left).
int simhostToolsNextNote(char* text, int size);
}
