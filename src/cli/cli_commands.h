#pragma once

#include <QStringList>
#include <QTextStream>

namespace pictavo::cli {

// Each command returns the process exit code.
int create(const QStringList &args, QTextStream &out, QTextStream &err);
int query(const QStringList &args, QTextStream &out, QTextStream &err);
// export DIR SERIAL FILE [--force]: writes the stored photo of that record to FILE byte for
// byte; an existing FILE is replaced only with --force.
int exportFile(const QStringList &args, QTextStream &out, QTextStream &err);

// A value as one tab-separated field: null is nothing; backslash, tab, newline and
// carriage return are written as \\, \t, \n and \r so every record stays on one line.
QString tsvField(const QVariant &value);

} // namespace pictavo::cli
