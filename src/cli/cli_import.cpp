#include "cli/cli_commands.h"

#include "album/record_maintenance.h"
#include "cli/console_prompter.h"
#include "db/database.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "db/table.h"
#include "import/import_pipeline.h"
#include "thumbnails/thumbnail_cache.h"
#include "thumbnails/thumbnail_picture.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace pictavo::cli {

namespace {

struct Options
{
    QString dir;
    QStringList paths;
    QString prefix;
    QString keywords;
    bool remove = false;
    bool addNewKeywords = false;
    bool recursive = false;
    bool keywordsFromFiles = false;
};

std::optional<Options> parseOptions(const QStringList &args)
{
    Options options;
    QStringList operands;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--prefix") && hasValue)
            options.prefix = args[++i];
        else if (arg == QLatin1String("--keywords") && hasValue)
            options.keywords = args[++i];
        else if (arg == QLatin1String("--remove"))
            options.remove = true;
        else if (arg == QLatin1String("--add-new-keywords"))
            options.addNewKeywords = true;
        else if (arg == QLatin1String("-r") || arg == QLatin1String("--recursive"))
            options.recursive = true;
        else if (arg == QLatin1String("--keywords-from-files"))
            options.keywordsFromFiles = true;
        else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1)
            return std::nullopt;
        else
            operands << arg;
    }
    if (operands.size() < 2)
        return std::nullopt;
    options.dir = operands.takeFirst();
    options.paths = operands;
    return options;
}

// One run of the pipeline: entries of one folder, and each entry's path as the user gave it.
struct Batch
{
    QString folder;
    QStringList entries;
    QStringList shown;
    QString missing;        // instead of a run: a PATH that is neither a file nor a folder
    bool filePaths = false; // made of file PATHs, so the next one of its folder joins it
};

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

void addFolder(const QString &folder, bool recursive, std::vector<Batch> &batches)
{
    const QDir dir(folder);
    Batch batch{folder, {}, {}, {}, false};
    const QStringList patterns{QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")};
    for (const QString &name : dir.entryList(patterns, QDir::Files, QDir::Name)) {
        batch.entries << name;
        batch.shown << joined(folder, name);
    }
    if (!batch.entries.isEmpty())
        batches.push_back(batch);
    if (!recursive)
        return;
    for (const QString &sub :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name))
        addFolder(joined(folder, sub), true, batches);
}

std::vector<Batch> collectBatches(const Options &options)
{
    std::vector<Batch> batches;
    for (const QString &path : options.paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            addFolder(path, options.recursive, batches);
        } else if (info.isFile()) {
            const QString folder = info.absolutePath();
            if (batches.empty() || !batches.back().filePaths || batches.back().folder != folder)
                batches.push_back({folder, {}, {}, {}, true});
            batches.back().entries << info.fileName();
            batches.back().shown << path;
        } else {
            batches.push_back({QString(), {}, {}, path, false});
        }
    }
    return batches;
}

// The main window's part, without a window: the Album Query and nothing to draw.
class ConsoleAlbum : public AlbumHost
{
public:
    Query &albumQuery() override { return query; }
    ThumbnailCache *thumbnails() override
    {
        cache.follow(query);
        return &cache;
    }
    Query query;
    ThumbnailCache cache;
};

struct Tally
{
    int stored = 0;
    int duplicates = 0;
    int notJpeg = 0;
    int failed = 0;
};

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

