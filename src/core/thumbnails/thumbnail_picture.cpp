#include "thumbnails/thumbnail_picture.h"

#include "picture/exif_orientation.h"
#include "picture/oriented_picture.h"

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

quint32 average(quint32 r, quint32 g, quint32 b, quint32 total)
{
    const quint32 half = total / 2;
    return 0xff000000u | (r + half) / total << 16 | (g + half) / total << 8 | (b + half) / total;
}

// Each line of `in` (width inW) averaged into a line of `out` (width outW), in order.
void shrinkAcross(const DecodedPicture &in, DecodedPicture &out)
{
    const int inW = in.size.width(), outW = out.size.width();
    const std::vector<Tap> table = taps(inW, outW);
    for (int y = 0; y < in.size.height(); ++y) {
        const auto *src = reinterpret_cast<const quint32 *>(in.scanLine(y));
        auto *dst = reinterpret_cast<quint32 *>(out.pixels.data() + y * out.bytesPerLine);
        for (int x = 0; x < outW; ++x) {
            const Tap &tap = table[size_t(x)];
            quint32 r = 0, g = 0, b = 0;
            const quint32 *p = src + tap.first;
            for (const int w : tap.weights) {
                r += ((*p >> 16) & 0xff) * quint32(w);
                g += ((*p >> 8) & 0xff) * quint32(w);
                b += (*p & 0xff) * quint32(w);
                ++p;
            }
            dst[x] = average(r, g, b, quint32(inW));
        }
    }
}

// The lines of `in` averaged into the fewer lines of `out`, a whole line at a time, so
// that memory is read in order.
void shrinkDown(const DecodedPicture &in, DecodedPicture &out)
{
    const int width = out.size.width(), inH = in.size.height();
    const std::vector<Tap> table = taps(inH, out.size.height());
    std::vector<quint32> sums(size_t(width) * 3);
    for (int y = 0; y < out.size.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const Tap &tap = table[size_t(y)];
        for (size_t i = 0; i < tap.weights.size(); ++i) {
            const auto *src = reinterpret_cast<const quint32 *>(in.scanLine(tap.first + int(i)));
            const auto w = quint32(tap.weights[i]);
            for (int x = 0; x < width; ++x) {
                sums[3 * size_t(x)] += ((src[x] >> 16) & 0xff) * w;
                sums[3 * size_t(x) + 1] += ((src[x] >> 8) & 0xff) * w;
                sums[3 * size_t(x) + 2] += (src[x] & 0xff) * w;
            }
        }
        auto *dst = reinterpret_cast<quint32 *>(out.pixels.data() + y * out.bytesPerLine);
        for (int x = 0; x < width; ++x)
            dst[x] = average(sums[3 * size_t(x)], sums[3 * size_t(x) + 1], sums[3 * size_t(x) + 2],
                             quint32(inH));
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
    shrinkAcross(picture, across);
    DecodedPicture result = blank(QSize(outW, outH));
    shrinkDown(across, result);
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
    // A photo: the next SIMD scale up from the smallest that covers (JpegDecoder::drawScale).
    // A picture that small already (a stored thumbnail): the smallest, often the very size.
    const int scale = header.size.width() > 2 * side || header.size.height() > 2 * side
                          ? JpegDecoder::drawScale(header.size, target)
                          : JpegDecoder::chooseScale(header.size, target);
    DecodedPicture decoded = decoder.decodeAt(jpeg, scale, progress);
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
