#include "import/photo_prefetcher.h"

#include "import/import_files.h"
#include "import/import_names.h"
#include "picture/picture_fit.h"

#include <QFile>

#include <algorithm>
#include <chrono>

namespace pictavo {

namespace {

QSize previewTarget(QSize fullSize, const QList<QSize> &areas)
{
    QSize target;
    for (const QSize &area : areas)
        target = target.expandedTo(FitAndCentrePicture(fullSize, area).size());
    return target;
}

} // namespace

PrefetchedPhoto readAndDecode(const QString &path, const QList<QSize> &areas,
                              const DecodeProgress &progress,
                              const std::function<void()> &decodeStarts)
{
    PrefetchedPhoto photo;
    photo.path = path;
    try {
        // The extension chooses the picture kind, and only a JPEG can be stored.
        if (path.isEmpty() || !isJpegExtension(photoExtension(fileNameOf(path))))
            return photo;
        photo.stamp = fileStamp(path);
        const QByteArray bytes = readWholeFile(path);
        if (bytes.isEmpty())
            return photo;
        photo.decoded = true;
        if (decodeStarts)
            decodeStarts();
        photo.picture.setJpeg(bytes);
        photo.picture.pixelsFor(previewTarget(photo.picture.fullSize(), areas), progress);
    } catch (const DecodeError &error) {
        photo.picture.clear();
        photo.decodeFailure = error.text();
    } catch (...) {
        photo.picture.clear();
        photo.failure = std::current_exception();
    }
    return photo;
}

PhotoPrefetcher::PhotoPrefetcher(DecodePool &pool) : m_pool(pool) {}

PhotoPrefetcher::~PhotoPrefetcher()
{
    m_pool.withdraw(this);
}

void PhotoPrefetcher::request(const QString &path, const QList<QSize> &areas)
{
    m_requested.push_back(
        {path, m_pool.submit<PrefetchedPhoto>(
                   this, DecodePool::Priority::Urgent, [path, areas](DecodePool::Control &control) {
                       // A call-off ends in `failure`, which nobody takes.
                       return readAndDecode(path, areas, [&control](int percent) {
                           control.throwIfCancelled();
                           control.setProgress(percent);
                       });
                   })});
}

bool PhotoPrefetcher::isPending(const QString &path) const
{
    return std::any_of(m_requested.begin(), m_requested.end(),
                       [&path](const Requested &requested) { return requested.path == path; });
}

PrefetchedPhoto PhotoPrefetcher::take(const DecodeProgress &progress)
{
    if (m_requested.empty())
        throw Error(QStringLiteral("No file was asked for."));
    Requested &next = m_requested.front();
    int shown = 0;
    // Polled: a decode's progress steps come far more often than they are worth showing.
    while (next.task.result.wait_for(std::chrono::milliseconds(25)) != std::future_status::ready) {
        const int percent = next.task.control->progress();
        if (progress && percent > shown && percent < 100) {
            shown = percent;
            progress(percent);
        }
    }
    PrefetchedPhoto photo = next.task.result.get();
    m_requested.pop_front();
    return photo;
}

int PhotoPrefetcher::defaultAhead()
{
    // Two camera photos ahead hold some tens of megabytes of bytes and pixels; keep to one
    // when the machine is short of memory.
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return 1;
    for (const QByteArray &line : meminfo.readAll().split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        const qint64 kib = line.mid(13).trimmed().split(' ').value(0).toLongLong();
        return kib >= 2 * 1024 * 1024 ? DecodePool::kMaxAhead : 1;
    }
    return 1;
}

} // namespace pictavo
