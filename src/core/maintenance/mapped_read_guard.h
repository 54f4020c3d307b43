#pragma once

#include <functional>

namespace pictavo {

// Runs `read`, which reads a file through a memory map, and returns false when a page of
// the map could not be read, instead of letting the process die.
//
// The kernel reports a mapped page it cannot supply (a disk read error, a disk pulled out,
// a file cut short by a process that ignores SQLite's locks) with SIGBUS, whose default
// action ends the process. While `read` runs, a SIGBUS caused by this thread's own memory
// access jumps straight back here. The jump leaves `read` where it stood: objects made
// inside it are never destroyed, and what it was reading through (an SQLite connection in
// the middle of a statement) is in an unknown state and must never be used again, not even
// to be closed. A SIGBUS outside such a read, or one sent by a process, ends the process as
// it did before (or goes to the handler that was installed before).
//
// An exception thrown by `read` passes through. Reads may be nested, and each thread has
// its own.
bool readMapped(const std::function<void()> &read);

// Runs `call` outside any guarded read of this thread, even from inside one: for the
// callbacks a read makes to others (a report, a progress bar that lets a window process its
// events), where a SIGBUS is none of the read's and must not jump back across their frames.
void outsideMappedReads(const std::function<void()> &call);

} // namespace pictavo
