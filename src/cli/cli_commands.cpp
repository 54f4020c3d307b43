#include "cli/cli_commands.h"

#include "album/create_database.h"
#include "album/photo_export.h"
#include "album/set_export.h"
#include "base/error.h"
#include "cli/console_prompter.h"
#include "cli/stop_signals.h"
#include "db/engine_error.h"
#include "db/query.h"

#include <QDir>
#include <QFileInfo>

namespace pictavo::cli {

QString tsvField(const QVariant &value)
{
    if (value.isNull())
        return QString();
    QString text = value.toString();
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

int reportingErrors(QTextStream &err, const std::function<int()> &work)
{
    try {
        return work();
    } catch (const Error &error) {
        err << error.text() << Qt::endl;
        return 1;
    }
}

int create(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1) {
        err << "usage: pictavo-cli create DIR" << Qt::endl;
        return 2;
    }
    // A missing folder is made with its parents, as the program's folder chooser does
    // once the user agrees to create it.
    const QString directory = QDir::cleanPath(args[0]);
    const QString shown = QDir::toNativeSeparators(directory);
    if (!QFileInfo::exists(directory)) {
        if (!QDir().mkpath(directory)) {
            err << QStringLiteral("The directory \"%1\" could not be created.").arg(shown)
                << Qt::endl;
            return 1;
        }
        out << QStringLiteral("Created the directory \"%1\".").arg(shown) << Qt::endl;
    }
    ConsolePrompter prompter(out, err);
    return CreateDatabase(directory, prompter) ? 0 : 1;
}

int query(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() < 2) {
        err << "usage: pictavo-cli query DIR LINE..." << Qt::endl;
        return 2;
    }
    // Ctrl-C stops a statement that runs too long, or the printing of a long result.
    StopSignals stopSignals;
    Query q;
    q.setDatabaseName(args[0]);
    q.setSql(args.mid(1));
    q.setWatcher(&stopSignals);
    const auto stopped = [&] {
        out.flush();
        err << QueryStopped().text() << Qt::endl;
        return stopSignals.exitStatus();
    };
    try {
        q.open();
        QStringList header;
        for (int f = 0; f < q.fieldCount(); ++f)
            header << q.field(f).name;
        out << header.join(QLatin1Char('\t')) << '\n';
        const int count = q.recordCount();
        for (int row = 0; row < count; ++row) {
            if (stopSignals.received())
                return stopped();
            QStringList fields;
            for (int f = 0; f < q.fieldCount(); ++f) {
                const QVariant value = q.valueAt(row, f);
                // A blob is listed by its length; its bytes are never read.
                fields << (q.field(f).def.type == FieldType::Blob && !value.isNull()
                               ? QStringLiteral("<%1 bytes>").arg(value.toLongLong())
                               : tsvField(value));
            }
            out << fields.join(QLatin1Char('\t')) << '\n';
        }
        out.flush();
    } catch (const QueryStopped &) {
        return stopped();
    } catch (const Error &error) {
        err << error.text() << Qt::endl;
        return 1;
    }
    return 0;
}

int exportFile(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList operands;
    bool force = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--force"))
            force = true;
        else
            operands << arg;
    }
    if (operands.size() != 3) {
        err << "usage: pictavo-cli export DIR SERIAL FILE [--force]" << Qt::endl;
        return 2;
    }
    const QString &dir = operands[0];
    const QString &fileName = operands[2];
    bool isNumber = false;
    const qint64 serial = operands[1].toLongLong(&isNumber);
    if (!isNumber) {
        err << "SERIAL must be a number: \"" << operands[1] << "\"." << Qt::endl;
        return 1;
    }
    return reportingErrors(err, [&] {
        Query album;
        album.setDatabaseName(dir);
        // The number is written back from its value, so nothing typed reaches the statement.
        album.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL="),
                      QString::number(serial), QStringLiteral(";")});
        album.open();
        if (album.recordCount() == 0) {
            err << "No photo with SERIAL " << serial << " in \"" << dir << "\"." << Qt::endl;
            return 1;
        }
        if (!force && QFileInfo::exists(fileName)) {
            err << "File \"" << fileName << "\" already exists; use --force to overwrite it."
                << Qt::endl;
            return 1;
        }
        pictavo::exportPhoto(album, fileName);
        out << "Exported to \"" << fileName << "\"." << Qt::endl;
        return 0;
    });
}

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
