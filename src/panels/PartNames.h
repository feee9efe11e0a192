#pragma once
// What the damaged part table calls each part. Windows-free.
namespace ostrel {

// Display name of single part 21..87; a fallback name for any other index.
const char* partName(int part);

}  // namespace ostrel
