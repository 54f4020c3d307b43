#include "import_harness.h"

#include "album/record_maintenance.h"
#include "support/file_permissions.h"
#include "support/jpeg_fixtures.h"

#include <QtTest>

using namespace pictavo;
using namespace pictavo::test;

namespace {

QString readFailure(const ImportHarness &h, const QString &name, const char *reason)
{
    return QStringLiteral("Could not read the file \"%1\": %2")
        .arg(h.folder.filePath(name), QLatin1String(reason));
}

} // namespace

// Files that are not what their names say, and files the disk will not give up.
class TestImportInputs : public QObject
{
    Q_OBJECT

private slots:
    void badFiles_data();
    void badFiles();
    void fileGoneAfterListing();
    void unreadableFile();
    void removalFails();
    void readOnlyFolder();
};

void TestImportInputs::badFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("reason"); // libjpeg's: why it is no picture, or its warning

    const QByteArray jpeg = fixtures::makeJpeg(320, 240);
    const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + jpeg.mid(16, 200);
    QTest::newRow("zero bytes") << QByteArray() << false << QString();
    QTest::newRow("PNG named .jpg") << png << false << "Not a JPEG file: starts with 0x89 0x50";
    QTest::newRow("noise") << test::patternBytes(5000, 7) << false
                           << "Not a JPEG file: starts with 0x00 0xb7";
    QTest::newRow("header only") << jpeg.left(fixtures::frameHeaderOffset(jpeg) + 4) << false
                                 << "Bogus marker length";
    // libjpeg fills the missing rows and warns: the picture shows, so it is a photo.
    QTest::newRow("truncated") << jpeg.left(jpeg.size() * 2 / 3) << true
                               << "Premature end of JPEG file";
}

// With removal on: a file that is not stored stays on the disk.
void TestImportInputs::badFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, stored);
    QFETCH(QString, reason);
    ImportHarness h;
    h.write(QStringLiteral("x.jpg"), bytes);
    h.write(QStringLiteral("good.jpg"), smallJpeg(1));
    h.run({"x.jpg", "good.jpg"}, true);
    QCOMPARE(h.boxes(),
             stored ? QStringList{finished()} : (QStringList{notJpeg("x.jpg"), finished()}));
    QCOMPARE(h.fates(), stored ? (QStringList{"stored 1", "stored 2"})
                               : (QStringList{"not JPEG", "stored 1"}));
    QCOMPARE(stored ? h.outcomes[0].decodeWarning : h.outcomes[0].reason, reason);
    QCOMPARE(h.exists("x.jpg"), !stored);
    if (stored)
        QVERIFY(h.image(1) == bytes);
}

// A listed file that is gone ends the run with the failure's text; what was stored before
// stays, and the window is idle again.
void TestImportInputs::fileGoneAfterListing()
{
    ImportHarness h;
    h.write(QStringLiteral("a.jpg"), smallJpeg(1));
    h.write(QStringLiteral("c.jpg"), smallJpeg(3));
    QString error;
    try {
        h.run({"a.jpg", "gone.jpg", "c.jpg"}, true);
    } catch (const Error &e) {
        error = e.text();
    }
    const QString text = readFailure(h, "gone.jpg", "No such file or directory");
    QCOMPARE(error, text);
    QCOMPARE(h.fates(), (QStringList{"stored 1", "failed: " + text}));
    QCOMPARE(h.boxes(), QStringList());
    QCOMPARE(h.log.mid(h.log.size() - 3), (QStringList{"input", "progress 0/3", "idle"}));
    QVERIFY(!h.exists("a.jpg") && h.exists("c.jpg"));
    QCOMPARE(h.album.query.state(), DataSet::State::Browse);
}

void TestImportInputs::unreadableFile()
{
    ImportHarness h;
    const QString path = h.write(QStringLiteral("locked.jpg"), smallJpeg(1));
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    const FilePermissionsApply permissions;
    if (!permissions.active())
        QSKIP("file permissions cannot be made to bind this process");
    QString error;
    try {
        h.run({"locked.jpg"}, false);
    } catch (const Error &e) {
        error = e.text();
    }
    QCOMPARE(error, readFailure(h, "locked.jpg", "Permission denied"));
    QCOMPARE(h.log.last(), QStringLiteral("idle"));
    QCOMPARE(h.photos(), QStringList());
}

// The removal after a store fails (the file went away meanwhile): the photo stays stored
// and the user chooses whether to go on.
void TestImportInputs::removalFails()
{
    ImportHarness h;
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        h.write(QLatin1String(name), smallJpeg(quint32(name[0])));
    h.album.query.beforePost = [&h](DataSet &photo) {
        CheckNewKeywords(photo, h.keywords, h.prompter);
        if (photo.asString(QStringLiteral("NAME")) != QLatin1String("c"))
            QFile::remove(h.folder.filePath(photo.asString(QStringLiteral("NAME")) + ".jpg"));
    };
    h.prompter.answer(Prompter::Ok);
    h.prompter.answer(Prompter::Abort);
    h.run({"a.jpg", "b.jpg", "c.jpg"}, true);
    QCOMPARE(h.boxes(), (QStringList{removeFailureQuestion("a.jpg"), removeFailureQuestion("b.jpg"),
                                     canceled("b.jpg")}));
    QCOMPARE(h.fates(), (QStringList{"stored 1", "stored 2"}));
    QVERIFY(!h.outcomes[0].removed && !h.outcomes[1].removed);
    QVERIFY(h.exists("c.jpg"));
}

void TestImportInputs::readOnlyFolder()
{
    ImportHarness h;
    h.write(QStringLiteral("a.jpg"), smallJpeg(1));
    h.write(QStringLiteral("b.jpg"), smallJpeg(2));
    const FilePermissionsApply permissions;
    if (!permissions.active())
        QSKIP("file permissions cannot be made to bind this process");
    QVERIFY(QFile::setPermissions(h.folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    h.prompter.answer(Prompter::Ok);
    h.prompter.answer(Prompter::Ok);
    h.run({"a.jpg", "b.jpg"}, true);
    QFile::setPermissions(h.folder.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(h.boxes(), (QStringList{removeFailureQuestion("a.jpg"), removeFailureQuestion("b.jpg"),
                                     finished()}));
    QCOMPARE(h.fates(), (QStringList{"stored 1", "stored 2"}));
    QVERIFY(h.exists("a.jpg") && h.exists("b.jpg"));
}

QTEST_GUILESS_MAIN(TestImportInputs)
#include "tst_import_inputs.moc"
