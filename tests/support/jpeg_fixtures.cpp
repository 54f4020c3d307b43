#include "support/jpeg_fixtures.h"

#include <QFile>
#include <QtDebug>
#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace pictavo::fixtures {
namespace {

// Small, fast and the same everywhere, unlike the standard distributions.
struct XorShift
{
    quint32 state;
    explicit XorShift(quint32 seed) : state(seed * 2654435761u + 0x9e3779b9u)
    {
        if (state == 0)
            state = 1;
    }
    quint32 next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

uchar clampByte(int v)
{
    return uchar(std::clamp(v, 0, 255));
}

// One pixel of the test picture: diagonal gradients, a soft pattern and noise.
void pictureRgb(int x, int y, int width, int height, XorShift &rng, int rgb[3])
{
    const int noise = int(rng.next() % 49) - 24;
    const int fx = width > 1 ? x * 255 / (width - 1) : 0;
    const int fy = height > 1 ? y * 255 / (height - 1) : 0;
    const int pattern = ((x / 8 + y / 8) % 2) * 24;
    rgb[0] = fx + noise;
    rgb[1] = fy - noise / 2 + pattern;
    rgb[2] = (fx + fy) / 2 + noise / 3;
}

void rowSamples(int y, int width, int height, const JpegOptions &o, XorShift &rng, uchar *out)
{
    for (int x = 0; x < width; ++x) {
        int rgb[3];
        if (o.solid) {
            const bool marked = o.markedCorner && x < width / 2 && y < height / 2;
            const quint32 colour = marked ? *o.markedCorner : *o.solid;
            rgb[0] = int((colour >> 16) & 0xff);
            rgb[1] = int((colour >> 8) & 0xff);
            rgb[2] = int(colour & 0xff);
        } else {
            pictureRgb(x, y, width, height, rng, rgb);
            if (o.grain > 0) {
                const int grain = int(rng.next() % unsigned(2 * o.grain + 1)) - o.grain;
                for (int &channel : rgb)
                    channel += grain;
            }
        }
        const int r = clampByte(rgb[0]), g = clampByte(rgb[1]), b = clampByte(rgb[2]);
        if (o.grayscale) {
            out[x] = uchar((r * 77 + g * 150 + b * 29) >> 8);
        } else if (o.cmyk) {
            // Naive separation: black takes the common part, the inks the rest.
            const int k = 255 - std::max({r, g, b});
            const int ink[4] = {
                k == 255 ? 0 : (255 - r - k) * 255 / (255 - k),
                k == 255 ? 0 : (255 - g - k) * 255 / (255 - k),
                k == 255 ? 0 : (255 - b - k) * 255 / (255 - k),
                k,
            };
            for (int c = 0; c < 4; ++c)
                out[4 * x + c] = uchar(o.adobeMarker ? 255 - ink[c] : ink[c]);
        } else {
            out[3 * x] = uchar(r);
            out[3 * x + 1] = uchar(g);
            out[3 * x + 2] = uchar(b);
        }
    }
}

struct Compression
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    std::jmp_buf jump;
    unsigned char *buffer;
    unsigned long size;
};

[[noreturn]] void onCompressError(j_common_ptr cinfo)
{
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    qWarning("makeJpeg: %s", text);
    std::longjmp(static_cast<Compression *>(cinfo->client_data)->jump, 1);
}

// The frame that calls setjmp holds no object with a destructor.
bool compress(Compression &c, int width, int height, const JpegOptions &o, uchar *row)
{
    if (setjmp(c.jump))
        return false;
    jpeg_create_compress(&c.cinfo);
    c.cinfo.client_data = &c;
    jpeg_mem_dest(&c.cinfo, &c.buffer, &c.size);
    c.cinfo.image_width = JDIMENSION(width);
    c.cinfo.image_height = JDIMENSION(height);
    c.cinfo.input_components = o.grayscale ? 1 : o.cmyk ? 4 : 3;
    c.cinfo.in_color_space = o.grayscale ? JCS_GRAYSCALE : o.cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    if (o.cmyk) {
        jpeg_set_colorspace(&c.cinfo, o.ycck ? JCS_YCCK : JCS_CMYK);
        c.cinfo.write_Adobe_marker = o.adobeMarker || o.ycck;
    }
    if (o.fullChroma) {
        for (int i = 0; i < c.cinfo.num_components; ++i)
            c.cinfo.comp_info[i].h_samp_factor = c.cinfo.comp_info[i].v_samp_factor = 1;
    }
    jpeg_set_quality(&c.cinfo, o.quality, TRUE);
    if (o.progressive)
        jpeg_simple_progression(&c.cinfo);
    jpeg_start_compress(&c.cinfo, TRUE);
    XorShift rng(o.seed);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        rowSamples(int(c.cinfo.next_scanline), width, height, o, rng, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&c.cinfo, rows, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return true;
}

bool isFrameHeader(int marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

int byteAt(const QByteArray &data, qsizetype i)
{
    return uchar(data.at(i));
}

} // namespace

QByteArray makeJpeg(int width, int height, const JpegOptions &options)
{
    Compression c{};
    c.cinfo.err = jpeg_std_error(&c.err);
    c.err.error_exit = onCompressError;
    std::vector<uchar> row(size_t(std::max(width, 1)) * 4);
    const bool ok = compress(c, width, height, options, row.data());
    QByteArray result;
    if (ok)
        result = QByteArray(reinterpret_cast<const char *>(c.buffer), qsizetype(c.size));
    jpeg_destroy_compress(&c.cinfo);
    std::free(c.buffer);
    return result;
}

bool makeTestJpegFile(const QString &path, int width, int height, const JpegOptions &options)
{
    const QByteArray jpeg = makeJpeg(width, height, options);
    QFile file(path);
    return !jpeg.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size() &&
           file.flush();
}

QList<JpegSegment> jpegSegments(const QByteArray &jpeg)
{
    QList<JpegSegment> segments;
    const qsizetype n = jpeg.size();
    if (n < 2 || byteAt(jpeg, 0) != 0xFF || byteAt(jpeg, 1) != 0xD8)
        return segments;
    segments.append({0xD8, 0, 2});
    qsizetype pos = 2;
    while (pos + 1 < n && byteAt(jpeg, pos) == 0xFF) {
        qsizetype at = pos;
        while (at + 1 < n && byteAt(jpeg, at + 1) == 0xFF)
            ++at; // fill bytes
        const int marker = byteAt(jpeg, at + 1);
        if (marker == 0xD9) {
            segments.append({marker, pos, at + 2 - pos});
            break;
        }
        if (at + 3 >= n)
            break;
        qsizetype end = at + 2 + (byteAt(jpeg, at + 2) << 8 | byteAt(jpeg, at + 3));
        if (end > n)
            break;
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker other than a stuffed zero or RSTn.
            while (end + 1 < n && !(byteAt(jpeg, end) == 0xFF && byteAt(jpeg, end + 1) != 0 &&
                                    (byteAt(jpeg, end + 1) < 0xD0 || byteAt(jpeg, end + 1) > 0xD7)))
                ++end;
        }
        segments.append({marker, pos, end - pos});
        pos = end;
    }
    return segments;
}

qsizetype frameHeaderOffset(const QByteArray &jpeg)
{
    for (const JpegSegment &s : jpegSegments(jpeg)) {
        if (isFrameHeader(s.marker))
            return s.offset;
    }
    return -1;
}

QByteArray withDimensions(const QByteArray &jpeg, int width, int height)
{
    QByteArray out = jpeg;
    const qsizetype sof = frameHeaderOffset(out);
    if (sof < 0 || sof + 9 > out.size())
        return out;
    // FF Cn, length (2), precision (1), height (2), width (2)
    out[sof + 5] = char((height >> 8) & 0xff);
    out[sof + 6] = char(height & 0xff);
    out[sof + 7] = char((width >> 8) & 0xff);
    out[sof + 8] = char(width & 0xff);
    return out;
}

QByteArray withCorruptedBytes(const QByteArray &jpeg, quint32 seed, int count, qsizetype from)
{
    QByteArray out = jpeg;
    if (from >= out.size())
        return out;
    XorShift rng(seed);
    for (int i = 0; i < count; ++i) {
        const qsizetype at = from + qsizetype(rng.next() % quint32(out.size() - from));
        out[at] = char(rng.next() & 0xff);
    }
    return out;
}

QByteArray withRepeatedLastScan(const QByteArray &jpeg, int times)
{
    const QList<JpegSegment> segments = jpegSegments(jpeg);
    qsizetype lastScan = -1;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (segments[i].marker == 0xDA)
            lastScan = i;
    }
    if (lastScan < 0)
        return jpeg;
    // The tables libjpeg writes for a scan come right before it.
    qsizetype first = lastScan;
    while (first > 0 && segments[first - 1].marker != 0xDA &&
           !isFrameHeader(segments[first - 1].marker))
        --first;
    const qsizetype start = segments[first].offset;
    const qsizetype end = segments[lastScan].offset + segments[lastScan].length;
    const QByteArray scan = jpeg.mid(start, end - start);
    QByteArray out = jpeg.left(end);
    for (int i = 0; i < times; ++i)
        out += scan;
    out += jpeg.mid(end);
    return out;
}

QByteArray randomBytes(quint32 seed, qsizetype length)
{
    QByteArray out(length, Qt::Uninitialized);
    XorShift rng(seed);
    for (qsizetype i = 0; i < length; ++i)
        out[i] = char(rng.next() & 0xff);
    return out;
}

} // namespace pictavo::fixtures
