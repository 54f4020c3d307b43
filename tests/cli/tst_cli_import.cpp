#include "cli_runner.h"
#include "db/query.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

using pictavo::Query;
using pictavo::test::cli;
using pictavo::test::PhotoDbFixture;
using pictavo::test::Run;

namespace {

QByteArray jpeg(quint32 seed)
{
    pictavo::fixtures::JpegOptions options;
    options.seed = seed;
    return pictavo::fixtures::makeJpeg(64, 48, options);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// NAME -> IMAGE of every photo, checking that each is whole: IMAGE_SIZE is what is stored.
QMap<QString, QByteArray> storedImages(const QString &dir, QStringList *faults)
{
    Query album;
    album.setDatabaseName(dir);
    album.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB;")});
    album.open();
    QMap<QString, QByteArray> images;
    for (album.first(); !album.eof(); album.next()) {
        const QString name = album.asString(QStringLiteral("NAME"));
        const QByteArray image = album.readBlob(QStringLiteral("IMAGE"));
        if (album.asInteger(QStringLiteral("IMAGE_SIZE")) != image.size())
            *faults << name + ": IMAGE_SIZE differs from the stored length";
        if (images.contains(name))
            *faults << name + ": stored twice";
        images.insert(name, image);
    }
    return images;
}

} // namespace

// pictavo-cli import, run as a script would run it.
class TestCliImport : public QObject
{
    Q_OBJECT

private slots:
    void folders();
    void removal();
    void newKeywords_data();
    void newKeywords();
    void failures();
    void unreadableFileInTheMiddle();
    void usage();
    void killedMidway();
    void randomFolderKeepsEveryPhoto();
    void roundTripThroughFiles();
};

void TestCliImport::folders()
{
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("k"), 1);
    QTemporaryDir in;
    const QString f = in.path();
    for (const char *name : {"a.jpg", "B.JPG", "c.Jpeg", ".hidden.jpg", "sub/d.jpg", "sub/x/e.jpg"})
        writeFile(in.filePath(name), jpeg(quint32(qHash(QByteArray(name)))));
    writeFile(in.filePath("notes.txt"), "text");
    writeFile(in.filePath("p.png"), "png");

    Run run = cli({"import", db.dir(), f, "--prefix", "Trip", "--keywords", "k"});
    QCOMPARE(run.err, QStringLiteral("Finished\n"));
    QCOMPARE(run.out, QStringLiteral("%1/B.JPG: stored as SERIAL 1\n%1/a.jpg: stored as SERIAL 2\n"
                                     "%1/c.Jpeg: stored as SERIAL 3\n"
                                     "3 stored, 0 duplicates, 0 not JPEG, 0 failed\n")
                          .arg(f));
    QCOMPARE(run.code, 0);
    QCOMPARE(db.rows({"select PREFIX, NAME, EXT, KEYWORD, COUNT from PHOTODB.DB order by SERIAL"}),
             (QStringList{"Trip|b|.jpg|k|0", "Trip|a|.jpg|k|0", "Trip|c|.jpg|k|0"}));
    QStringList faults;
    QVERIFY(storedImages(db.dir(), &faults).value("a") ==
            jpeg(quint32(qHash(QByteArray("a.jpg")))));
    QCOMPARE(faults, QStringList());

    // Each folder is a run of its own: one file alone is not asked about.
    run = cli({"import", db.dir(), f + "/", "-r", "--keywords", "k"});
    QCOMPARE(run.out,
             QStringLiteral("%1/B.JPG: duplicate of SERIAL 1\n%1/a.jpg: duplicate of SERIAL 2\n"
                            "%1/c.Jpeg: duplicate of SERIAL 3\n%1/sub/d.jpg: stored as SERIAL 4\n"
                            "%1/sub/x/e.jpg: stored as SERIAL 5\n"
                            "2 stored, 3 duplicates, 0 not JPEG, 0 failed\n")
                 .arg(f));
    const QString skipped = "Detected same image in the database.\n"
                            "Do you skip this image and continue processing?\n";
    QCOMPARE(run.err, skipped + skipped + skipped + "Finished\n");
    QCOMPARE(run.code, 0);
    QVERIFY(QFile::exists(in.filePath("a.jpg")) && QFile::exists(in.filePath("sub/d.jpg")));
}

