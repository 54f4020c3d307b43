#include "maintenance/mapped_page_prefetch.h"

#include <QtGlobal>
#include <algorithm>

#include <unistd.h>

#include <sqlite3.h>

namespace pictavo {
namespace {

struct Mapping
{
    const char *data = nullptr;
    qint64 size = 0;
};

qint64 halfOfMemory()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize / 2 : qint64(1) << 30;
}

// Where the file's bytes [0, size) lie in memory, asked of the file's own VFS (xFetch, the
// call through which SQLite reads a mapped page): the first and the last byte must both
// be mapped, at addresses `size - 1` apart, or nothing is.
Mapping findMapping(sqlite3 *db)
{
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        file == nullptr || file->pMethods == nullptr || file->pMethods->iVersion < 3 ||
        file->pMethods->xFetch == nullptr || file->pMethods->xUnfetch == nullptr)
        return {};
    sqlite3_int64 fileSize = 0;
    sqlite3_int64 mapLimit = -1; // a negative value asks for the limit without changing it
    if (file->pMethods->xFileSize(file, &fileSize) != SQLITE_OK ||
        sqlite3_file_control(db, "main", SQLITE_FCNTL_MMAP_SIZE, &mapLimit) != SQLITE_OK)
        return {};
    const qint64 size = std::min({qint64(fileSize), qint64(mapLimit), halfOfMemory()});
    if (size <= 0)
        return {};
    void *first = nullptr;
    void *last = nullptr;
    if (file->pMethods->xFetch(file, 0, 1, &first) != SQLITE_OK)
        first = nullptr;
    if (first != nullptr && file->pMethods->xFetch(file, size - 1, 1, &last) != SQLITE_OK)
        last = nullptr;
    Mapping mapping;
    if (first != nullptr && last == static_cast<char *>(first) + (size - 1))
        mapping = Mapping{static_cast<const char *>(first), size};
    // Only the fetch references are given back; the map stays for the transaction.
    if (last != nullptr)
        file->pMethods->xUnfetch(file, size - 1, last);
    if (first != nullptr)
        file->pMethods->xUnfetch(file, 0, first);
    return mapping;
}

void touchPages(Mapping mapping, const std::stop_token &stop)
{
    const qint64 pageSize = std::max<long>(::sysconf(_SC_PAGESIZE), 512);
    const auto *bytes = reinterpret_cast<const volatile char *>(mapping.data);
    constexpr int kPagesBetweenStopChecks = 256;
    for (qint64 offset = 0; offset < mapping.size && !stop.stop_requested();) {
        for (int i = 0; i < kPagesBetweenStopChecks && offset < mapping.size; ++i) {
            (void)bytes[offset]; // the read is the point: it maps the page
            offset += pageSize;
        }
    }
}

} // namespace

MappedPagePrefetch::MappedPagePrefetch(sqlite3 *db)
{
    const Mapping mapping = findMapping(db);
    if (mapping.data != nullptr)
        m_thread =
            std::jthread([mapping](const std::stop_token &stop) { touchPages(mapping, stop); });
}

MappedPagePrefetch::~MappedPagePrefetch()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

} // namespace pictavo
