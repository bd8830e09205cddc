#pragma once

// How the C library's allocator serves the program, set once, first thing in main() (and by
// the benchmarks that measure the program's memory or start-up):
// - Decoded pictures are large and come and go with the windows that show them and the image
//   cache that keeps them. By default the library keeps freed blocks for later, and after the
//   first large block is freed it keeps every later one up to 32 MB in its heaps: closing a
//   window would give nothing back. Every block from a quarter of a megabyte on gets a mapping
//   of its own instead, returned to the system as soon as it is freed.
// - A large store is read on several threads at once, and every growth of a heap takes a lock
//   that the whole process shares: heaps grow in steps of a few megabytes, not 128 KB.

namespace tanvill {

void setUpAllocator();

// Gives the memory freed inside the heaps back to the system. The library by itself gives back
// only what lies above the highest block still in use, so after a large graph of records is
// freed a few small blocks left high in a heap could keep tens of megabytes resident.
void giveBackFreedMemory();

} // namespace tanvill
