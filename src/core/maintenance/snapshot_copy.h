#pragma once

#include <QString>
#include <functional>

namespace pictavo {

// Copies the SQLite file `source` into the empty file `target`, open for writing as
// `targetFd` (the caller's, to flush and close), as it stood at one moment, while
// other connections and processes may go on writing to it, in large reads and writes
// rather than page by page. Each step holds the source's read lock for one piece only, so
// a writer waits for at most one piece; a writer that commits between pieces restarts
// the copy, and after some restarts the rest is copied under one lock so that it ends.
// The kernel copies the bytes where it can (copy_file_range), else they are read and
// written here. Nothing is flushed to the disk. `report` gets the fraction done, 0 to 1.
//
// Only a file with a rollback journal is copied so (its file is whole whenever it can be
// read); returns false, writing nothing, for one in WAL mode, whose newest pages may be in
// the log. Throws Error with the reason when the copy fails.
bool copySnapshot(const QString &source, int targetFd, const QString &target,
                  const std::function<void(double)> &report);

// A descriptor closed only when the object goes. Closing any descriptor of a file drops
// every POSIX lock this process holds on it, SQLite's too: keep it until the connections
// to the file are closed.
struct FileDescriptor
{
    explicit FileDescriptor(int descriptor) : fd(descriptor) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int fd;
};

} // namespace pictavo
