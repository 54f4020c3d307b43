#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// replace-keyword DIR OLD NEW: replaces the first occurrence of OLD by NEW in the Keyword
// String of every photo record, in one transaction, and prints how many records changed.
int replaceKeyword(const QStringList &args, QTextStream &out, QTextStream &err);

} // namespace pictavo::cli
