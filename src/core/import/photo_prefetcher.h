#pragma once

#include "import/import_files.h"
#include "picture/decode_pool.h"
#include "picture/display_picture.h"

#include <QList>
#include <QSize>
#include <QString>

#include <deque>
#include <exception>
#include <functional>

namespace pictavo {

// One file as the worker left it: read and decoded for its preview, or why not.
struct PrefetchedPhoto
{
    QString path;
    // The file's bytes and their decode; empty when the file is no picture.
    DisplayPicture picture;
    // The decoder's text when it refused the file.
    QString decodeFailure;
    // Anything else that went wrong (the file could not be read): thrown at its turn.
    std::exception_ptr failure;
    // The file as it was just before it was read.
    FileStamp stamp;
    // The decoder ran (the name is a JPEG's and the file was not empty), so the window's
    // decoding progress starts and ends for it.
    bool decoded = false;
};

// Reads one file and decodes it for its preview, at the smallest DCT scale that covers its
// fitted size in each of `areas` (none: full size). `decodeStarts` runs just before the
// decoder does. Nothing is thrown: what fails is in the result.
PrefetchedPhoto readAndDecode(const QString &path, const QList<QSize> &areas,
                              const DecodeProgress &progress = {},
                              const std::function<void()> &decodeStarts = {});

// Reads and decodes the files of an import run ahead of the thread that compares and
// stores them, each an urgent job of the decoding pool, so that files ahead decode side by
// side as the look-ahead's photos do. A job touches nothing but the file it was asked for
// and the decoder it owns for that file; the results are handed over whole, in the order
// asked for. Destroying the prefetcher drops whatever is queued, stops the decodes that
// are running at their next progress step, and waits for them.
class PhotoPrefetcher
{
public:
    explicit PhotoPrefetcher(DecodePool &pool);
    ~PhotoPrefetcher();
    PhotoPrefetcher(const PhotoPrefetcher &) = delete;
    PhotoPrefetcher &operator=(const PhotoPrefetcher &) = delete;

    // Queues a file, to be read and decoded as readAndDecode does.
    void request(const QString &path, const QList<QSize> &areas);
    // Files asked for and not taken yet.
    int pending() const { return int(m_requested.size()); }
    bool isPending(const QString &path) const;
    // The oldest file asked for, once its job is done with it. While it waits, each rise
    // of that file's decoding progress is passed to `progress` on this thread.
    PrefetchedPhoto take(const DecodeProgress &progress = {});

    // How many files to read ahead of the one being stored: DecodePool::kMaxAhead when the
    // machine has memory to spare, otherwise one.
    static int defaultAhead();

private:
    struct Requested
    {
        QString path;
        DecodePool::Task<PrefetchedPhoto> task;
    };

    DecodePool &m_pool;
    std::deque<Requested> m_requested;
};

} // namespace pictavo
