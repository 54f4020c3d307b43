#pragma once

#include "picture/decoded_picture.h"
#include "picture/jpeg_decoder.h"

#include <QByteArray>
#include <QSize>

namespace pictavo {

// The longer side of a stored thumbnail, and of one drawn in the thumbnail window.
constexpr int kThumbnailSide = 256;
constexpr int kShownThumbnailSide = 160;
// Around 10 KB for a busy 256 x 192 picture.
constexpr int kThumbnailQuality = 80;

// `size` fitted into side x side, never enlarged, at least 1 x 1.
QSize thumbnailSize(QSize size, int side);

// The picture made `target` in size by averaging the pixels each new one covers (target
// no larger than the picture in either direction); the picture itself when it is that
// size already. Its sizes (size and fullSize) are then both `target`.
DecodedPicture shrinkPicture(const DecodedPicture &picture, QSize target);

// The photo as a thumbnail of at most `side` pixels a side, upright as its EXIF
// orientation says: decoded at the smallest DCT scale that covers that size (1/8 for a
// camera photo) and shrunk. Throws DecodeError, and whatever `progress` throws.
DecodedPicture decodeThumbnail(const JpegDecoder &decoder, const QByteArray &jpeg, int side,
                               const DecodeProgress &progress = {});

// The same from a decode already made of the photo, upright (an import's preview), when it
// has pixels enough; null when it has not.
DecodedPicture thumbnailOfDecode(const DecodedPicture &upright, int side);

} // namespace pictavo
