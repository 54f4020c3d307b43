#include "base/error.h"
#include "cli/cli_commands.h"
#include "cli/progress_line.h"
#include "db/engine_error.h"
#include "maintenance/library_backup.h"
#include "maintenance/library_check.h"
#include "maintenance/library_upgrade.h"
#include "thumbnails/thumbnail_filler.h"

namespace pictavo::cli {

int check(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList rest = args;
    CheckOptions options;
    options.decode = rest.removeAll(QStringLiteral("--decode")) > 0;
    if (rest.size() != 1 || rest[0].startsWith(QLatin1String("--"))) {
        err << "usage: pictavo-cli check DIR [--decode]" << Qt::endl;
        return 2;
    }
    ProgressLine progress(err);
    options.report = [&](const CheckFinding &finding) {
        progress.finish();
        out << finding.text << '\n';
    };
    options.progress = [&](qint64 done, qint64 total) {
        progress.show(QStringLiteral("checked %1 of %2 photos").arg(done).arg(total));
    };
    const CheckSummary summary = checkLibrary(rest[0], options);
    progress.finish();
    out << summary.text() << Qt::endl;
    return summary.sound() ? 0 : 1;
}

int backup(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 2 || args[0].startsWith(QLatin1String("--")) ||
        args[1].startsWith(QLatin1String("--"))) {
        err << "usage: pictavo-cli backup DIR DEST" << Qt::endl;
        return 2;
    }
    return reportingErrors(err, [&] {
        ProgressLine progress(err);
        const BackupResult result = backupLibrary(args[0], args[1], [&](int percent) {
            progress.show(QStringLiteral("backing up: %1%").arg(percent));
        });
        progress.finish();
        out << QStringLiteral("Backed up to \"%1\": %2 photos, %3 bytes.")
                   .arg(result.destination)
                   .arg(result.check.photos)
                   .arg(result.bytes)
            << Qt::endl;
        if (result.leftoversRemoved > 0)
            out << leftoversRemovedText(result) << Qt::endl;
        return 0;
    });
}

int upgrade(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
        err << "usage: pictavo-cli upgrade DIR" << Qt::endl;
        return 2;
    }
    return reportingErrors(err, [&] {
        ProgressLine progress(err);
        const UpgradeSummary summary = upgradeLibrary(args[0], [&](qint64 done, qint64 total) {
            progress.show(QStringLiteral("copied %1 of %2 records").arg(done).arg(total));
        });
        progress.finish();
        out << QStringLiteral("Upgraded %1 records, %2 bytes of photos.")
                   .arg(summary.records)
                   .arg(summary.photoBytes)
            << Qt::endl;
        return 0;
    });
}

int thumbnails(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList rest = args;
    FillOptions options;
    options.verify = rest.removeAll(QStringLiteral("--verify")) > 0;
    if (rest.size() != 1 || rest[0].startsWith(QLatin1String("--"))) {
        err << "usage: pictavo-cli thumbnails DIR [--verify]" << Qt::endl;
        return 2;
    }
    return reportingErrors(err, [&] {
        ProgressLine progress(err);
        options.progress = [&](qint64 done, qint64 total) {
            progress.show(QStringLiteral("thumbnails: %1 of %2 photos").arg(done).arg(total));
        };
        options.failed = [&](qint64 serial, const QString &why) {
            progress.finish();
            out << "SERIAL " << serial << ": not decoded: " << why << Qt::endl;
        };
        const FillSummary summary = fillThumbnails(rest[0], options);
        progress.finish();
        out << summary.photos << " photos, " << summary.made << " thumbnails made, "
            << summary.failed << " not decodable";
        if (summary.removed > 0)
            out << ", " << summary.removed << " of deleted records removed";
        out << Qt::endl;
        return 0;
    });
}

bool layoutIsCurrent(const QString &directory, QTextStream &err)
{
    try {
        if (!libraryNeedsUpgrade(directory))
            return true;
    } catch (const Error &) {
        return true; // the command itself says what is wrong with the file
    }
    err << OutdatedLayout(directory).text() << Qt::endl;
    return false;
}

} // namespace pictavo::cli
