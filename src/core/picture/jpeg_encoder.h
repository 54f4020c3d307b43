#pragma once

#include "picture/decoded_picture.h"

#include <QByteArray>

namespace pictavo {

// Compresses a decoded picture (its pixels, at their size) into a baseline JPEG with
// libjpeg's compressor: 4:2:0, optimised Huffman tables. Empty when libjpeg refuses, which
// only a picture without pixels or a failed allocation makes it do. Only the thumbnails
// are ever encoded; the stored photos are kept as they came.
QByteArray encodeJpeg(const DecodedPicture &picture, int quality);

} // namespace pictavo
