#include "common/bench_support.h"

#include "db/schema.h"
#include "db/table.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace pictavo::bench {

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString joinNumbers(const std::vector<double> &values, int decimals)
{
    QStringList parts;
    for (double v : values)
        parts << QString::number(v, 'f', decimals);
    return parts.join(QLatin1Char(' '));
}

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

void createPhotoDatabase(const QString &dir)
{
    QDir().mkpath(dir);
    Table table;
    table.setDatabaseName(dir);
    table.setTableName(schema::kPhotoTableFile);
    table.createTable(schema::photoFields(), schema::photoIndexes());
    table.setTableName(schema::kKeywordTableFile);
    table.createTable(schema::keywordFields(), schema::keywordIndexes());
}

std::unique_ptr<QTemporaryDir> makeWorkDirectory(const char *benchmark, bool keep)
{
    auto dir = std::make_unique<QTemporaryDir>(
        QDir::temp().filePath(QLatin1String(benchmark) + QStringLiteral("-XXXXXX")));
    if (!dir->isValid()) {
        std::fprintf(stderr, "%s: no temporary directory\n", benchmark);
        return nullptr;
    }
    dir->setAutoRemove(!keep);
    return dir;
}

bool dropOsCache()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    return drop.open(QIODevice::WriteOnly) && drop.write("3\n") == 2 && drop.flush();
}

int reportEnd(int exitCode, const QString &keptDir)
{
    if (!keptDir.isEmpty())
        std::printf("\nkept: %s\n", utf8(keptDir).constData());
    std::printf("\nresult: %s\n", exitCode == 0 ? "PASS" : "FAIL");
    return exitCode;
}

} // namespace pictavo::bench
