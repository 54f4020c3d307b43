#include "picture/picture_memory.h"

#include <malloc.h>

namespace pictavo {

void KeepPictureBuffersForReuse()
{
    // Below this, blocks come from the heap and are reused; a full-size decode (96 MB for
    // 24 megapixels) is rare and still mapped on its own.
    constexpr int kMapAbove = 64 << 20;
    // Free memory at a heap's top is returned to the kernel only beyond this, so a slide's
    // decode and scale fit between two photos without being released.
    constexpr int kReleaseAbove = 128 << 20;
    mallopt(M_MMAP_THRESHOLD, kMapAbove);
    mallopt(M_TRIM_THRESHOLD, kReleaseAbove);
}

} // namespace pictavo
