#pragma once

#include "db/query.h"
#include "db/table.h"
#include "import/import_pipeline.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include <QList>
#include <QTemporaryDir>
#include <functional>
#include <utility>

namespace pictavo::test {

// The main window as an import run sees it: a real Album Query whose posts run the
// new-keyword check, and a log of what the run asked of the window.
class FakeAlbumHost : public AlbumHost
{
public:
    explicit FakeAlbumHost(QStringList &log) : m_log(log) {}
    Query &albumQuery() override { return query; }
    void showRecordCount() override;
    void clearEasyFilter() override { m_log << QStringLiteral("clear filter"); }
    void pictureToStore(const DisplayPicture &picture) override;
    void repaintNow() override { m_log << QStringLiteral("repaint"); }
    void hidePicture() override { m_log << QStringLiteral("hide picture"); }

    Query query;

private:
    QStringList &m_log;
};

class FakeImportHost : public ImportHost
{
public:
    explicit FakeImportHost(QStringList &log) : m_log(log) {}
    void setImporting(bool importing) override;
    void setProgress(int position, int maximum) override;
    void letInputThrough() override;
    void drawPreview() override { m_log << QStringLiteral("preview"); }
    void decodeProgress(bool running, int percent) override
    {
        decoding << std::pair(running, percent);
    }
    void refreshAfterRemoval() override { m_log << QStringLiteral("refresh list"); }

    // Runs at each letInputThrough, with its number (from 1): the user's clicks.
    std::function<void(int)> input;
    QList<std::pair<bool, int>> decoding;

private:
    QStringList &m_log;
    int m_inputs = 0;
};

// A photo database, a folder of files to import and the pipeline between them.
struct ImportHarness
{
    ImportHarness();

    // Writes a file into the folder and returns its path.
    QString write(const QString &name, const QByteArray &bytes);
    bool exists(const QString &name) const;
    // Runs over the folder's files given, all selected.
    void run(const QStringList &names, bool remove, const QString &prefix = QString(),
             const QStringList &ticked = {}, const QString &typed = QStringLiteral("k"));
    // PREFIX|NAME|EXT|KEYWORD|COUNT|IMAGE_SIZE of every photo, by SERIAL.
    QStringList photos() const;
    QByteArray image(qint64 serial) const;
    // Each box as "warning: TEXT", "information: TEXT" or "confirmation Yes|Abort: TEXT".
    QStringList boxes() const;
    // "stored 1", "duplicate 1", "not JPEG", "failed: ..." for each outcome, in order.
    QStringList fates() const;

    PhotoDbFixture db;
    QTemporaryDir folder;
    ScriptedPrompter prompter;
    Table keywords;
    QStringList log;
    FakeAlbumHost album{log};
    FakeImportHost window{log};
    // The harness's own: its workers start with the run, on the rights the test's thread
    // has then (a test may take away root's right to read any file first).
    DecodePool pool;
    ImportPipeline pipeline{album, window, prompter, pool};
    QList<ImportOutcome> outcomes;
};

// A small JPEG of its own bytes for each seed.
QByteArray smallJpeg(quint32 seed);

// The boxes of the run, as boxes() shows them.
QString newKeywordQuestion(const QString &keyword);
QString storeFailureQuestion(const QString &lastStored);
QString skipQuestion();
QString removeQuestion(const QString &entry);
QString removeFailureQuestion(const QString &entry);
QString notJpeg(const QString &entry);
QString detected();
QString finished();
QString canceled(const QString &entry);

} // namespace pictavo::test