int importFiles(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const std::optional<Options> parsed = parseOptions(args);
    if (!parsed) {
        err << "usage: pictavo-cli import DIR PATH... [--prefix P] [--keywords K] [--remove]\n"
               "                         [--add-new-keywords] [-r] [--keywords-from-files]"
            << Qt::endl;
        return 2;
    }
    const Options &options = *parsed;

    // Questions are printed with everything else the pipeline says, away from the results.
    ConsolePrompter prompter(err, err);
    prompter.setAnswerer([&options](const QString &text, Prompter::Buttons buttons) {
        if (text.endsWith(
                QLatin1String(" is a new keyword. Would you append it into the database?")))
            return options.addNewKeywords ? Prompter::Yes : Prompter::No;
        if (text.startsWith(QLatin1String("Do you remove the file ")))
            return options.remove ? Prompter::Yes : Prompter::No;
        // Go on past a duplicate, a photo that could not be stored or a file not removed.
        return buttons.testFlag(Prompter::Yes)  ? Prompter::Yes
               : buttons.testFlag(Prompter::Ok) ? Prompter::Ok
                                                : Prompter::No;
    });

    ConsoleAlbum album;
    ImportHost noWindow;
    Table keywords;
    try {
        keywords.setDatabaseName(options.dir);
        keywords.setTableName(QStringLiteral("KEYWORD.DB"));
        keywords.open();
        album.query.setDatabaseName(options.dir);
        album.query.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB;")});
        album.query.open();
        // One refusal that names the reason, rather than one failure for every file.
        if (album.query.libraryReadOnly())
            throw EngineError(readOnlyLibraryText(options.dir));
    } catch (const Error &error) {
        err << error.text() << Qt::endl;
        return 1;
    }
    // As the main window does: every photo stored is checked for new keywords.
    album.query.beforePost = [&](DataSet &photo) { CheckNewKeywords(photo, keywords, prompter); };

    ImportPipeline pipeline(album, noWindow, prompter);
    // Nothing is shown, so the decode only has to prove the file is a picture and cover
    // its thumbnail.
    pipeline.previewAreas = [] { return QList<QSize>{QSize(kThumbnailSide, kThumbnailSide)}; };
    pipeline.keywordsFromFiles = options.keywordsFromFiles;

    Tally tally;
    const QStringList *shown = nullptr;
    int visited = 0;
    QString lastFailure; // the reason of the last file reported as failed in this run
    pipeline.onOutcome = [&](const ImportOutcome &outcome) {
        const QString &path = (*shown)[visited++];
        lastFailure = outcome.kind == ImportOutcome::Failed ? outcome.reason : QString();
        out << path << ": ";
        switch (outcome.kind) {
        case ImportOutcome::Stored:
            ++tally.stored;
            out << "stored as SERIAL " << outcome.serial;
            break;
        case ImportOutcome::Duplicate:
            ++tally.duplicates;
            out << "duplicate of SERIAL " << outcome.serial;
            break;
        case ImportOutcome::NotJpeg:
            ++tally.notJpeg;
            out << "not JPEG";
            if (!outcome.reason.isEmpty())
                err << path << ": " << oneLine(outcome.reason) << Qt::endl;
            break;
        case ImportOutcome::Failed:
            ++tally.failed;
            out << "failed: " << oneLine(outcome.reason);
            break;
        }
        out << Qt::endl;
        if (!outcome.decodeWarning.isEmpty())
            err << path << ": warning: " << outcome.decodeWarning << Qt::endl;
        for (const QString &warning : outcome.keywordWarnings)
            err << path << ": warning: keywords passed over: " << oneLine(warning) << Qt::endl;
    };

    for (const Batch &batch : collectBatches(options)) {
        if (!batch.missing.isEmpty()) {
            ++tally.failed;
            out << batch.missing << ": failed: No such file or folder." << Qt::endl;
            continue;
        }
        // A file that cannot be read ends a run; the rest of the folder is a new run.
        QVector<ImportEntry> entries;
        for (const QString &name : batch.entries)
            entries.push_back({name, true});
        QStringList paths = batch.shown;
        while (!entries.isEmpty()) {
            shown = &paths;
            visited = 0;
            lastFailure.clear();
            try {
                pipeline.run(batch.folder, entries, options.prefix, {}, options.keywords,
                             options.remove);
                break;
            } catch (const Error &error) {
                // A failure that is not a file's own (the database's) is the folder's.
                if (visited == 0 || lastFailure != error.text()) {
                    ++tally.failed;
                    out << batch.folder << ": failed: " << oneLine(error.text()) << Qt::endl;
                }
                if (visited == 0)
                    break;
                entries.remove(0, visited);
                paths.remove(0, visited);
            }
        }
    }
    out << tally.stored << " stored, " << tally.duplicates << " duplicates, " << tally.notJpeg
        << " not JPEG, " << tally.failed << " failed" << Qt::endl;
    return tally.notJpeg == 0 && tally.failed == 0 ? 0 : 1;
}

} // namespace pictavo::cli
