#include "album/photo_export.h"
#include "base/error.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "support/file_permissions.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include <QtTest>

using namespace pictavo;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

using CallType = ScriptedPrompter::CallType;

void openAlbum(Query &album, const QString &dir,
               const QString &sql = QStringLiteral("select * from PHOTODB.DB ;"))
{
    album.setDatabaseName(dir);
    album.setSql({sql});
    album.open();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("(unreadable)");
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString overwriteQuestion(const QString &path)
{
    return QStringLiteral("The file \"") + path +
           QStringLiteral("\" is already existed.\rDo you overwrite it?");
}

} // namespace

class TestPhotoExport : public QObject
{
    Q_OBJECT

private slots:
    void presetName_data();
    void presetName();
    void roundTripLargeBlob();
    void exportsCurrentRecord();
    void existingFile_data();
    void existingFile();
    void cancelWritesNothing();
    void failureKeepsExistingFile();
    void readOnlyDirectory();
    void unreadableImage();
    void noRecord();
    void newFilePermissions();
};

void TestPhotoExport::presetName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("preset");

    const auto row = [](const char *tag, const QString &name, const QString &ext,
                        const QString &preset) { QTest::newRow(tag) << name << ext << preset; };
    row("imported", "sunset", ".jpg", "sunset.jpg");
    row("upper-case ext", "IMG_0001", ".JPG", "IMG_0001.JPG");
    row("blank inside", "New York", ".jpg", "New York.jpg");
    row("no ext", "raw", "", "raw");
    row("dots in name", "a.b", ".jpg", "a.b.jpg");
    row("japanese", QStringLiteral("夕日"), ".jpg", QStringLiteral("夕日.jpg"));
}

void TestPhotoExport::presetName()
{
    QFETCH(QString, name);
    QFETCH(QString, ext);
    QFETCH(QString, preset);
    PhotoDbFixture db;
    db.addPhoto(QStringLiteral("PFX"), name, QStringLiteral("k"), "1", ext);
    Query album;
    openAlbum(album, db.dir());
    QCOMPARE(exportFileName(album), preset);

    ScriptedPrompter prompter;
    prompter.answerCancel();
    QVERIFY(!ExportCurrentPhoto(album, prompter));
    QCOMPARE(prompter.calls.size(), 1);
    const ScriptedPrompter::Call &call = prompter.last();
    QCOMPARE(call.type, CallType::SaveFile);
    QCOMPARE(call.title, QStringLiteral("Export"));
    QCOMPARE(call.fileName, preset);
    QCOMPARE(call.filter, QStringLiteral("*.jpg,*.jpeg|*.jpg;*.jpeg"));
}

void TestPhotoExport::roundTripLargeBlob()
{
    const QByteArray image = patternBytes(6 * 1024 * 1024 + 13, 7);
    QVERIFY(image.count('\0') > 1000);
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("big"), QStringLiteral("k"), image);
    Query album;
    openAlbum(album, db.dir());
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("big.jpg"));
    ScriptedPrompter prompter;
    prompter.answerPath(path);
    QVERIFY(ExportCurrentPhoto(album, prompter));
    QCOMPARE(prompter.texts(), QStringList{"Exported to \"" + path + "\"."});
    QCOMPARE(prompter.last().kind, Prompter::Kind::Information);
    QVERIFY(contents(path) == image);
    // Nothing else is left beside it.
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"big.jpg"});
}

void TestPhotoExport::exportsCurrentRecord()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), patternBytes(100, 1));
    db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), patternBytes(200, 2));
    db.addPhoto(QString(), QStringLiteral("c"), QStringLiteral("k"), patternBytes(300, 3));
    Query album;
    openAlbum(album, db.dir());
    album.moveTo(1);
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("x.jpg"));
    exportPhoto(album, path);
    QVERIFY(contents(path) == patternBytes(200, 2));
    QCOMPARE(exportFileName(album), QStringLiteral("b.jpg"));
}

void TestPhotoExport::existingFile_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QByteArray>("existing");

    // A longer file checks that the new one is not merely written over its start.
    QTest::newRow("no, longer file") << false << patternBytes(5000, 9);
    QTest::newRow("yes, longer file") << true << patternBytes(5000, 9);
    QTest::newRow("yes, empty file") << true << QByteArray();
}

void TestPhotoExport::existingFile()
{
    QFETCH(bool, overwrite);
    QFETCH(QByteArray, existing);
    const QByteArray image = patternBytes(1000, 4);
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), image);
    Query album;
    openAlbum(album, db.dir());
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("p.jpg"));
    QVERIFY(writeFile(path, existing));

    ScriptedPrompter prompter;
    prompter.answerPath(path);
    prompter.answer(overwrite ? Prompter::Yes : Prompter::No);
    QCOMPARE(ExportCurrentPhoto(album, prompter), overwrite);
    const ScriptedPrompter::Call &question = prompter.calls.at(1);
    QCOMPARE(question.kind, Prompter::Kind::Confirmation);
    QCOMPARE(question.buttons, Prompter::Buttons(Prompter::Yes | Prompter::No));
    QCOMPARE(question.text, overwriteQuestion(path));
    if (overwrite) {
        QCOMPARE(prompter.texts().last(), "Exported to \"" + path + "\".");
        QVERIFY(contents(path) == image);
    } else {
        QCOMPARE(prompter.calls.size(), 2);
        QVERIFY(contents(path) == existing);
    }
}

