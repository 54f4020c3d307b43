#include "support/exif_fixtures.h"

namespace pictavo::fixtures {
namespace {

class Writer
{
public:
    explicit Writer(bool bigEndian) : m_big(bigEndian) {}
    void u16(int v)
    {
        if (m_big)
            bytes.append(char((v >> 8) & 0xff)).append(char(v & 0xff));
        else
            bytes.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    void u32(quint32 v)
    {
        if (m_big) {
            u16(int(v >> 16));
            u16(int(v & 0xffff));
        } else {
            u16(int(v & 0xffff));
            u16(int(v >> 16));
        }
    }
    // One 12-byte directory entry of type SHORT, count 1, value in the entry.
    void shortEntry(int tag, int value)
    {
        u16(tag);
        u16(3);
        u32(1);
        u16(value);
        u16(0);
    }
    QByteArray bytes;

private:
    bool m_big;
};

} // namespace

QByteArray exifSegment(int value, bool bigEndian, int otherTags)
{
    Writer tiff(bigEndian);
    tiff.bytes.append(bigEndian ? "MM" : "II");
    tiff.u16(42);
    tiff.u32(8);
    tiff.u16(otherTags + 1);
    for (int i = 0; i < otherTags; ++i)
        tiff.shortEntry(0x0100 + i, 640 + i); // ImageWidth, ImageLength...
    tiff.shortEntry(0x0112, value);
    tiff.u32(0); // no next directory

    QByteArray body = QByteArray("Exif\0\0", 6) + tiff.bytes;
    const int length = int(body.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((length >> 8) & 0xff)).append(char(length & 0xff));
    return segment + body;
}

QByteArray withSegment(const QByteArray &jpeg, const QByteArray &segment)
{
    return jpeg.left(2) + segment + jpeg.mid(2);
}

} // namespace pictavo::fixtures
