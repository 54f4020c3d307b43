#include "picture/oriented_picture.h"

#include <algorithm>
#include <utility>

namespace pictavo {
namespace {

quint32 *row(DecodedPicture &p, int y)
{
    return reinterpret_cast<quint32 *>(p.pixels.data() + qsizetype(y) * p.bytesPerLine);
}

void mirrorRows(DecodedPicture &p)
{
    for (int y = 0; y < p.size.height(); ++y) {
        quint32 *r = row(p, y);
        std::reverse(r, r + p.size.width());
    }
}

void mirrorColumns(DecodedPicture &p)
{
    for (int top = 0, bottom = p.size.height() - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(row(p, top), row(p, top) + p.size.width(), row(p, bottom));
}

// Output pixel (x, y) of a turn that swaps axes, read from the stored picture:
//   Transpose (x, y) <- (y, x)            Rotate90   (x, y) <- (y, H-1-x)
//   Transverse (x, y) <- (W-1-y, H-1-x)   Rotate270  (x, y) <- (W-1-y, x)
DecodedPicture swapAxes(const DecodedPicture &in, Orientation o)
{
    const int W = in.size.width(), H = in.size.height();
    DecodedPicture out = in;
    out.size = in.size.transposed();
    out.fullSize = in.fullSize.transposed();
    out.bytesPerLine = qsizetype(H) * 4;
    out.pixels = QByteArray(out.bytesPerLine * W, Qt::Uninitialized);
    const bool flipSourceX = o == Orientation::Transverse || o == Orientation::Rotate270;
    const bool flipSourceY = o == Orientation::Rotate90 || o == Orientation::Transverse;
    // Walks the stored rows in order (the cache-friendly side) and scatters each into a
    // column of the output: stored (sx, sy) lands at output (x, y) with x from sy, y from sx.
    for (int sy = 0; sy < H; ++sy) {
        const auto *src = reinterpret_cast<const quint32 *>(in.scanLine(sy));
        const int x = flipSourceY ? H - 1 - sy : sy;
        for (int sx = 0; sx < W; ++sx) {
            const int y = flipSourceX ? W - 1 - sx : sx;
            row(out, y)[x] = src[sx];
        }
    }
    return out;
}

} // namespace

DecodedPicture orientPicture(DecodedPicture picture, Orientation orientation)
{
    if (picture.isNull())
        return picture;
    switch (orientation) {
    case Orientation::Upright:
        break;
    case Orientation::MirrorX:
        mirrorRows(picture);
        break;
    case Orientation::Rotate180:
        mirrorRows(picture);
        mirrorColumns(picture);
        break;
    case Orientation::MirrorY:
        mirrorColumns(picture);
        break;
    case Orientation::Transpose:
    case Orientation::Rotate90:
    case Orientation::Transverse:
    case Orientation::Rotate270: {
        DecodedPicture turned = swapAxes(picture, orientation);
        picture = DecodedPicture(); // the stored pixels go before the caller sees the result
        return turned;
    }
    }
    return picture;
}

} // namespace pictavo
