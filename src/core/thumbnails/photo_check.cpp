#include "thumbnails/photo_check.h"

#include <QtEndian>

namespace pictavo {
namespace {

constexpr quint64 kPrime1 = 0x9E3779B185EBCA87ull;
constexpr quint64 kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr quint64 kPrime3 = 0x165667B19E3779F9ull;
constexpr quint64 kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr quint64 kPrime5 = 0x27D4EB2F165667C5ull;

quint64 rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

// Little-endian reads, whatever the machine, so the hash is the same everywhere.
quint64 read64(const uchar *p)
{
    return qFromLittleEndian<quint64>(p);
}

quint32 read32(const uchar *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint64 round(quint64 acc, quint64 input)
{
    return rotl(acc + input * kPrime2, 31) * kPrime1;
}

quint64 merge(quint64 acc, quint64 lane)
{
    return (acc ^ round(0, lane)) * kPrime1 + kPrime4;
}

} // namespace

quint64 xxHash64(const char *data, qsizetype length)
{
    const auto *p = reinterpret_cast<const uchar *>(data);
    const uchar *const end = p + length;
    quint64 h;
    if (length >= 32) {
        quint64 v1 = kPrime1 + kPrime2, v2 = kPrime2, v3 = 0, v4 = 0 - kPrime1;
        for (const uchar *limit = end - 32; p <= limit; p += 32) {
            v1 = round(v1, read64(p));
            v2 = round(v2, read64(p + 8));
            v3 = round(v3, read64(p + 16));
            v4 = round(v4, read64(p + 24));
        }
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        h = merge(merge(merge(merge(h, v1), v2), v3), v4);
    } else {
        h = kPrime5;
    }
    h += quint64(length);
    for (; p + 8 <= end; p += 8)
        h = rotl(h ^ round(0, read64(p)), 27) * kPrime1 + kPrime4;
    if (p + 4 <= end) {
        h = rotl(h ^ (quint64(read32(p)) * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
    }
    for (; p < end; ++p)
        h = rotl(h ^ (*p * kPrime5), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

PhotoCheck PhotoCheck::of(const QByteArray &photo)
{
    return {photo.size(), xxHash64(photo.constData(), photo.size())};
}

} // namespace pictavo
