#include "thumbnails/thumbnail_filler.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "thumbnails/thumbnail_store.h"
#include "thumbnails/thumbnail_workers.h"

namespace pictavo {

FillSummary fillThumbnails(const QString &directory, const FillOptions &options)
{
    Query album;
    album.setDatabaseName(directory);
    album.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB;")});
    album.open();
    if (album.libraryReadOnly())
        throw EngineError(readOnlyLibraryText(directory));
    ThumbnailStore store;
    store.open(directory, true);
    if (!store.onDisk())
        throw Error(
            QStringLiteral("Could not write \"%1\".")
                .arg(directory + QLatin1Char('/') + QLatin1String(ThumbnailStore::kFileName)));

    FillSummary summary;
    ThumbnailWorkers workers;
    const auto keep = [&](std::vector<ThumbnailResult> results) {
        for (const ThumbnailResult &result : results) {
            if (result.outcome != ThumbnailResult::Made &&
                result.outcome != ThumbnailResult::Failed)
                continue; // Unchanged; nothing yields here, where nothing is urgent
            store.put(result.key, {result.check, result.jpeg});
            ++(result.outcome == ThumbnailResult::Made ? summary.made : summary.failed);
            if (result.outcome == ThumbnailResult::Failed && options.failed)
                options.failed(result.key, result.failure);
        }
    };
    const int serialField = album.fieldNumber(QStringLiteral("SERIAL"));
    const int imageField = album.fieldNumber(QStringLiteral("IMAGE"));
    const int count = album.recordCount();
    QHash<qint64, bool> serials;
    for (int row = 0; row < count; ++row) {
        const qint64 serial = album.valueAt(row, serialField).toLongLong();
        const qint64 size = album.valueAt(row, imageField).toLongLong();
        serials.insert(serial, true);
        if (size > 0) {
            ++summary.photos;
            const std::optional<StoredThumbnail> stored = store.find(serial);
            const bool there = stored && stored->check.size == size;
            if (!there || options.verify) {
                ThumbnailOrder order;
                order.kind = there ? ThumbnailOrder::Check : ThumbnailOrder::Make;
                order.key = serial;
                order.bytes = album.readBlobAt(row, QStringLiteral("IMAGE"));
                order.known = there ? stored->check : PhotoCheck();
                // Enough under way to keep every worker busy while the next photo is read.
                while (workers.inFlight() >= 2 * workers.workerCount())
                    keep(workers.waitForResults());
                workers.post(std::move(order));
            }
        }
        if (options.progress)
            options.progress(row + 1, count);
    }
    while (workers.inFlight() > 0)
        keep(workers.waitForResults());
    summary.removed = store.keepOnly(serials);
    store.flush();
    if (!store.onDisk())
        throw Error(
            QStringLiteral("Could not write \"%1\".")
                .arg(directory + QLatin1Char('/') + QLatin1String(ThumbnailStore::kFileName)));
    return summary;
}

} // namespace pictavo
