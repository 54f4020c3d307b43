#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace pictavo::bench {

double msSince(const QElapsedTimer &timer);

// The middle value, or the mean of the two middle ones; 0 for no values.
double median(std::vector<double> values);

// The values with the given decimals, separated by blanks, for a line of a report.
QString joinNumbers(const std::vector<double> &values, int decimals = 1);

QByteArray utf8(const QString &text);

bool writeFile(const QString &path, const QByteArray &bytes);

// An empty Photo Table and Keyword Table made by the engine in `dir`, created if missing.
// Existing tables there are replaced.
void createPhotoDatabase(const QString &dir);

// A new directory in the system's temporary folder, named after the benchmark and removed
// at the end unless `keep`. Null, with a message on stderr, when none can be made.
std::unique_ptr<QTemporaryDir> makeWorkDirectory(const char *benchmark, bool keep);

// Writes what is waiting to the disks, then empties the OS cache, so that the next command
// starts cold. False when that cannot be done (it needs root).
bool dropOsCache();

// The closing lines: where the files were kept, when `keptDir` is set, then PASS or FAIL.
// Returns `exitCode`.
int reportEnd(int exitCode, const QString &keptDir = QString());

} // namespace pictavo::bench
