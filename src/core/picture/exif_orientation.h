#pragma once

#include <QByteArray>
#include <QSize>

namespace pictavo {

// How a camera says its pixels are to be turned for display: the EXIF Orientation tag,
// 1 (as stored) to 8. Anything else, and a file without the tag, reads as 1.
//   1 as stored          2 mirrored left-right     3 turned half round
//   4 mirrored top-down  5 mirrored on the main diagonal
//   6 turned a quarter clockwise                   7 mirrored on the other diagonal
//   8 turned a quarter anticlockwise
enum class Orientation
{
    Upright = 1,
    MirrorX = 2,
    Rotate180 = 3,
    MirrorY = 4,
    Transpose = 5,
    Rotate90 = 6,
    Transverse = 7,
    Rotate270 = 8,
};

// Reads the tag from the first Exif APP1 segment before the first scan. Every length and
// offset in the file is checked against the bytes that are really there, and the walk
// is bounded by the data, so a damaged or hostile segment reads as Upright.
Orientation readExifOrientation(const QByteArray &jpeg);

// True for the orientations that swap width and height.
inline bool swapsAxes(Orientation o)
{
    return o >= Orientation::Transpose;
}

// The size of a picture of `stored` size once turned as `o` says.
inline QSize orientedSize(QSize stored, Orientation o)
{
    return swapsAxes(o) ? stored.transposed() : stored;
}

} // namespace pictavo
