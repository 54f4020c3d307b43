#pragma once

#include <QString>
#include <functional>

namespace pictavo {

struct FillOptions
{
    // Reads every photo, also those with a thumbnail, and makes a new one where the photo
    // is no longer the one it was made of. Without it a thumbnail counts as there when it
    // was made of a photo of the record's length.
    bool verify = false;
    // After each photo looked at: how many of how many.
    std::function<void(qint64 done, qint64 total)> progress;
    // A photo that cannot be decoded (its mark is kept instead of a thumbnail).
    std::function<void(qint64 serial, const QString &why)> failed;
};

struct FillSummary
{
    qint64 photos = 0;  // records with a photo
    qint64 made = 0;    // thumbnails made
    qint64 failed = 0;  // photos that cannot be decoded
    qint64 removed = 0; // thumbnails of records that are gone
};

// Makes the missing thumbnails of the library in `directory` in its thumbs.db: the
// photos are read here, in record order, and made small by the decoding workers, as many
// at once as there are workers. Thumbnails of records no longer there are removed. Throws
// Error when the library cannot be opened or thumbs.db cannot be written.
FillSummary fillThumbnails(const QString &directory, const FillOptions &options = {});

} // namespace pictavo
