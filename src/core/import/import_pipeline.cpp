#include "import/import_pipeline.h"

#include "base/prompter.h"
#include "import/import_files.h"
#include "import/import_names.h"
#include "keyword/file_keywords.h"
#include "keyword/keyword_string.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <memory>

namespace pictavo {

namespace {

QString quotedEntry(const QString &entry)
{
    return QLatin1Char('"') + entry + QLatin1Char('"');
}

QString pathOf(const QString &folder, const QString &entry)
{
    if (folder.isEmpty())
        return entry;
    return folder.endsWith(QLatin1Char('/')) ? folder + entry : folder + QLatin1Char('/') + entry;
}

} // namespace

QString composeKeywordString(const QStringList &ticked, const QString &typed,
                             const QStringList &fromFile)
{
    QStringList items = ticked;
    if (!typed.isEmpty())
        items << typed;
    QStringList given = splitKeywords(JoinKeywords(items));
    for (const QString &keyword : fromFile) {
        if (!keyword.isEmpty() && !given.contains(keyword)) {
            given << keyword;
            items << keyword;
        }
    }
    const QString joined = JoinKeywords(items);
    // KEYWORD must have a value.
    return joined.isEmpty() ? QStringLiteral("*") : joined;
}

// What one run keeps from its start to its end.
struct ImportPipeline::RunState
{
    QString folder;
    QString prefix;
    QStringList ticked;
    QString typed;
    QString keywordString;
    bool fromFiles = false;
    bool remove = false;
    int selected = 0;
    int processed = 0;
    QString lastFile;
    QString lastStored;
};

// The run's side of the worker: asks for the selected entries in order, keeps at most
// `ahead` of them asked for beyond the one at its turn, and hands each over at its turn.
// With `ahead` 0 each file is read at its turn on this thread.
class ImportPipeline::ReadAhead
{
public:
    ReadAhead(ImportPipeline &pipeline, const QString &folder, const QVector<ImportEntry> &entries,
              int ahead)
        : m_pipeline(pipeline), m_folder(folder), m_entries(entries), m_ahead(ahead)
    {
        if (ahead > 0)
            m_worker = std::make_unique<PhotoPrefetcher>(pipeline.m_pool);
    }

    // The selected entry at `index`, read and decoded; then the next ones are asked for.
    PrefetchedPhoto take(qsizetype index)
    {
        const QString path = pathOf(m_folder, m_entries[index].name);
        m_pipeline.imageTmp.clear();
        if (!m_worker)
            return m_pipeline.loadNow(path);
        if (m_next <= index) {
            m_worker->request(path, m_pipeline.areas());
            m_next = index + 1;
        }
        ImportHost &window = m_pipeline.m_window;
        window.decodeProgress(false, 0);
        PrefetchedPhoto photo = m_worker->take([&window](int percent) {
            if (percent > 0)
                window.decodeProgress(true, percent);
        });
        window.decodeProgress(false, 100);
        askAhead(path);
        return photo;
    }

private:
    void askAhead(const QString &current)
    {
        while (m_worker->pending() < m_ahead && m_next < m_entries.size()) {
            const ImportEntry &entry = m_entries[m_next];
            if (entry.selected) {
                // The same file listed twice is read again at its own turn, after whatever
                // the first one's turn did to it.
                const QString path = pathOf(m_folder, entry.name);
                if (path == current || m_worker->isPending(path))
                    return;
                m_worker->request(path, m_pipeline.areas());
            }
            ++m_next;
        }
    }

    ImportPipeline &m_pipeline;
    const QString &m_folder;
    const QVector<ImportEntry> &m_entries;
    const int m_ahead;
    qsizetype m_next = 0; // the first entry not asked for yet
    std::unique_ptr<PhotoPrefetcher> m_worker;
};

ImportPipeline::ImportPipeline(AlbumHost &album, ImportHost &window, Prompter &prompter,
                               DecodePool &pool)
    : m_album(album), m_window(window), m_prompter(prompter), m_pool(pool)
{
    m_sizeQuery.setSql({QStringLiteral("select *"), QStringLiteral("from PhotoDB.DB"),
                        QStringLiteral("where IMAGE_SIZE=:SIZE"), QStringLiteral(";")});
}

void ImportPipeline::run(const QString &folder, const QVector<ImportEntry> &entries,
                         const QString &prefix, const QStringList &tickedKeywords,
                         const QString &typedKeywords, bool removeAfterImport)
{
    const int selected = int(std::count_if(entries.begin(), entries.end(),
                                           [](const ImportEntry &e) { return e.selected; }));
    if (selected == 0) {
        m_prompter.warning(QStringLiteral("File is not selected.  Please select file(s)."));
        return;
    }
    RunState state;
    state.folder = folder;
    state.prefix = prefix;
    state.ticked = tickedKeywords;
    state.typed = typedKeywords;
    state.keywordString = composeKeywordString(tickedKeywords, typedKeywords);
    state.fromFiles = keywordsFromFiles;
    state.remove = removeAfterImport;
    state.selected = selected;
    ResetAlbumQuery();
    m_window.setImporting(true);
    // A failure the run does not handle leaves it with the window idle again.
    auto idle = qScopeGuard([&] {
        m_window.setProgress(0, selected);
        m_window.setImporting(false);
    });
    m_window.setProgress(0, selected);
    CancelRequested = false;

    {
        ReadAhead ahead(*this, state.folder, entries,
                        readAhead >= 0 ? std::min(readAhead, DecodePool::kMaxAhead)
                                       : PhotoPrefetcher::defaultAhead());
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (CancelRequested)
                break;
            const ImportEntry &entry = entries[i];
            if (entry.selected) {
                ++state.processed;
                state.lastFile = entry.name;
                importEntry(state, entry.name, ahead.take(i));
            }
            m_window.setProgress(state.processed, selected);
            m_window.letInputThrough();
        }
        // Leaving the block drops whatever was read ahead and not reached.
    }

