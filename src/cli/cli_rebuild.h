#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// rebuild-keywords DIR: recounts the Keyword Table from the Keyword Strings of every
// photo, as the keyword list's "Update Keyword" does, and prints the number of distinct
// keywords and of occurrences. Exit status 1 with the engine's text when it fails (the
// Keyword Table is then as it was), 2 for wrong arguments.
int rebuildKeywords(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace pictavo::cli
