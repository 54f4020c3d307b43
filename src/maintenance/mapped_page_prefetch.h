#pragma once

#include <thread>

struct sqlite3;

namespace pictavo {

// Touches one byte of every memory page of the map through which a connection reads its
// file (PRAGMA mmap_size), in file order, on a thread of its own, ahead of the
// connection's own reads. A page first read through a map costs a page fault, and on a
// virtual machine far more; the faults of a whole file are taken here, in parallel with
// the connection's work, which then finds its pages mapped and in the OS cache. A fault
// on a page not yet read from the disk reads it and the pages around it, so this is also
// the file's read-ahead. The connection's results do not depend on it.
//
// The map belongs to SQLite, which unmaps it only when another connection has changed the
// file (seen when a read transaction starts) or when the connection closes: so make this
// inside a read transaction on the thread that owns `db` and let it go before that
// transaction ends. It does nothing when the file is not mapped, or not as one piece. At
// most half of the machine's memory is touched, so that it never pushes out pages the
// connection has yet to use.
class MappedPagePrefetch
{
public:
    explicit MappedPagePrefetch(sqlite3 *db);
    ~MappedPagePrefetch();
    MappedPagePrefetch(const MappedPagePrefetch &) = delete;
    MappedPagePrefetch &operator=(const MappedPagePrefetch &) = delete;

    // Whether a thread was started (the file is mapped).
    bool active() const { return m_thread.joinable(); }

private:
    std::jthread m_thread;
};

} // namespace pictavo
