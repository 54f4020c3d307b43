#include "import_harness.h"

#include "album/record_maintenance.h"
#include "support/jpeg_fixtures.h"

#include <QDir>
#include <QFile>

namespace pictavo::test {

void FakeAlbumHost::showRecordCount()
{
    m_log << QStringLiteral("count %1: %2")
                 .arg(query.recordCount())
                 .arg(query.sql().join(QLatin1Char(' ')));
}

void FakeAlbumHost::pictureToStore(const DisplayPicture &picture)
{
    m_log << QStringLiteral("store %1 bytes").arg(picture.jpeg().size());
}

void FakeImportHost::setImporting(bool importing)
{
    m_log << (importing ? QStringLiteral("importing") : QStringLiteral("idle"));
}

void FakeImportHost::setProgress(int position, int maximum)
{
    m_log << QStringLiteral("progress %1/%2").arg(position).arg(maximum);
}

void FakeImportHost::letInputThrough()
{
    m_log << QStringLiteral("input");
    if (input)
        input(++m_inputs);
}

ImportHarness::ImportHarness()
{
    keywords.setDatabaseName(db.dir());
    keywords.setTableName(QStringLiteral("KEYWORD.DB"));
    keywords.open();
    album.query.setDatabaseName(db.dir());
    // Narrowed, as a filter of the main window would leave it.
    album.query.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL=0;")});
    album.query.open();
    // The main window's wiring.
    album.query.beforePost = [this](DataSet &photo) {
        CheckNewKeywords(photo, keywords, prompter);
    };
    pipeline.onOutcome = [this](const ImportOutcome &outcome) { outcomes << outcome; };
    db.addKeyword(QStringLiteral("k"), 1);
}

QString ImportHarness::write(const QString &name, const QByteArray &bytes)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qUtf8Printable(path));
    return path;
}

bool ImportHarness::exists(const QString &name) const
{
    return QFile::exists(folder.filePath(name));
}

void ImportHarness::run(const QStringList &names, bool remove, const QString &prefix,
                        const QStringList &ticked, const QString &typed)
{
    QVector<ImportEntry> entries;
    for (const QString &name : names)
        entries.push_back({name, true});
    pipeline.run(folder.path(), entries, prefix, ticked, typed, remove);
}

QStringList ImportHarness::photos() const
{
    return db.rows({QStringLiteral("select PREFIX, NAME, EXT, KEYWORD, COUNT, IMAGE_SIZE"),
                    QStringLiteral("from PHOTODB.DB order by SERIAL")});
}

QByteArray ImportHarness::image(qint64 serial) const
{
    Query query;
    query.setDatabaseName(db.dir());
    query.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB WHERE SERIAL="), QString::number(serial),
                  QStringLiteral(";")});
    query.open();
    return query.isEmpty() ? QByteArray() : query.readBlob(QStringLiteral("IMAGE"));
}

QStringList ImportHarness::fates() const
{
    QStringList result;
    for (const ImportOutcome &o : outcomes) {
        switch (o.kind) {
        case ImportOutcome::Stored:
            result << QStringLiteral("stored %1").arg(o.serial);
            break;
        case ImportOutcome::Duplicate:
            result << QStringLiteral("duplicate %1").arg(o.serial);
            break;
        case ImportOutcome::NotJpeg:
            result << QStringLiteral("not JPEG");
            break;
        case ImportOutcome::Failed:
            result << QStringLiteral("failed: ") + o.reason;
            break;
        }
    }
    return result;
}

QByteArray smallJpeg(quint32 seed)
{
    fixtures::JpegOptions options;
    options.seed = seed;
    return fixtures::makeJpeg(64, 48, options);
}

QStringList ImportHarness::boxes() const
{
    QStringList result;
    for (const ScriptedPrompter::Call &call : prompter.calls) {
        switch (call.kind) {
        case Prompter::Kind::Warning:
            result << QStringLiteral("warning: ") + call.text;
            break;
        case Prompter::Kind::Information:
            result << QStringLiteral("information: ") + call.text;
            break;
        case Prompter::Kind::Confirmation:
            result
                << QStringLiteral("confirmation %1: %2").arg(buttonsText(call.buttons), call.text);
            break;
        case Prompter::Kind::Error:
            result << QStringLiteral("error: ") + call.text;
            break;
        }
        if (call.kind != Prompter::Kind::Confirmation && call.buttons != Prompter::Ok)
            result.last() += QStringLiteral(" (%1)").arg(buttonsText(call.buttons));
    }
    return result;
}

QString newKeywordQuestion(const QString &keyword)
{
    return QStringLiteral("confirmation Yes|No: \"") + keyword +
           QLatin1String("\" is a new keyword. Would you append it into the database?");
}

QString storeFailureQuestion(const QString &lastStored)
{
    return QStringLiteral("confirmation Yes|Abort: Could not write to the database.Do you skip "
                          "inporting this photo image?\rPlease remember the last succeeded file "
                          "name was ") +
           lastStored + QLatin1Char('.');
}

QString skipQuestion()
{
    return QStringLiteral(
        "confirmation Yes|Abort: Do you skip this image and continue processing?");
}

QString removeQuestion(const QString &entry)
{
    return QStringLiteral("confirmation Yes|No: Do you remove the file \"%1\" ?").arg(entry);
}

QString removeFailureQuestion(const QString &entry)
{
    return QStringLiteral("confirmation Ok|Abort: Could not remove file \"%1\".\rDo you skip "
                          "removing this photo file?")
        .arg(entry);
}

QString notJpeg(const QString &entry)
{
    return QStringLiteral("information: \"%1\" is not JPEG file.").arg(entry);
}

QString detected()
{
    return QStringLiteral("warning: Detected same image in the database.");
}

QString finished()
{
    return QStringLiteral("information: Finished");
}

QString canceled(const QString &entry)
{
    return QStringLiteral("information: Canceled.  Last file name was \"%1\".").arg(entry);
}

} // namespace pictavo::test
