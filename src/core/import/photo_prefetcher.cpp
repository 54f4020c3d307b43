#include "import/photo_prefetcher.h"

#include "import/import_files.h"
#include "import/import_names.h"
#include "picture/picture_fit.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace pictavo {

namespace {

// Thrown by the progress callback to stop a decode nobody will take.
struct Abandoned
{
};

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

struct PhotoPrefetcher::Job
{
    QString path;
    QList<QSize> areas;
    std::atomic<int> percent{0};
    bool started = false; // guarded by the prefetcher's mutex, as is done
    bool done = false;
    PrefetchedPhoto result;
};

PhotoPrefetcher::PhotoPrefetcher(int workers)
{
    for (int i = 0; i < std::max(workers, 1); ++i)
        m_workers.emplace_back([this] { work(); });
}

PhotoPrefetcher::~PhotoPrefetcher()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_abandon.store(true);
    }
    m_changed.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void PhotoPrefetcher::request(const QString &path, const QList<QSize> &areas)
{
    auto job = std::make_shared<Job>();
    job->path = path;
    job->areas = areas;
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
}

int PhotoPrefetcher::pending() const
{
    const std::lock_guard lock(m_mutex);
    return int(m_jobs.size());
}

bool PhotoPrefetcher::isPending(const QString &path) const
{
    const std::lock_guard lock(m_mutex);
    for (const auto &job : m_jobs)
        if (job->path == path)
            return true;
    return false;
}

PrefetchedPhoto PhotoPrefetcher::take(const DecodeProgress &progress)
{
    std::unique_lock lock(m_mutex);
    if (m_jobs.empty())
        throw Error(QStringLiteral("No file was asked for."));
    const std::shared_ptr<Job> job = m_jobs.front();
    int shown = 0;
    while (!job->done) {
        m_changed.wait_for(lock, std::chrono::milliseconds(25));
        const int percent = job->percent.load();
        if (!job->done && progress && percent > shown && percent < 100) {
            shown = percent;
            lock.unlock();
            progress(percent);
            lock.lock();
        }
    }
    m_jobs.pop_front();
    return std::move(job->result);
}

void PhotoPrefetcher::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        std::shared_ptr<Job> next;
        m_changed.wait(lock, [&] {
            if (m_stopping)
                return true;
            for (const auto &job : m_jobs)
                if (!job->started) {
                    next = job;
                    return true;
                }
            return false;
        });
        if (m_stopping)
            return;
        next->started = true;
        lock.unlock();
        load(*next);
        lock.lock();
        next->done = true;
        m_changed.notify_all();
    }
}

void PhotoPrefetcher::load(Job &job)
{
    job.result = readAndDecode(job.path, job.areas, [this, &job](int percent) {
        if (m_abandon.load())
            throw Abandoned();
        job.percent.store(percent);
    });
}

int PhotoPrefetcher::workersFor(int ahead)
{
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(std::min(ahead, cores), 1, 2);
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
        return kib >= 2 * 1024 * 1024 ? 2 : 1;
    }
    return 1;
}

} // namespace pictavo
