#pragma once
// The image file of each layer of the car damage diagram. Windows-free.
namespace ostrel {

// File name (with extension) of layer 0..87; "" for any other index.
const char* partFileName(int part);

}  // namespace ostrel
