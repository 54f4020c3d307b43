#pragma once

#include "picture/decoded_picture.h"
#include "picture/exif_orientation.h"

namespace pictavo {

// The decode turned as the orientation says, so that it stands as the photo was taken.
// Sizes (size and fullSize) are turned with it; Upright hands the decode back as it is.
// The turn that swaps axes needs a second buffer while it runs; the others work in place.
DecodedPicture orientPicture(DecodedPicture picture, Orientation orientation);

} // namespace pictavo
