#pragma once

namespace pictavo {

// Lets the allocator keep the buffers of decoded photos for the next photo instead of
// handing each back to the kernel. A 24-megapixel photo decoded for a slide is a 24 MB
// buffer; by default each one is mapped fresh, and the kernel clears every page of it
// before the decoder writes it again. Called once at start-up, before any thread starts.
void KeepPictureBuffersForReuse();

} // namespace pictavo
