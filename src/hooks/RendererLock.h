#pragma once
// One lock around the plug-in's work on the gauge renderers and the device
// objects they hold. Games made with a multithreaded device create textures
// on a loader thread and call Reset from their window thread while the main
// thread runs frames; without it the texture hook could rebind a renderer,
// or a Reset let go of its state block, in the middle of that renderer's
// frame.
//
// Held by the gauge frame, the texture hook's renderer work, the frame
// driver's drop and rebuild, and a Reset of the game's device. Never held
// while the host's own functions run (its per-frame and gauge functions, its
// texture function): a host that holds a lock of its own around them, and
// calls into the plug-in from a second thread while holding it, would
// otherwise deadlock with us. Recursive: a Reset redirect reached from inside
// a gauge frame (a proxy device) takes it again on the same thread.
namespace ostrel {

class RendererLock {
 public:
  RendererLock();
  ~RendererLock();
  RendererLock(const RendererLock&) = delete;
  RendererLock& operator=(const RendererLock&) = delete;
};

}  // namespace ostrel
