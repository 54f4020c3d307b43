#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace pictavo {

// What a thumbnail is tied to besides its record: the length of the photo it was made
// from and a 64-bit hash of every byte of it. A photo replaced under the same SERIAL,
// even by one of the same length, no longer matches.
struct PhotoCheck
{
    qint64 size = 0;
    quint64 hash = 0;

    static PhotoCheck of(const QByteArray &photo);
    friend bool operator==(const PhotoCheck &, const PhotoCheck &) = default;
};

// XXH64 of the bytes with seed 0: fast (several GB/s), and the same on every machine, so
// that a cache file moved elsewhere keeps its meaning.
quint64 xxHash64(const char *data, qsizetype length);

} // namespace pictavo
