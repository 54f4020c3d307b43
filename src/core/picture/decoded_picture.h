#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace pictavo {

// One decode of a JPEG. The pixels are 32-bit words 0xffRRGGBB in native byte order,
// rows padded to four bytes, so the window layer can wrap them as a 32-bit RGB image
// without converting. At a reduced DCT scale `size` is smaller than `fullSize`; drawing
// always fits by `fullSize` and stretches these pixels, so the scale never shows.
struct DecodedPicture
{
    QSize fullSize;       // as declared by the frame header
    QSize size;           // of the pixels below
    int scaleEighths = 8; // the decode ran at scaleEighths / 8
    qsizetype bytesPerLine = 0;
    QByteArray pixels;    // size.height() * bytesPerLine bytes
    int warningCount = 0; // damaged data libjpeg recovered from (e.g. a truncated file)
    QString firstWarning; // libjpeg's text for the first of them

    bool isNull() const { return pixels.isEmpty(); }
    bool isFullSize() const { return !isNull() && size == fullSize; }
    const uchar *scanLine(int y) const
    {
        return reinterpret_cast<const uchar *>(pixels.constData()) + y * bytesPerLine;
    }
    // 0xffRRGGBB of one pixel; for tests and spot checks, not for drawing loops.
    quint32 pixel(int x, int y) const { return reinterpret_cast<const quint32 *>(scanLine(y))[x]; }
};

} // namespace pictavo
