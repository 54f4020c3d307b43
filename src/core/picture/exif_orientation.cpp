#include "picture/exif_orientation.h"

#include <cstring>

namespace pictavo {
namespace {

constexpr int kOrientationTag = 0x0112;
constexpr int kTypeShort = 3;
constexpr qsizetype kIfdEntrySize = 12;

// A window on bytes that answers every read with "not there" instead of reading past
// its end. Offsets are checked before any arithmetic that could overflow.
class Bytes
{
public:
    Bytes(const uchar *data, qsizetype size) : m_data(data), m_size(size) {}

    qsizetype size() const { return m_size; }
    bool has(qsizetype offset, qsizetype count) const
    {
        return offset >= 0 && count >= 0 && offset <= m_size && count <= m_size - offset;
    }
    int byte(qsizetype offset) const { return m_data[offset]; }
    Bytes mid(qsizetype offset, qsizetype count) const { return Bytes(m_data + offset, count); }
    bool startsWith(qsizetype offset, const char *text, qsizetype count) const
    {
        return has(offset, count) && std::memcmp(m_data + offset, text, size_t(count)) == 0;
    }
    // Big-endian 16 bits, as JPEG marker lengths are written.
    int be16(qsizetype offset) const { return (byte(offset) << 8) | byte(offset + 1); }

private:
    const uchar *m_data;
    qsizetype m_size;
};

// The TIFF structure inside the Exif segment: a byte order, the number 42, and the offset
// of the first directory, whose entries are read until the tag is found.
Orientation orientationInTiff(const Bytes &tiff)
{
    if (!tiff.has(0, 8))
        return Orientation::Upright;
    bool little;
    if (tiff.startsWith(0, "II", 2))
        little = true;
    else if (tiff.startsWith(0, "MM", 2))
        little = false;
    else
        return Orientation::Upright;
    const auto u16 = [&](qsizetype at) -> quint32 {
        return little ? quint32(tiff.byte(at) | (tiff.byte(at + 1) << 8))
                      : quint32((tiff.byte(at) << 8) | tiff.byte(at + 1));
    };
    const auto u32 = [&](qsizetype at) -> quint32 {
        return little ? (u16(at) | (u16(at + 2) << 16)) : ((u16(at) << 16) | u16(at + 2));
    };
    if (u16(2) != 42)
        return Orientation::Upright;
    const quint32 ifd = u32(4);
    if (ifd < 8 || qint64(ifd) > qint64(tiff.size()) || !tiff.has(qsizetype(ifd), 2))
        return Orientation::Upright;
    const qsizetype entries = qsizetype(u16(qsizetype(ifd)));
    for (qsizetype i = 0; i < entries; ++i) {
        const qsizetype at = qsizetype(ifd) + 2 + i * kIfdEntrySize;
        if (!tiff.has(at, kIfdEntrySize))
            break; // a count that promises more entries than there are bytes
        if (u16(at) != kOrientationTag)
            continue;
        // One SHORT, held in the entry itself; anything else is not a tag we can trust.
        if (u16(at + 2) != kTypeShort || u32(at + 4) != 1)
            return Orientation::Upright;
        const quint32 value = u16(at + 8);
        return value >= 1 && value <= 8 ? Orientation(value) : Orientation::Upright;
    }
    return Orientation::Upright;
}

} // namespace

Orientation readExifOrientation(const QByteArray &jpeg)
{
    const Bytes file(reinterpret_cast<const uchar *>(jpeg.constData()), jpeg.size());
    if (!file.has(0, 2) || file.byte(0) != 0xFF || file.byte(1) != 0xD8)
        return Orientation::Upright;
    qsizetype at = 2;
    // Each turn moves forward by at least two bytes, so the walk ends within the data.
    while (file.has(at, 2)) {
        if (file.byte(at) != 0xFF)
            return Orientation::Upright; // not a marker where one must be: give up
        const int marker = file.byte(at + 1);
        if (marker == 0xFF) {
            ++at; // fill byte before a marker
            continue;
        }
        at += 2;
        if (marker == 0xD9 || marker == 0xDA)
            return Orientation::Upright; // end of image or first scan: no tag before it
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (!file.has(at, 2))
            return Orientation::Upright;
        const qsizetype length = file.be16(at);
        if (length < 2 || !file.has(at, length))
            return Orientation::Upright;
        if (marker == 0xE1 && file.mid(at + 2, length - 2).startsWith(0, "Exif\0\0", 6)) {
            // The first Exif segment decides, as cameras write only one.
            return orientationInTiff(file.mid(at + 8, length - 8));
        }
        at += length;
    }
    return Orientation::Upright;
}

} // namespace pictavo
