#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// check DIR [--decode]: prints one line per finding and a summary line on `out`, a
// progress line on `err` when the run is long. Returns 0 when the library is sound, 1
// when something is damaged (or DIR cannot be read), 2 for a usage error.
int check(const QStringList &args, QTextStream &out, QTextStream &err);

// backup DIR DEST: copies the database into the folder DEST while others may write to
// it, checks the copy and puts it in place. Returns 0 when done, 1 when it failed, 2 for
// a usage error.
int backup(const QStringList &args, QTextStream &out, QTextStream &err);

// upgrade DIR: brings a library an earlier version made into this version's layout, with
// a progress line on `err` and a summary line on `out`. Returns 0 when done, 1 when it
// failed (the library is then as it was), 2 for a usage error.
int upgrade(const QStringList &args, QTextStream &out, QTextStream &err);

// Whether the command may go on with the library in `directory`: false, with the message
// naming the upgrade on `err`, for a library in an earlier version's layout.
bool layoutIsCurrent(const QString &directory, QTextStream &err);

} // namespace pictavo::cli