void TestCliImport::removal()
{
    PhotoDbFixture db;
    QTemporaryDir in;
    writeFile(in.filePath("a.jpg"), jpeg(1));
    writeFile(in.filePath("b.jpg"), jpeg(2));
    writeFile(in.filePath("bad.jpg"), "not a picture");
    const QStringList files{in.filePath("a.jpg"), in.filePath("b.jpg"), in.filePath("bad.jpg")};
    Run run = cli(QStringList{"import", db.dir(), "--remove"} + files);
    QCOMPARE(run.out,
             QStringLiteral("%1: stored as SERIAL 1\n%2: stored as SERIAL 2\n%3: not JPEG\n"
                            "2 stored, 0 duplicates, 1 not JPEG, 0 failed\n")
                 .arg(files[0], files[1], files[2]));
    QCOMPARE(run.code, 1);
    QVERIFY(!QFile::exists(files[0]) && !QFile::exists(files[1]) && QFile::exists(files[2]));

    // A duplicate is removed only with --remove.
    writeFile(files[0], jpeg(1));
    run = cli({"import", db.dir(), files[0]});
    QCOMPARE(run.out,
             files[0] + ": duplicate of SERIAL 1\n0 stored, 1 duplicates, 0 not JPEG, 0 failed\n");
    QCOMPARE(run.code, 0);
    QVERIFY(QFile::exists(files[0]));
    run = cli({"import", db.dir(), files[0], "--remove"});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.err, "Detected same image in the database.\nDo you remove the file \"a.jpg\" ?\n"
                      "Removed the file \"a.jpg\".\n");
    QVERIFY(!QFile::exists(files[0]));
}

void TestCliImport::newKeywords_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("photoKeyword");
    QTest::addColumn<QStringList>("keywordTable");

    QTest::newRow("asked, not added")
        << QStringList{"--keywords", "sea,k"} << "sea,k" << QStringList{"k|1"};
    QTest::newRow("added") << QStringList{"--keywords", "sea,k", "--add-new-keywords"} << "sea,k"
                           << QStringList{"k|1", "sea|1"};
    QTest::newRow("none typed: *")
        << QStringList{"--add-new-keywords"} << "*" << QStringList{"*|1", "k|1"};
}

void TestCliImport::newKeywords()
{
    QFETCH(QStringList, options);
    QFETCH(QString, photoKeyword);
    QFETCH(QStringList, keywordTable);
    PhotoDbFixture db;
    db.addKeyword(QStringLiteral("k"), 1);
    QTemporaryDir in;
    writeFile(in.filePath("a.jpg"), jpeg(1));
    const Run run = cli(QStringList{"import", db.dir(), in.filePath("a.jpg")} + options);
    QCOMPARE(run.code, 0);
    QCOMPARE(db.rows({"select KEYWORD from PHOTODB.DB"}), QStringList{photoKeyword});
    QCOMPARE(db.rows({"select KEYWORD, COUNT from KEYWORD.DB"}), keywordTable);
}

void TestCliImport::failures()
{
    QTemporaryDir in;
    writeFile(in.filePath("a.jpg"), jpeg(1));
    // A directory without a database: nothing is read or removed.
    Run run = cli({"import", in.path(), in.filePath("a.jpg"), "--remove"});
    QCOMPARE(run.code, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, "Table \"KEYWORD.DB\" does not exist in \"" + in.path() + "\".\n");
    QVERIFY(QFile::exists(in.filePath("a.jpg")));

    PhotoDbFixture db;
    const QString missing = in.filePath("missing.jpg");
    run = cli({"import", db.dir(), missing, in.filePath("a.jpg")});
    QCOMPARE(run.out, missing + ": failed: No such file or folder.\n" + in.filePath("a.jpg") +
                          ": stored as SERIAL 1\n1 stored, 0 duplicates, 0 not JPEG, 1 failed\n");
    QCOMPARE(run.code, 1);
}

// /proc/self/mem cannot be read from its start, whoever runs the test: the file is reported
// and the rest of the run goes on.
void TestCliImport::unreadableFileInTheMiddle()
{
    PhotoDbFixture db;
    QTemporaryDir in;
    writeFile(in.filePath("a.jpg"), jpeg(1));
    QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), in.filePath("b.jpg")));
    writeFile(in.filePath("c.jpg"), jpeg(3));
    const Run run = cli({"import", db.dir(), in.path(), "--remove"});
    QCOMPARE(run.out, QStringLiteral("%1/a.jpg: stored as SERIAL 1\n"
                                     "%1/b.jpg: failed: Could not read the file \"%1/b.jpg\": "
                                     "Input/output error\n"
                                     "%1/c.jpg: stored as SERIAL 2\n"
                                     "2 stored, 0 duplicates, 0 not JPEG, 1 failed\n")
                          .arg(in.path()));
    QCOMPARE(run.code, 1);
    QVERIFY(!QFile::exists(in.filePath("a.jpg")) && !QFile::exists(in.filePath("c.jpg")));
}

