#pragma once

// How the program asks the C library's allocator to behave.
namespace HeapTuning {

// With glibc, small freed blocks wait in "fast bins" until a larger
// allocation merges them all at once. Taking down a grid of thousands of
// cards frees hundreds of thousands of small blocks; the next picture's
// allocation then merged them in one go and held the GUI thread 60 ms.
// Without fast bins each free merges its block as it goes. Elsewhere
// (the Windows heap) nothing changes. Call first thing in main.
void apply();

} // namespace HeapTuning
