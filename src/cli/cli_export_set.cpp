#include "cli/cli_commands.h"

#include "album/set_export.h"
#include "base/error.h"
#include "cli/stop_signals.h"
#include "db/engine_error.h"
#include "db/query.h"

#include <QDir>

namespace pictavo::cli {

int exportSet(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList operands;
    QStringList lines;
    bool query = false;
    bool xmp = false;
    bool force = false;
    bool wrong = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--xmp"))
            xmp = true;
        else if (arg == QLatin1String("--force"))
            force = true;
        else if (arg == QLatin1String("--query"))
            query = true;
        else if (query)
            lines << arg;
        else if (arg.startsWith(QLatin1String("--")))
            wrong = true;
        else
            operands << arg;
    }
    if (wrong || operands.size() != 2 || (query && lines.isEmpty())) {
        err << "usage: pictavo-cli export-set DIR DEST [--query LINE...] [--xmp] [--force]"
            << Qt::endl;
        return 2;
    }
    const QString &destination = operands[1];
    // Ctrl-C stops a query that runs too long, or the export after the photo being written.
    StopSignals stopSignals;
    try {
        Query set;
        set.setDatabaseName(operands[0]);
        set.setSql(query ? lines : QStringList{QStringLiteral("SELECT * FROM PHOTODB.DB;")});
        set.setWatcher(&stopSignals);
        set.open();
        if (!QDir().mkpath(destination))
            throw Error(QStringLiteral("The folder \"%1\" could not be made.").arg(destination));
        SetExport photos(set, destination, xmp);
        const SetExportCounts counts =
            photos.run(force, [&](int, int) { return stopSignals.received() == 0; });
        for (const QString &problem : photos.problems())
            err << problem << Qt::endl;
        out << counts.summary() << Qt::endl;
        if (counts.stopped) {
            err << "The export was stopped." << Qt::endl;
            return stopSignals.exitStatus();
        }
        return counts.complete() ? 0 : 1;
    } catch (const QueryStopped &stopped) {
        err << stopped.text() << Qt::endl;
        return stopSignals.exitStatus();
    } catch (const Error &error) {
        err << error.text() << Qt::endl;
        return 1;
    }
}

} // namespace pictavo::cli
