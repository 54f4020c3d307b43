#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// export-set DIR DEST [--query LINE...] [--xmp] [--force]
//
// Writes every photo of the library (or of the query whose lines follow --query) into the
// folder DEST, made when missing, as the program's "All photos of the set" does; --xmp adds
// a sidecar with each photo's keywords, and --force replaces files that are there already.
// Prints one line for each photo not written on `err` and the summary line on `out`.
// Ctrl-C stops after the photo being written. Returns 0 when every photo was written, 1
// otherwise, 2 for a usage error, 130 or 143 when stopped by SIGINT or SIGTERM.
int exportSet(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace pictavo::cli
