#pragma once

#include "base/error.h"
#include "picture/decoded_picture.h"

#include <QByteArray>
#include <QSize>
#include <functional>

namespace pictavo {

// A JPEG that cannot be decoded. The text is libjpeg's own message ("Not a JPEG file:
// starts with 0x89 0x50") or one of ours for limits libjpeg does not know about.
class DecodeError : public Error
{
public:
    using Error::Error;
};

// What the frame header says, read without decoding any pixels.
struct JpegHeader
{
    QSize size;
    int components = 0;
    bool progressive = false;
};

// Percent done, 0 to 100, strictly increasing during one decode; 100 ends a complete one.
// May throw: the decode is then abandoned and the exception passed on.
using DecodeProgress = std::function<void(int percent)>;

// Bounds that keep a hostile file from exhausting memory or time.
struct DecodeLimits
{
    // Pixels at full size, 4 bytes each; a larger image is refused after its header.
    qint64 maxPixelBytes = qint64(512) * 1024 * 1024;
    // libjpeg's own working memory (the whole-image coefficient buffers of progressive
    // and multi-scan files). libjpeg cannot spill to disk here, so a file that needs
    // more is refused as too large.
    qint64 maxLibraryBytes = qint64(512) * 1024 * 1024;
    // Each scan of a progressive file passes over the whole image; real files have a
    // dozen or so. Crafted files with thousands of scans only burn time.
    int maxScans = 500;
};

// Decodes JPEG data held in memory through the libjpeg API.
class JpegDecoder
{
public:
    JpegDecoder() = default;
    explicit JpegDecoder(const DecodeLimits &limits) : m_limits(limits) {}

    JpegHeader probe(const QByteArray &jpeg) const;

    // Decodes at the smallest DCT scale whose output covers `target` (see chooseScale).
    // Throws DecodeError; recoverable damage is reported in the result's warnings.
    // `reusablePixels`, when given, is a spare buffer of the caller's (an earlier
    // decode's pixels): taken for the output when nobody else holds it and it is large
    // enough, which saves faulting in fresh memory. Each caller keeps its own, so decoders
    // on several threads never share one.
    DecodedPicture decode(const QByteArray &jpeg, QSize target = QSize(),
                          const DecodeProgress &progress = {},
                          QByteArray *reusablePixels = nullptr) const;
    // The same at scale M/8, 1 to 8, whatever the picture's size.
    DecodedPicture decodeAt(const QByteArray &jpeg, int scaleEighths,
                            const DecodeProgress &progress = {},
                            QByteArray *reusablePixels = nullptr) const;

    // The M of the smallest scale M/8 whose output, ceil(W * M / 8) by ceil(H * M / 8),
    // is at least `target` in both directions; 8 (full size) when none smaller is.
    // A target of 0 x 0 (or an invalid one) asks for full size; a single dimension
    // of 0 or less sets no bound in that direction.
    static int chooseScale(QSize fullSize, QSize target);

    // The M a picture drawn at `target` is decoded at: chooseScale's, raised to the next of
    // 1, 2, 4 and 8, the scales whose inverse DCT libjpeg-turbo runs in SIMD code. The
    // larger decode and the scale down to `target` together take less time than the
    // smaller decode and its scale (3/8 against 4/8 is printed by bench_slideshow).
    static int drawScale(QSize fullSize, QSize target);

    // The output size libjpeg produces for `fullSize` at scale M/8.
    static QSize scaledSize(QSize fullSize, int scaleEighths);

private:
    DecodeLimits m_limits;
};

} // namespace pictavo
