#pragma once
// Gives back one COM reference, if held, and forgets the pointer: every path
// out of a function that acquired Direct3D or imaging objects ends with these.
namespace ostrel {

template <typename T>
void releaseCom(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace ostrel
