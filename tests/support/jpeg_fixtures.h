#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// JPEG files made in memory with libjpeg's compressor, and ways to damage them, for the
// tests and the benchmarks. Plain C++, QtCore and libjpeg only.
namespace pictavo::fixtures {

struct JpegOptions
{
    int quality = 85;
    bool progressive = false;
    bool grayscale = false;
    // Four components the way Adobe writes them: an APP14 marker and inverted values.
    bool cmyk = false;
    // With cmyk: the four components transformed to YCCK, as Adobe does for photos.
    bool ycck = false;
    // With cmyk: false writes plain ink values and no APP14 marker.
    bool adobeMarker = true;
    // 4:4:4 instead of libjpeg's default 4:2:0 for colour files.
    bool fullChroma = false;
    // Grey grain of up to this many levels either way on every pixel, as a camera's sensor
    // leaves it: the brightness detail that makes camera files large (0: none).
    int grain = 0;
    // Changes the noise, so two files of one size differ byte for byte.
    quint32 seed = 1;
    // 0xRRGGBB: the whole picture in one colour instead of gradients and noise.
    std::optional<quint32> solid;
    // 0xRRGGBB: with solid, the top left quarter (x < width / 2, y < height / 2) in this
    // colour, so that a turned picture shows where its corner went.
    std::optional<quint32> markedCorner;
};

// A width x height JPEG of gradients with noise (or one colour); empty if libjpeg fails.
QByteArray makeJpeg(int width, int height, const JpegOptions &options = {});

// makeJpeg written to `path`; false when the file cannot be written.
bool makeTestJpegFile(const QString &path, int width, int height, const JpegOptions &options = {});

// One marker segment; a scan (SOS) includes the entropy-coded data after its header.
struct JpegSegment
{
    int marker = 0; // the byte after 0xFF: 0xD8 SOI, 0xC0 SOF0, 0xDA SOS, 0xD9 EOI...
    qsizetype offset = 0;
    qsizetype length = 0;
};

// The segments in file order, SOI first; stops at EOI or where the data stops making sense.
QList<JpegSegment> jpegSegments(const QByteArray &jpeg);

// Offset of the first frame header (SOFn) segment, or -1.
qsizetype frameHeaderOffset(const QByteArray &jpeg);

// The file with the frame header claiming width x height (both below 65536).
QByteArray withDimensions(const QByteArray &jpeg, int width, int height);

// The file with `count` bytes at or after `from` replaced by random ones.
QByteArray withCorruptedBytes(const QByteArray &jpeg, quint32 seed, int count, qsizetype from);

// The file with its last scan (and the tables just before it) repeated `times` more
// times: still decodable, but with as many scans as one likes.
QByteArray withRepeatedLastScan(const QByteArray &jpeg, int times);

// `length` bytes of noise from `seed`.
QByteArray randomBytes(quint32 seed, qsizetype length);

} // namespace pictavo::fixtures
