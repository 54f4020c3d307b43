#pragma once

#include <QString>
#include <functional>

namespace pictavo {

// Copies the SQLite file `source` to the new file `target` as it stood at one moment, while
// other connections and processes may go on writing to it, in large reads and writes
// rather than page by page. Each step holds the source's read lock for one piece only, so
// a writer waits for at most one piece; a writer that commits between pieces restarts
// the copy, and after some restarts the rest is copied under one lock so that it ends.
// The copy is not flushed to the disk here: the caller checks it first, reading it from
// memory, and flushes it then. `report` gets the fraction done, 0 to 1.
//
// Only a file with a rollback journal is copied so (its file is whole whenever it can be
// read); returns false, writing nothing, for one in WAL mode, whose newest pages may be in
// the log. Throws Error with the reason when the copy fails.
bool copySnapshot(const QString &source, const QString &target,
                  const std::function<void(double)> &report);

} // namespace pictavo