void TestPhotoExport::cancelWritesNothing()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), "1");
    Query album;
    openAlbum(album, db.dir());
    QTemporaryDir out;
    ScriptedPrompter prompter;
    prompter.answerCancel();
    QVERIFY(!ExportCurrentPhoto(album, prompter));
    QCOMPARE(prompter.texts(), QStringList());
    QVERIFY(QDir(out.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TestPhotoExport::failureKeepsExistingFile()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), patternBytes(300, 5));
    Query album;
    openAlbum(album, db.dir());
    QTemporaryDir out;

    // Into a directory that does not exist.
    const QString missing = out.filePath(QStringLiteral("no/such/p.jpg"));
    ScriptedPrompter prompter;
    prompter.answerPath(missing);
    QVERIFY(!ExportCurrentPhoto(album, prompter));
    QCOMPARE(prompter.texts(), QStringList{"Could not save to \"" + missing + "\"."});
    QCOMPARE(prompter.last().kind, Prompter::Kind::Warning);
    QVERIFY(!QFileInfo::exists(out.filePath(QStringLiteral("no"))));

    // exportPhoto itself says why.
    try {
        exportPhoto(album, missing);
        QFAIL("no error");
    } catch (const Error &error) {
        QVERIFY2(error.text().startsWith("Could not save to \"" + missing + "\": ") &&
                     error.text().size() > missing.size() + 22,
                 qPrintable(error.text()));
    }

    // Onto a directory of that name: asked, then refused, and the directory stays.
    const QString dirPath = out.filePath(QStringLiteral("d.jpg"));
    QVERIFY(QDir(out.path()).mkdir(QStringLiteral("d.jpg")));
    QVERIFY(writeFile(dirPath + QStringLiteral("/inside"), "keep"));
    ScriptedPrompter again;
    again.answerPath(dirPath);
    again.answer(Prompter::Yes);
    QVERIFY(!ExportCurrentPhoto(album, again));
    QCOMPARE(again.texts(),
             QStringList({overwriteQuestion(dirPath), "Could not save to \"" + dirPath + "\"."}));
    QVERIFY(QFileInfo(dirPath).isDir());
    QCOMPARE(contents(dirPath + QStringLiteral("/inside")), QByteArray("keep"));
}

void TestPhotoExport::readOnlyDirectory()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), patternBytes(300, 5));
    Query album;
    openAlbum(album, db.dir());
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("p.jpg"));
    const QByteArray existing = patternBytes(4000, 8);
    QVERIFY(writeFile(path, existing));
    // The file itself stays writable: only a write in place could change it.
    QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner;
    QVERIFY(QFile::setPermissions(out.path(), readOnly));
    const test::FilePermissionsApply permissions;
    if (!permissions.active())
        QSKIP("file permissions cannot be made to bind this process");
    ScriptedPrompter prompter;
    prompter.answerPath(path);
    prompter.answer(Prompter::Yes);
    const bool exported = ExportCurrentPhoto(album, prompter);
    QFile::setPermissions(out.path(), readOnly | QFile::WriteOwner);
    QVERIFY(!exported);
    QCOMPARE(prompter.texts(),
             QStringList({overwriteQuestion(path), "Could not save to \"" + path + "\"."}));
    QVERIFY(contents(path) == existing);
    QCOMPARE(QDir(out.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"p.jpg"});
}

void TestPhotoExport::unreadableImage()
{
    // A DISTINCT result without the table's key cannot tell which record a photo is of,
    // so it cannot hand it out; the export fails before any file is touched.
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), patternBytes(300, 5));
    Query album;
    openAlbum(album, db.dir(),
              QStringLiteral("select distinct NAME, EXT, IMAGE from PHOTODB.DB ;"));
    QVERIFY(!album.isLive());
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("p.jpg"));
    QVERIFY(writeFile(path, "old"));
    ScriptedPrompter prompter;
    prompter.answerPath(path);
    prompter.answer(Prompter::Yes);
    QVERIFY(!ExportCurrentPhoto(album, prompter));
    QCOMPARE(prompter.texts().last(), "Could not save to \"" + path + "\".");
    QCOMPARE(contents(path), QByteArray("old"));
}

void TestPhotoExport::noRecord()
{
    PhotoDbFixture db;
    Query album;
    openAlbum(album, db.dir());
    ScriptedPrompter prompter;
    QVERIFY(!ExportCurrentPhoto(album, prompter));
    QCOMPARE(prompter.texts(), QStringList{"No record."});
    QCOMPARE(prompter.last().kind, Prompter::Kind::Warning);
    QCOMPARE(prompter.last().buttons, Prompter::Buttons(Prompter::Ok));

    // A filter that matches nothing is an empty set too.
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), "1");
    Query filtered;
    openAlbum(filtered, db.dir(), QStringLiteral("select * from PHOTODB.DB where NAME=\"q\";"));
    ScriptedPrompter second;
    QVERIFY(!ExportCurrentPhoto(filtered, second));
    QCOMPARE(second.texts(), QStringList{"No record."});

    // Without an open album the engine's error reaches the caller's error report.
    Query closed;
    ScriptedPrompter third;
    try {
        ExportCurrentPhoto(closed, third);
        QFAIL("no error");
    } catch (const EngineError &error) {
        QCOMPARE(error.text(),
                 QStringLiteral("Cannot perform this operation on a closed dataset."));
    }
    QCOMPARE(third.calls.size(), 0);
}

void TestPhotoExport::newFilePermissions()
{
    // An exported photo is an ordinary file, made as any other program would make it,
    // not with a temporary file's owner-only mode.
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"), "1");
    Query album;
    openAlbum(album, db.dir());
    QTemporaryDir out;
    const QString plain = out.filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(plain, "x"));
    const QString path = out.filePath(QStringLiteral("p.jpg"));
    exportPhoto(album, path);
    QCOMPARE(QFileInfo(path).permissions(), QFileInfo(plain).permissions());
}

QTEST_GUILESS_MAIN(TestPhotoExport)
#include "tst_photo_export.moc"
