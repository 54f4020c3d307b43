#include "cli/cli_commands.h"
#include "cli/progress_line.h"
#include "thumbnails/thumbnail_filler.h"

namespace pictavo::cli {

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

} // namespace pictavo::cli
