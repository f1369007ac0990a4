#pragma once

#include <cstddef>

// How many records ahead a walk over the records asks for the memory of the
// records it is about to read; nearer, the walk still waits on memory, much
// further, the memory asked for is gone again before it is read.
inline constexpr size_t kPrefetchAhead = 8;
