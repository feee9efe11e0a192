#pragma once
// Gives back one COM reference, if held, and forgets the pointer: every path
// out of a function that acquired Direct3D or imaging objects ends with these.
#include <utility>

namespace ostrel {

template <typename T>
void releaseCom(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

// One COM reference held by an object that keeps it: given back when the
// holder goes, is reset or takes another. Moves, never copies.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { reset(); }
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  // A reference of its own on `p` (AddRef), the caller keeping theirs.
  static ComRef share(T* p) {
    ComRef r;
    r.p_ = p;
    if (p) p->AddRef();
    return r;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() { releaseCom(p_); }
  // Takes over a reference the caller had.
  void adopt(T* p) {
    reset();
    p_ = p;
  }
  // For a call that hands out a new reference: the one held goes first.
  T** out() {
    reset();
    return &p_;
  }
  // After such a call failed: what it left in the pointer is no reference.
  void forgetFailed() { p_ = nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace ostrel
