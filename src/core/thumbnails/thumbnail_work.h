#pragma once

#include "picture/decoded_picture.h"
#include "picture/jpeg_decoder.h"
#include "thumbnails/photo_check.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace pictavo {

// One piece of thumbnail work for a decoding worker, with everything it needs: bytes read
// from the database by the thread that owns it, never the database.
struct ThumbnailOrder
{
    enum Kind
    {
        Make,       // a thumbnail of the photo in `bytes`
        Check,      // the same, unless the photo still matches `known`
        FromDecode, // a thumbnail of `decoded`, an upright decode of `bytes`, if large enough
        Show,       // `bytes` is a stored thumbnail: decode it for the window
    };
    Kind kind = Make;
    qint64 key = 0;
    QByteArray bytes;
    // Check: what the stored thumbnail was made of; Show: the same, handed back.
    PhotoCheck known;
    DecodedPicture decoded;
    // The photo's length as its record gave it when the order was made; handed back.
    qint64 listedSize = 0;
    // Besides the thumbnail to store, the picture the window draws.
    bool wantShown = false;
};

struct ThumbnailResult
{
    enum Outcome
    {
        Made,       // jpeg holds the new thumbnail of the photo `check` describes
        Unchanged,  // Check: the photo is the one the stored thumbnail was made of
        Failed,     // the photo cannot be decoded: `failure` says why
        Shown,      // Show: `shown` holds the stored thumbnail's picture
        Unreadable, // Show: the stored thumbnail is damaged
        Yielded,    // given up for more urgent work of the pool; post it again
    };
    qint64 key = 0;
    qint64 listedSize = 0;
    Outcome outcome = Failed;
    // The photo the result is of (for Show, the one the stored thumbnail was made of).
    PhotoCheck check;
    QByteArray jpeg;
    DecodedPicture shown;
    QString failure;
};

// Does the order's work. `yield` is asked as the decode goes on; once it says yes the
// result is Yielded. Never throws.
ThumbnailResult runThumbnailOrder(const ThumbnailOrder &order, const JpegDecoder &decoder,
                                  const std::function<bool()> &yield = {});

} // namespace pictavo
