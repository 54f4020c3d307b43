#include "maintenance/file_read_ahead.h"

#include <QFile>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace pictavo {
namespace {

constexpr qint64 kReadBytes = qint64(4) << 20;

qint64 halfOfMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / 2 : qint64(1) << 30;
}

void readAll(int fd, qint64 limit, const std::stop_token &stop)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    // Plain reads, one after the other, as a copy would make them: each waits for its
    // bytes, so the reader's own page reads are never queued behind the whole file (as
    // behind readahead(), which only starts the reading). The bytes are thrown away.
    const auto buffer = std::make_unique_for_overwrite<char[]>(size_t(kReadBytes));
    for (qint64 offset = 0; offset < limit && !stop.stop_requested();) {
        const ssize_t got =
            ::pread(fd, buffer.get(), size_t(std::min(kReadBytes, limit - offset)), offset);
        if (got <= 0)
            break; // the end, or an error that the reader meets and reports itself
        offset += got;
    }
}

} // namespace

FileReadAhead::FileReadAhead(const QString &path)
    : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
{
    if (m_fd >= 0)
        m_thread = std::jthread(
            [fd = m_fd](const std::stop_token &stop) { readAll(fd, halfOfMemory(), stop); });
}

FileReadAhead::~FileReadAhead()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace pictavo
