#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// import DIR PATH... [--prefix P] [--keywords K] [--remove] [--add-new-keywords] [-r]
//
// Runs the import pipeline with its questions answered by the options. A PATH that is a
// folder is one run over its *.jpg and *.jpeg files (any letter case, hidden files left
// out) in name order, and with -r each folder below it is a run of its own; file PATHs
// that follow one another in one folder are one run. Prints one line per file on `out`
// and a summary line; the pipeline's own messages go to `err`. A file that cannot be read
// is reported and the import goes on with the next one.
// Returns 0 when every file was stored or skipped as a duplicate, 1 otherwise, 2 for a
// usage error.
int importFiles(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace pictavo::cli