void TestCliImport::usage()
{
    for (const QStringList &args : {QStringList{"import"}, QStringList{"import", "/tmp"},
                                    QStringList{"import", "/tmp", "a.jpg", "--frobnicate"},
                                    QStringList{"import", "/tmp", "a.jpg", "--prefix"}}) {
        const Run run = cli(args);
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.startsWith("usage: pictavo-cli import DIR PATH..."), qPrintable(run.err));
    }
}

// Killed at any moment of an import with removal, the database opens, every photo in it is
// whole, and every file gone from the folder is stored. Running the import again finishes it.
void TestCliImport::killedMidway()
{
    PhotoDbFixture db;
    QTemporaryDir in;
    constexpr int kFiles = 120;
    QMap<QString, QByteArray> originals; // NAME -> the file's bytes, kept aside
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0'));
        originals.insert(name, jpeg(quint32(1000 + i)));
        writeFile(in.filePath(name + ".jpg"), originals[name]);
    }
    const auto remaining = [&in] { return QDir(in.path()).entryList(QDir::Files).size(); };

    QProcess process;
    process.start(QStringLiteral(PICTAVO_CLI), {"import", db.dir(), in.path(), "--remove"});
    QVERIFY(process.waitForStarted());
    while (process.state() != QProcess::NotRunning && remaining() > kFiles / 4 * 3)
        process.waitForFinished(1);
    // Somewhere in the next file: reading, decoding, posting or removing it.
    QThread::usleep(QRandomGenerator::global()->bounded(15000));
    const bool killed = process.state() != QProcess::NotRunning;
    process.kill();
    process.waitForFinished();
    if (!killed)
        qWarning("the import ended before it could be killed");

    QStringList faults;
    const QMap<QString, QByteArray> stored = storedImages(db.dir(), &faults);
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        if (it.value() != originals.value(it.key()))
            faults << it.key() + ": stored bytes differ from the file";
    }
    for (const QString &name : originals.keys()) {
        if (!QFile::exists(in.filePath(name + ".jpg")) && !stored.contains(name))
            faults << name + ": removed but not stored";
    }
    QCOMPARE(faults, QStringList());
    QVERIFY(stored.size() >= kFiles / 4);

    const Run rest = cli({"import", db.dir(), in.path(), "--remove"});
    QCOMPARE(rest.code, 0);
    QCOMPARE(remaining(), 0);
    QVERIFY(storedImages(db.dir(), &faults) == originals);
    QCOMPARE(faults, QStringList());
}

// Same bytes with one bit changed inside the scan: a different photo of the same size.
QByteArray flippedInScan(QByteArray bytes, QRandomGenerator &random)
{
    const qsizetype scan = bytes.indexOf(QByteArray("\xFF\xDA", 2));
    for (;;) {
        const qsizetype at = scan + 20 + random.bounded(int(bytes.size() - scan - 24));
        const char flipped = char(bytes[at] ^ 0x01);
        if (bytes[at] != '\xFF' && flipped != '\xFF' && bytes[at - 1] != '\xFF') {
            bytes[at] = flipped;
            return bytes;
        }
    }
}

