#include "thumbnails/thumbnail_work.h"

#include "picture/jpeg_encoder.h"
#include "thumbnails/thumbnail_picture.h"

namespace pictavo {
namespace {

// Thrown by the progress callback to leave a decode for more urgent work.
struct Yield
{
};

} // namespace

ThumbnailResult runThumbnailOrder(const ThumbnailOrder &order, const JpegDecoder &decoder,
                                  const std::function<bool()> &yield)
{
    ThumbnailResult result;
    result.key = order.key;
    result.listedSize = order.listedSize;
    const DecodeProgress progress = [&yield](int) {
        if (yield && yield())
            throw Yield();
    };
    try {
        if (order.kind == ThumbnailOrder::Show) {
            result.check = order.known;
            result.shown = decodeThumbnail(decoder, order.bytes, kShownThumbnailSide, progress);
            result.outcome = ThumbnailResult::Shown;
            return result;
        }
        result.check = PhotoCheck::of(order.bytes);
        if (order.kind == ThumbnailOrder::Check && result.check == order.known) {
            result.outcome = ThumbnailResult::Unchanged;
            return result;
        }
        DecodedPicture thumbnail;
        if (order.kind == ThumbnailOrder::FromDecode)
            thumbnail = thumbnailOfDecode(order.decoded, kThumbnailSide);
        if (thumbnail.isNull())
            thumbnail = decodeThumbnail(decoder, order.bytes, kThumbnailSide, progress);
        result.jpeg = encodeJpeg(thumbnail, kThumbnailQuality);
        if (result.jpeg.isEmpty())
            throw DecodeError(QStringLiteral("The thumbnail could not be encoded."));
        if (order.wantShown)
            result.shown =
                shrinkPicture(thumbnail, thumbnailSize(thumbnail.size, kShownThumbnailSide));
        result.outcome = ThumbnailResult::Made;
    } catch (const Yield &) {
        result = ThumbnailResult();
        result.key = order.key;
        result.listedSize = order.listedSize;
        result.outcome = ThumbnailResult::Yielded;
    } catch (const Error &error) {
        result.jpeg.clear();
        result.shown = DecodedPicture();
        result.failure = error.text();
        result.outcome = order.kind == ThumbnailOrder::Show ? ThumbnailResult::Unreadable
                                                            : ThumbnailResult::Failed;
    } catch (const std::exception &error) {
        // Out of memory, say: the photo counts as one that cannot be made small.
        result.jpeg.clear();
        result.shown = DecodedPicture();
        result.failure = QString::fromLocal8Bit(error.what());
        result.outcome = ThumbnailResult::Failed;
    }
    return result;
}

} // namespace pictavo
