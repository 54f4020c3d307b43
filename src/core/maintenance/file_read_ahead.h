#pragma once

#include <QString>
#include <thread>

namespace pictavo {

// Reads a file from start to end on a thread of its own, in large sequential reads, and
// throws the bytes away: it only brings the file into the OS cache ahead of a reader that
// visits it page by page (SQLite following its b-trees), which on its own waits for the
// disk at every page the kernel did not guess. The reader's results do not depend on it.
// It reads at most half of the machine's memory, so that it never pushes out pages the
// reader has yet to use; it stops early when destroyed.
//
// Closing any descriptor of a file drops every POSIX lock this process holds on it,
// SQLite's too, so the descriptor is closed only by the destructor: make the object before
// the connections to the file and let it go after them.
class FileReadAhead
{
public:
    explicit FileReadAhead(const QString &path);
    ~FileReadAhead();
    FileReadAhead(const FileReadAhead &) = delete;
    FileReadAhead &operator=(const FileReadAhead &) = delete;

private:
    int m_fd = -1;
    std::jthread m_thread;
};

} // namespace pictavo
