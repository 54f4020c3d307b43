#pragma once

#include <QtGlobal>

namespace pictavo::bench {

// What this process has read and written so far, from /proc/self/io: rchar counts every
// read and pread whether the OS cache served it or not, read_bytes only what came from the
// disk; wchar every byte written to a file. -1 where the file or the field cannot be read.
struct ProcessIo
{
    qint64 rchar = -1;
    qint64 readBytes = -1;
    qint64 wchar = -1;
};

ProcessIo readProcessIo();

} // namespace pictavo::bench
