#include "thumbnails/thumbnail_picture.h"

#include "main/exif_orientation.h"
#include "main/oriented_picture.h"

#include <algorithm>
#include <vector>

namespace pictavo {
namespace {

// Output pixel o of `outCount` covers input units [o * inCount, (o + 1) * inCount), where
// each input pixel is `outCount` units wide: whole numbers, so the weights are exact.
struct Tap
{
    int first = 0;
    std::vector<int> weights; // of inputs first, first + 1, ...; they add up to inCount
};

std::vector<Tap> taps(int inCount, int outCount)
{
    std::vector<Tap> result(static_cast<size_t>(outCount), Tap());
    for (int o = 0; o < outCount; ++o) {
        const qint64 start = qint64(o) * inCount, end = start + inCount;
        Tap &tap = result[size_t(o)];
        tap.first = int(start / outCount);
        for (qint64 i = tap.first; i * outCount < end; ++i) {
            const qint64 from = std::max(start, i * outCount);
            const qint64 to = std::min(end, (i + 1) * outCount);
            tap.weights.push_back(int(to - from));
        }
    }
    return result;
}

// Averages along one direction: `count` lines of `inCount` pixels each become lines of
// `outCount`; `step` is the distance of neighbouring pixels in a line and `lineStep` that
// of neighbouring lines, in words, for the input and the output alike.
void shrinkLines(const quint32 *in, qsizetype inStep, qsizetype inLineStep, quint32 *out,
                 qsizetype outStep, qsizetype outLineStep, int count, int inCount, int outCount)
{
    const std::vector<Tap> table = taps(inCount, outCount);
    const quint32 half = quint32(inCount) / 2;
    for (int line = 0; line < count; ++line) {
        const quint32 *src = in + line * inLineStep;
        quint32 *dst = out + line * outLineStep;
        for (int o = 0; o < outCount; ++o) {
            const Tap &tap = table[size_t(o)];
            quint32 r = 0, g = 0, b = 0;
            const quint32 *p = src + tap.first * inStep;
            for (const int w : tap.weights) {
                r += ((*p >> 16) & 0xff) * quint32(w);
                g += ((*p >> 8) & 0xff) * quint32(w);
                b += (*p & 0xff) * quint32(w);
                p += inStep;
            }
            const auto avg = [&](quint32 sum) { return (sum + half) / quint32(inCount); };
            dst[o * outStep] = 0xff000000u | avg(r) << 16 | avg(g) << 8 | avg(b);
        }
    }
}

DecodedPicture blank(QSize size)
{
    DecodedPicture picture;
    picture.size = picture.fullSize = size;
    picture.bytesPerLine = qsizetype(size.width()) * 4;
    picture.pixels = QByteArray(picture.bytesPerLine * size.height(), Qt::Uninitialized);
    return picture;
}

} // namespace

QSize thumbnailSize(QSize size, int side)
{
    if (size.width() <= side && size.height() <= side)
        return size.expandedTo(QSize(1, 1));
    const bool wide = size.width() >= size.height();
    const qint64 longer = wide ? size.width() : size.height();
    const qint64 shorter = wide ? size.height() : size.width();
    const int scaled = int(std::max<qint64>(1, (shorter * side + longer / 2) / longer));
    return wide ? QSize(side, scaled) : QSize(scaled, side);
}

DecodedPicture shrinkPicture(const DecodedPicture &picture, QSize target)
{
    if (picture.size == target) {
        DecodedPicture same = picture;
        same.fullSize = target;
        same.scaleEighths = 8;
        return same;
    }
    const int inW = picture.size.width(), inH = picture.size.height();
    const int outW = std::min(target.width(), inW), outH = std::min(target.height(), inH);
    // Across first, into a picture of the new width and the old height; then down.
    DecodedPicture across = blank(QSize(outW, inH));
    shrinkLines(reinterpret_cast<const quint32 *>(picture.pixels.constData()), 1,
                picture.bytesPerLine / 4, reinterpret_cast<quint32 *>(across.pixels.data()), 1,
                across.bytesPerLine / 4, inH, inW, outW);
    DecodedPicture result = blank(QSize(outW, outH));
    shrinkLines(reinterpret_cast<const quint32 *>(across.pixels.constData()),
                across.bytesPerLine / 4, 1, reinterpret_cast<quint32 *>(result.pixels.data()),
                result.bytesPerLine / 4, 1, outW, inH, outH);
    result.warningCount = picture.warningCount;
    result.firstWarning = picture.firstWarning;
    return result;
}

DecodedPicture decodeThumbnail(const JpegDecoder &decoder, const QByteArray &jpeg, int side,
                               const DecodeProgress &progress)
{
    const JpegHeader header = decoder.probe(jpeg);
    // A square box fits the stored picture as it fits the turned one, turned.
    const QSize target = thumbnailSize(header.size, side);
    // The next SIMD scale up from the smallest that covers: see JpegDecoder::drawScale.
    DecodedPicture decoded =
        decoder.decodeAt(jpeg, JpegDecoder::drawScale(header.size, target), progress);
    return orientPicture(shrinkPicture(decoded, target), readExifOrientation(jpeg));
}

DecodedPicture thumbnailOfDecode(const DecodedPicture &upright, int side)
{
    const QSize target = thumbnailSize(upright.fullSize, side);
    if (upright.isNull() || upright.size.width() < target.width() ||
        upright.size.height() < target.height())
        return DecodedPicture();
    return shrinkPicture(upright, target);
}

} // namespace pictavo