    m_window.setProgress(0, selected);
    if (selected >= 2)
        m_prompter.information(CancelRequested ? QStringLiteral("Canceled.  Last file name was ") +
                                                     quotedEntry(state.lastFile) + QLatin1Char('.')
                                               : QStringLiteral("Finished"));
    if (removeAfterImport)
        m_window.refreshAfterRemoval();
    // A cancelled run leaves the Album Query where the last file put it.
    if (!CancelRequested)
        ResetAlbumQuery();
    idle.dismiss();
    m_window.setImporting(false);
}

void ImportPipeline::importEntry(RunState &state, const QString &entry, PrefetchedPhoto photo)
{
    ImportOutcome outcome;
    outcome.entry = entry;
    try {
        if (previewLoaded(std::move(photo))) {
            handleDuplicate(state, outcome);
        } else if (imageTmp.isEmpty()) {
            m_prompter.information(quotedEntry(entry) + QStringLiteral(" is not JPEG file."));
            outcome.kind = ImportOutcome::NotJpeg;
            outcome.reason = m_decodeFailure;
        } else {
            store(state, outcome);
        }
    } catch (const Error &error) {
        outcome.kind = ImportOutcome::Failed;
        outcome.reason = error.text();
        report(outcome);
        throw;
    }
    report(outcome);
}

void ImportPipeline::handleDuplicate(RunState &state, ImportOutcome &outcome)
{
    // A box closed without an answer stops the run, as Abort would.
    outcome.kind = ImportOutcome::Duplicate;
    outcome.serial = m_sameSerial;
    if (state.selected >= 2 &&
        m_prompter.message(Prompter::Kind::Confirmation,
                           QStringLiteral("Do you skip this image and continue processing?"),
                           Prompter::Yes | Prompter::Abort) != Prompter::Yes)
        CancelRequested = true;
    if (state.remove && !CancelRequested) {
        if (m_prompter.message(Prompter::Kind::Confirmation,
                               QStringLiteral("Do you remove the file ") +
                                   quotedEntry(outcome.entry) + QStringLiteral(" ?"),
                               Prompter::Yes | Prompter::No) == Prompter::Yes)
            outcome.removed = RemoveFile(pathOf(state.folder, outcome.entry), outcome.entry);
        ResetAlbumQuery();
    }
}

void ImportPipeline::store(RunState &state, ImportOutcome &outcome)
{
    const QString path = pathOf(state.folder, outcome.entry);
    QString keywordString = state.keywordString;
    if (state.fromFiles) {
        // The bytes read once for the whole file's turn, and the sidecars beside it.
        const FileKeywords found = keywordsOfPhotoFile(path, imageTmp.jpeg());
        keywordString = composeKeywordString(state.ticked, state.typed, found.keywords);
        outcome.keywordWarnings = found.warnings;
    }
    QString failure;
    qint64 serial = 0;
    if (!AppendPhoto(path, state.prefix, keywordString, serial, failure)) {
        outcome.kind = ImportOutcome::Failed;
        outcome.reason = failure;
        const QString question =
            QStringLiteral("Could not write to the database.Do you skip inporting this photo "
                           "image?\rPlease remember the last succeeded file name was ") +
            state.lastStored + QLatin1Char('.');
        if (m_prompter.message(Prompter::Kind::Confirmation, question,
                               Prompter::Yes | Prompter::Abort) != Prompter::Yes)
            CancelRequested = true;
        return;
    }
    outcome.kind = ImportOutcome::Stored;
    outcome.serial = serial;
    outcome.decodeWarning = imageTmp.decoded().firstWarning;
    state.lastStored = outcome.entry;
    m_album.repaintNow();
    if (!state.remove)
        return;
    outcome.removed = deleteStoredFile(path);
    if (!outcome.removed &&
        m_prompter.message(Prompter::Kind::Confirmation,
                           QStringLiteral("Could not remove file ") + quotedEntry(outcome.entry) +
                               QStringLiteral(".\rDo you skip removing this photo file?"),
                           Prompter::Ok | Prompter::Abort) != Prompter::Ok)
        CancelRequested = true;
}

bool ImportPipeline::deleteStoredFile(const QString &path)
{
    // post() has committed with a full sync, but in rollback-journal mode the commit is the
    // journal's deletion, which only a sync of the database's directory makes durable.
    // Until then a power loss could take the record back, so the file stays.
    if (!syncDirectory(m_album.albumQuery().databaseName()))
        return false;
    // A file written to since it was read no longer holds what was stored: it stays.
    if (fileStamp(path) != m_loadedStamp)
        return false;
    return QFile::remove(path);
}

bool ImportPipeline::RemoveFile(const QString &path, const QString &entry)
{
    if (QFile::remove(path)) {
        m_prompter.information(QStringLiteral("Removed the file ") + quotedEntry(entry) +
                               QLatin1Char('.'));
        return true;
    }
    m_prompter.warning(QStringLiteral("Could not remove the file ") + quotedEntry(entry) +
                       QLatin1Char('.'));
    return false;
}

void ImportPipeline::report(const ImportOutcome &outcome)
{
    if (onOutcome)
        onOutcome(outcome);
}

} // namespace pictavo