// A folder tree of photos, copies of them under other names, photos of the same size
// that differ in one bit, and files that are no photos, imported with removal: every file
// that is gone is stored, nothing is stored twice, and a second run stores nothing more.
void TestCliImport::randomFolderKeepsEveryPhoto()
{
    QRandomGenerator random(7);
    QVector<QByteArray> photos;
    for (int i = 0; i < 8; ++i)
        photos << jpeg(quint32(500 + i));
    PhotoDbFixture db;
    QTemporaryDir in;
    QMap<QString, QByteArray> files; // path -> bytes, kept aside
    for (int i = 0; i < 60; ++i) {
        const QString folder = random.bounded(3) == 0 ? QStringLiteral("sub/") : QString();
        const QString ext = QStringList{".jpg", ".JPG", ".jpeg"}[random.bounded(3)];
        const QString path =
            in.filePath(folder + QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')) + ext);
        const QByteArray &photo = photos[random.bounded(int(photos.size()))];
        QByteArray bytes;
        switch (random.bounded(6)) {
        case 0:
        case 1:
        case 2:
            bytes = photo; // often a copy of another file
            break;
        case 3:
            bytes = flippedInScan(photo, random);
            break;
        case 4:
            bytes = QByteArray("\x89PNG\r\n\x1a\n", 8) + photo;
            break;
        default:
            bytes = QByteArray(); // zero bytes
        }
        files.insert(path, bytes);
        writeFile(path, bytes);
    }

    const Run first = cli({"import", db.dir(), in.path(), "-r", "--remove"});
    QVERIFY2(first.code == 0 || first.code == 1, qPrintable(first.err));
    QStringList faults;
    const QMap<QString, QByteArray> stored = storedImages(db.dir(), &faults);
    QSet<QByteArray> storedBytes;
    for (const QByteArray &image : stored) {
        if (storedBytes.contains(image))
            faults << QStringLiteral("a photo is stored twice");
        storedBytes.insert(image);
    }
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const bool gone = !QFile::exists(it.key());
        if (gone && !storedBytes.contains(it.value()))
            faults << it.key() + ": removed but not stored";
        if (!gone && photos.contains(it.value()))
            faults << it.key() + ": a whole photo left behind";
        if (!gone && storedBytes.contains(it.value()))
            faults << it.key() + ": stored but not removed";
    }
    QCOMPARE(faults, QStringList());
    QVERIFY(stored.size() >= 4);

    const Run second = cli({"import", db.dir(), in.path(), "-r", "--remove"});
    QCOMPARE(second.code, first.code == 0 ? 0 : 1);
    QCOMPARE(storedImages(db.dir(), &faults).size(), stored.size());
    QCOMPARE(faults, QStringList());
}

void TestCliImport::roundTripThroughFiles()
{
    // export-set --xmp, then import --keywords-from-files into a new library: the same
    // photos, byte for byte, with the same Keyword Strings.
    PhotoDbFixture from;
    const QStringList keywords{QStringLiteral("猫,東京タワー"), QStringLiteral("café,Zürich,naïve"),
                               "sea", "*", QStringLiteral("x <&> y,Ålesund")};
    QMap<QByteArray, QString> expected;
    for (int i = 0; i < keywords.size(); ++i) {
        // Two photos of one name; one in the folder of its prefix.
        from.addPhoto(i == 4 ? "Trip 2024" : "", i < 2 ? "same" : QString("p%1").arg(i),
                      keywords[i], jpeg(100 + i));
        expected.insert(jpeg(100 + i), keywords[i]);
    }
    from.addPhoto(QString(), "none", "k", "1");
    from.emptyPhoto("none");
    QTemporaryDir out;
    Run run = cli({"export-set", from.dir(), out.path(), "--xmp"});
    QCOMPARE(run.out, "5 written, 1 without photo, 0 not replaced, 0 failed\n");
    QCOMPARE(run.code, 0);
    // A reader of its own reads the sidecars.
    const QString exiftool = QStandardPaths::findExecutable("exiftool");
    QProcess tool;
    if (!exiftool.isEmpty()) {
        tool.start(exiftool, {"-q", "-sep", "|", "-p", "$XMP-dc:Subject",
                              out.filePath("same.jpg.xmp"), out.filePath("Trip 2024/p4.jpg.xmp")});
        QVERIFY(tool.waitForFinished());
        QCOMPARE(QString::fromUtf8(tool.readAll()),
                 QStringLiteral("猫|東京タワー\nx <&> y|Ålesund\n"));
    }
    run = cli({"export-set", from.dir(), out.path(), "--query", "select * from PHOTODB.DB",
               "where NAME=\"same\";"});
    QCOMPARE(run.out, "0 written, 0 without photo, 2 not replaced, 0 failed\n");
    QCOMPARE(run.code, 1);

    PhotoDbFixture to;
    run =
        cli({"import", to.dir(), out.path(), "-r", "--keywords-from-files", "--add-new-keywords"});
    QCOMPARE(run.code, 0);
    Query album;
    album.setDatabaseName(to.dir());
    album.setSql({QStringLiteral("SELECT * FROM PHOTODB.DB;")});
    album.open();
    QMap<QByteArray, QString> found;
    for (album.first(); !album.eof(); album.next())
        found.insert(album.readBlob("IMAGE"), album.asString("KEYWORD"));
    QVERIFY(found == expected);
}

QTEST_GUILESS_MAIN(TestCliImport)
#include "tst_cli_import.moc"
