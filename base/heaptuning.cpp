#include "base/heaptuning.h"

// Any C library header defines __GLIBC__ where it is glibc.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace HeapTuning {

void apply()
{
#if defined(__GLIBC__)
    mallopt(M_MXFAST, 0);
#endif
}

} // namespace HeapTuning
