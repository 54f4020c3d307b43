#include "base/error.h"
#include "cli_runner.h"
#include "db/query.h"
#include "maintenance/library_check.h"
#include "maintenance/snapshot_copy.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/file.h>

using pictavo::Query;
using pictavo::test::cli;
using pictavo::test::PhotoDbFixture;
using pictavo::test::Run;

namespace {

QByteArray jpeg(quint32 seed, int width = 96, int height = 72)
{
    pictavo::fixtures::JpegOptions options;
    options.seed = seed;
    return pictavo::fixtures::makeJpeg(width, height, options);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// Changes a table file behind the engine's back, as damage or another program would.
void rawSql(const QString &file, const QString &sql, const QByteArray &blob = QByteArray())
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
    sqlite3_stmt *stmt = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK);
    if (sqlite3_bind_parameter_count(stmt) > 0)
        sqlite3_bind_blob(stmt, 1, blob.constData(), int(blob.size()), SQLITE_TRANSIENT);
    QCOMPARE(sqlite3_step(stmt), SQLITE_DONE);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
}

using Damage = std::function<void(const QString &dir)>;

// The library every row damages: its Keyword Table is what a rebuild makes, and two of its
// photos have the same size but other bytes (no duplicate).
void soundLibrary(PhotoDbFixture &db)
{
    db.addPhoto("", "one", "sea,beach", jpeg(1, 400, 300)); // several pages long
    db.addPhoto("", "two", "sea", jpeg(2));
    const QByteArray three = jpeg(3);
    db.addPhoto("", "three", "sun", three + "AB"); // bytes after the end of the picture
    db.addPhoto("", "four", "*", three + "CD");
    for (const auto &[keyword, count] :
         {std::pair("sea", 2), std::pair("beach", 1), std::pair("sun", 1), std::pair("*", 1)})
        db.addKeyword(keyword, count);
}

} // namespace

// pictavo-cli check and backup, run as a script would run them.
class TestCliMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void checkFindsEachDamage_data();
    void checkFindsEachDamage();
    void checkUsage();
    void failedBackupKeepsTheOldOne();
    void thumbnailsMakesWhatIsMissing();
    void backupWhileAnotherProcessImports();
    void backupCutShortIsRemovedByTheNext();
    void snapshotCopiesAreEachOneMoment();

private:
    void backupsDuringOneImport(int &midway);
};

void TestCliMaintenance::checkFindsEachDamage_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<bool>("decode");
    QTest::addColumn<QStringList>("lines"); // patterns; each line matches one, each one a line
    QTest::addColumn<int>("code");

    const auto photo = [](const QString &dir) { return QDir(dir).filePath("photodb.db"); };
    const auto keyword = [](const QString &dir) { return QDir(dir).filePath("keyword.db"); };
    const QString clean =
        "4 photos, 0 damaged, 0 duplicates, 0 table faults, 0 keyword differences";

    QTest::newRow("sound") << Damage([](const QString &) {}) << false << QStringList{clean} << 0;
    QTest::newRow("sound, decoded")
        << Damage([](const QString &) {}) << true << QStringList{clean} << 0;
    QTest::newRow("truncated table file")
        << Damage([photo](const QString &dir) {
               QFile file(photo(dir));
               QVERIFY(file.resize(file.size() / 2));
           })
        << false
        << QStringList{"photodb\\.db: .+", "\\d+ photos, \\d+ damaged, 0 duplicates, [1-9]\\d* "
                                           "table faults, 0 keyword differences"}
        << 1;
    QTest::newRow("IMAGE_SIZE that lies")
        << Damage([photo](const QString &dir) {
               rawSql(photo(dir), "UPDATE photodb SET IMAGE_SIZE=IMAGE_SIZE+7 WHERE SERIAL=2");
           })
        << false
        << QStringList{QString("SERIAL 2: IMAGE_SIZE is %1, the photo holds %2 bytes")
                           .arg(jpeg(2).size() + 7)
                           .arg(jpeg(2).size()),
                       "4 photos, 1 damaged, 0 duplicates, 0 table faults, 0 keyword differences"}
        << 1;
    QTest::newRow("PNG stored as a photo")
        << Damage([photo](const QString &dir) {
               const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
               rawSql(photo(dir), "UPDATE photodb SET IMAGE=?, IMAGE_SIZE=16 WHERE SERIAL=3", png);
           })
        << false
        << QStringList{"SERIAL 3: not a JPEG picture: Not a JPEG file: starts with 0x89 0x50",
                       "4 photos, 1 damaged, 0 duplicates, 0 table faults, 0 keyword differences"}
        << 1;
    QTest::newRow("empty photo and a lie")
        << Damage([photo](const QString &dir) {
               rawSql(photo(dir), "UPDATE photodb SET IMAGE=X'' WHERE SERIAL=4");
               rawSql(photo(dir), "UPDATE photodb SET IMAGE_SIZE=1, IMAGE=X'FFD8' WHERE SERIAL=1");
           })
        << false
        << QStringList{"SERIAL 1: IMAGE_SIZE is 1, the photo holds 2 bytes",
                       "SERIAL 1: not a JPEG picture: .+", "SERIAL 4: no photo",
                       "4 photos, 2 damaged, 0 duplicates, 0 table faults, 0 keyword differences"}
        << 1;
    QTest::newRow("duplicate")
        << Damage([photo](const QString &dir) {
               rawSql(photo(dir), "INSERT INTO photodb(PREFIX, NAME, EXT, KEYWORD, COUNT, "
                                  "IMAGE_SIZE, IMAGE) SELECT 'again', NAME, EXT, '*', 0, "
                                  "IMAGE_SIZE, IMAGE FROM photodb WHERE SERIAL=3");
           })
        << false
        << QStringList{"SERIAL 5: same photo as SERIAL 3",
                       "KEYWORD \"\\*\": COUNT is 1, a rebuild counts 2",
                       "5 photos, 0 damaged, 1 duplicates, 0 table faults, 1 keyword differences"}
        << 1;
    QTest::newRow("stale Keyword Table")
        << Damage([keyword](const QString &dir) {
               rawSql(keyword(dir), "UPDATE keyword SET COUNT=7 WHERE KEYWORD='sea'");
               rawSql(keyword(dir), "DELETE FROM keyword WHERE KEYWORD='beach'");
               rawSql(keyword(dir), "INSERT INTO keyword VALUES('ghost', 0)");
           })
        << false
        << QStringList{"KEYWORD \"ghost\": in the Keyword Table but on no photo",
                       "KEYWORD \"sea\": COUNT is 7, a rebuild counts 2",
                       "KEYWORD \"beach\": on photos 1 times but not in the Keyword Table",
                       "4 photos, 0 damaged, 0 duplicates, 0 table faults, 3 keyword differences"}
        << 0; // counts are exact only after a rebuild: the program leaves them so
    QTest::newRow("Keyword Table missing")
        << Damage([keyword](const QString &dir) { QVERIFY(QFile::remove(keyword(dir))); }) << false
        << QStringList{"keyword\\.db: missing",
                       "4 photos, 0 damaged, 0 duplicates, 1 table faults, 0 keyword differences"}
        << 1;
    QTest::newRow("Keyword Table of noise")
        << Damage([keyword](const QString &dir) {
               writeFile(keyword(dir), pictavo::fixtures::randomBytes(7, 8192));
           })
        << false
        << QStringList{"keyword\\.db: file is not a database",
                       "4 photos, 0 damaged, 0 duplicates, 1 table faults, 0 keyword differences"}
        << 1;
    // A cut photo has a good header: only a decode finds it, and libjpeg recovers.
    const QByteArray cut = jpeg(2).left(jpeg(2).size() / 2);
    const Damage cutPhoto = [photo, cut](const QString &dir) {
        rawSql(photo(dir),
               QString("UPDATE photodb SET IMAGE=?, IMAGE_SIZE=%1 WHERE SERIAL=2").arg(cut.size()),
               cut);
    };
    QTest::newRow("cut photo") << cutPhoto << false << QStringList{clean} << 0;
    QTest::newRow("cut photo, decoded")
        << cutPhoto << true << QStringList{"SERIAL 2: warning: Premature end of JPEG file", clean}
        << 0;
}

void TestCliMaintenance::checkFindsEachDamage()
{
    QFETCH(Damage, damage);
    QFETCH(bool, decode);
    QFETCH(QStringList, lines);
    QFETCH(int, code);

    PhotoDbFixture db;
    soundLibrary(db);
    damage(db.dir());
    QStringList args{"check", db.dir()};
    if (decode)
        args << "--decode";
    const Run run = cli(args);
    const QStringList out = run.out.split('\n', Qt::SkipEmptyParts);
    for (const QString &line : out) {
        const bool expected = std::any_of(lines.cbegin(), lines.cend(), [&](const QString &p) {
            return QRegularExpression(QRegularExpression::anchoredPattern(p))
                .match(line)
                .hasMatch();
        });
        QVERIFY2(expected, qPrintable("unexpected line: " + line + "\n" + run.out));
    }
    for (const QString &pattern : lines) {
        const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
        QVERIFY2(std::any_of(out.cbegin(), out.cend(),
                             [&](const QString &line) { return re.match(line).hasMatch(); }),
                 qPrintable("missing: " + pattern + "\n" + run.out));
    }
    QCOMPARE(run.err, QString()); // short runs print no progress
    QCOMPARE(run.code, code);
}

void TestCliMaintenance::checkUsage()
{
    QCOMPARE(cli({"check"}).code, 2);
    QCOMPARE(cli({"check", "a", "b"}).code, 2);
    QCOMPARE(cli({"backup", "a"}).code, 2);
    QTemporaryDir empty;
    const Run run = cli({"check", empty.path()});
    QCOMPARE(run.out, QStringLiteral("photodb.db: missing\nkeyword.db: missing\n"
                                     "0 photos, 0 damaged, 0 duplicates, 2 table faults, "
                                     "0 keyword differences\n"));
    QCOMPARE(run.code, 1);
}

void TestCliMaintenance::failedBackupKeepsTheOldOne()
{
    PhotoDbFixture db;
    soundLibrary(db);
    // thumbs.db is a cache beside the tables: the check passes over it, the backup leaves
    // it out.
    QCOMPARE(cli({"thumbnails", db.dir()}).out, "4 photos, 4 thumbnails made, 0 not decodable\n");
    QCOMPARE(cli({"check", db.dir()}).code, 0);
    QTemporaryDir target;
    const QString dest = target.filePath("backup");
    Run run = cli({"backup", db.dir(), dest});
    QCOMPARE(run.out, QStringLiteral("Backed up to \"%1\": 4 photos, %2 bytes.\n")
                          .arg(dest)
                          .arg(QFileInfo(dest + "/photodb.db").size() +
                               QFileInfo(dest + "/keyword.db").size()));
    QCOMPARE(run.code, 0);
    QFile first(dest + "/photodb.db");
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray good = first.readAll();
    first.close();

    // A damaged library copies faithfully, fails the check of the copy, and the earlier
    // backup stays as it was; nothing temporary is left behind.
    db.addPhoto("", "five", "sea", jpeg(5));
    rawSql(QDir(db.dir()).filePath("photodb.db"), "UPDATE photodb SET IMAGE_SIZE=3 WHERE SERIAL=5");
    run = cli({"backup", db.dir(), dest});
    QCOMPARE(run.err, QStringLiteral("The backup did not pass the check: SERIAL 5: IMAGE_SIZE is "
                                     "3, the photo holds %1 bytes\n")
                          .arg(jpeg(5).size()));
    QCOMPARE(run.code, 1);
    QFile kept(dest + "/photodb.db");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll() == good);
    QCOMPARE(QDir(dest).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"keyword.db", "photodb.db"}));
    QCOMPARE(cli({"check", dest}).code, 0);
}

// The thumbnails of the photos that have none; with --verify, also of photos replaced by
// others of the same length. A photo that is no picture is named, not counted as made.
void TestCliMaintenance::thumbnailsMakesWhatIsMissing()
{
    PhotoDbFixture db;
    soundLibrary(db);
    db.addPhoto("", "five", "sea", QByteArray("junk, no picture"));
    QCOMPARE(cli({"thumbnails", db.dir()}).out,
             "SERIAL 5: not decoded: Not a JPEG file: starts with 0x6a 0x75\n"
             "5 photos, 4 thumbnails made, 1 not decodable\n");
    QCOMPARE(cli({"thumbnails", db.dir()}).out, "5 photos, 0 thumbnails made, 0 not decodable\n");
    const QString photos = QDir(db.dir()).filePath("photodb.db");
    rawSql(photos,
           "UPDATE photodb SET IMAGE=(SELECT IMAGE FROM photodb WHERE SERIAL=4) WHERE SERIAL=3");
    rawSql(photos, "DELETE FROM photodb WHERE SERIAL=1");
    QCOMPARE(cli({"thumbnails", db.dir()}).out,
             "4 photos, 0 thumbnails made, 0 not decodable, 1 of deleted records removed\n");
    QCOMPARE(cli({"thumbnails", db.dir(), "--verify"}).out,
             "4 photos, 1 thumbnails made, 0 not decodable\n");
    QCOMPARE(cli({"thumbnails"}).code, 2);
}

// Imports in a child process while backups are taken one after another; every backup must
// open, pass the check and hold a prefix of the import. Returns how many were taken while
// the import ran.
void TestCliMaintenance::backupsDuringOneImport(int &midway)
{
    PhotoDbFixture db;
    QTemporaryDir in, target;
    // Enough photos that the import outlasts several backups, also on a fast machine.
    constexpr int kFiles = 150;
    QStringList names;
    QMap<QString, QByteArray> files;
    for (int i = 0; i < kFiles; ++i) {
        const QString name = QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0'));
        names << name;
        files.insert(name, jpeg(quint32(100 + i), 640, 480));
        writeFile(in.filePath(name + ".jpg"), files[name]);
    }

    QProcess import;
    import.start(QStringLiteral(PICTAVO_CLI),
                 {"import", db.dir(), in.path(), "--keywords", "k", "--add-new-keywords"});
    QVERIFY(import.waitForStarted());
    QStringList backups;
    bool finished = false;
    while (!finished && backups.size() < 400) {
        import.waitForFinished(1);                         // lets QProcess notice the end
        finished = import.state() == QProcess::NotRunning; // one more backup after the end
        const QString dest = target.filePath(QString::number(backups.size()));
        const Run run = cli({"backup", db.dir(), dest});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        backups << dest;
    }
    QCOMPARE(import.state(), QProcess::NotRunning);
    QCOMPARE(import.exitCode(), 0);

    midway = 0;
    for (const QString &dest : backups) {
        // It opens and passes the check...
        const pictavo::CheckSummary summary = pictavo::checkLibrary(dest);
        QVERIFY2(summary.sound(), qPrintable(dest));
        // ...and holds the first photos of the import, each one whole.
        Query album;
        album.setDatabaseName(dest);
        album.setSql({"SELECT * FROM PHOTODB.DB ORDER BY SERIAL;"});
        album.open();
        QStringList stored;
        for (album.first(); !album.eof(); album.next()) {
            const QString name = album.asString("NAME");
            const QByteArray image = album.readBlob("IMAGE");
            QVERIFY2(image == files.value(name), qPrintable(dest + ": " + name));
            QCOMPARE(album.asInteger("IMAGE_SIZE"), image.size());
            stored << name;
        }
        QCOMPARE(stored, names.mid(0, stored.size()));
        midway += stored.size() > 0 && stored.size() < kFiles;
    }
    QCOMPARE(pictavo::checkLibrary(backups.last()).photos, kFiles);
    qInfo("%lld backups, %d of them taken while the import ran", qlonglong(backups.size()), midway);
}

void TestCliMaintenance::backupWhileAnotherProcessImports()
{
    // Whether a backup falls in the middle of the import depends on the machine's load:
    // the run is repeated until one does.
    int midway = 0;
    for (int attempt = 0; attempt < 5 && midway == 0 && !QTest::currentTestFailed(); ++attempt)
        backupsDuringOneImport(midway);
    QVERIFY(midway > 0);
}

// A backup killed in the middle leaves its work folder; the next backup into the same
// folder removes it and says so, but not the folder of a backup still running (its lock
// held here). check reports the leftover meanwhile.
void TestCliMaintenance::backupCutShortIsRemovedByTheNext()
{
    PhotoDbFixture db;
    db.addPhoto("", "seed", "k", jpeg(7));
    // Enough photos (each of its own size and bytes) that the backup's check of its copy
    // lasts long enough to be killed in.
    rawSql(db.dir() + "/photodb.db",
           "INSERT INTO photodb (NAME, EXT, KEYWORD, COUNT, IMAGE_SIZE, IMAGE) "
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
           "SELECT 'p' || i, '.jpg', 'k', 0, length(IMAGE) + i, IMAGE || randomblob(i) "
           "FROM n, photodb WHERE NAME = 'seed'");
    QTemporaryDir dest;
    QCOMPARE(cli({"backup", db.dir(), dest.path()}).code, 0);
    const auto workFolders = [&] {
        return QDir(dest.path()).entryList({".pictavo-backup-*"}, QDir::Dirs | QDir::Hidden);
    };
    QStringList left;
    for (int attempt = 0; attempt < 5 && left.isEmpty(); ++attempt) {
        QProcess backup;
        backup.start(QStringLiteral(PICTAVO_CLI), {"backup", db.dir(), dest.path()});
        QVERIFY(backup.waitForStarted());
        while (backup.state() == QProcess::Running && left.isEmpty()) {
            for (const QString &name : workFolders())
                if (QFileInfo(dest.filePath(name + "/photodb.db")).size() > 0)
                    left << name;
            if (left.isEmpty())
                QThread::usleep(200);
        }
        ::kill(pid_t(backup.processId()), SIGKILL);
        backup.waitForFinished();
    }
    QCOMPARE(left.size(), 1);
    QVERIFY(QDir().mkpath(dest.filePath(".pictavo-backup-live")));
    const int liveLock = ::open(QFile::encodeName(dest.filePath(".pictavo-backup-live/lock")),
                                O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(liveLock >= 0 && ::flock(liveLock, LOCK_EX) == 0);

    const Run check = cli({"check", dest.path()});
    QCOMPARE(check.code, 0);
    QVERIFY2(check.out.contains(left[0] + ": left by a backup that was cut short"),
             qPrintable(check.out));
    QVERIFY(!check.out.contains("-live"));
    QVERIFY2(check.out.trimmed().endsWith(", 1 backup leftovers"), qPrintable(check.out));

    const Run again = cli({"backup", db.dir(), dest.path()});
    QCOMPARE(again.code, 0);
    QVERIFY2(again.out.contains(QRegularExpression(
                 "Removed 1 folders of backups cut short, freeing [1-9]\\d* bytes")),
             qPrintable(again.out));
    QCOMPARE(workFolders(), QStringList{".pictavo-backup-live"});
    ::close(liveLock);
}

namespace {

void exec(sqlite3 *db, const char *sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK)
        qFatal("%s: %s", sql, message);
}

qint64 single(sqlite3 *db, const char *sql, QString *text = nullptr)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK ||
        sqlite3_step(stmt) != SQLITE_ROW)
        qFatal("%s: %s", sql, sqlite3_errmsg(db));
    const qint64 value = sqlite3_column_int64(stmt, 0);
    if (text != nullptr)
        *text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return value;
}

} // namespace

// While another connection commits as fast as it can, each copy is the file of one moment.
// Every commit, in random steps from a fixed seed, writes a new generation to a row near
// the file's start and to one near its end, pieces of the copy apart, and adds or deletes
// photo-sized blobs between them, so that pages move, the free list changes and the file
// grows and shrinks. Each copy must pass SQLite's integrity check and hold one generation in both
// rows.
void TestCliMaintenance::snapshotCopiesAreEachOneMoment()
{
    QTemporaryDir dir;
    const QString source = dir.filePath("photodb.db");
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(source).constData(), &db), SQLITE_OK);
    exec(db, "PRAGMA synchronous=OFF; CREATE TABLE head(gen INTEGER); INSERT INTO head VALUES(0);"
             "CREATE TABLE filler(bytes BLOB); BEGIN;");
    for (int i = 0; i < 40; ++i) // 40 MB between the two rows
        exec(db, "INSERT INTO filler VALUES(randomblob(1000000))");
    exec(db, "COMMIT; CREATE TABLE tail(gen INTEGER); INSERT INTO tail VALUES(0);");
    sqlite3_busy_timeout(db, 60000);

    std::atomic<bool> stop = false;
    std::atomic<qint64> commits = 0;
    std::thread writer([&] {
        QRandomGenerator random(1303);
        int blobs = 40; // kept between 30 and 50
        for (qint64 gen = 1; !stop; ++gen) {
            const bool remove = blobs > 30 && (blobs >= 50 || random.bounded(2) == 0);
            blobs += remove ? -1 : 1;
            const QByteArray step =
                QStringLiteral("BEGIN IMMEDIATE; UPDATE head SET gen=%1; %2 UPDATE tail SET "
                               "gen=%1; COMMIT;")
                    .arg(gen)
                    .arg(remove ? QStringLiteral("DELETE FROM filler WHERE rowid IN (SELECT rowid "
                                                 "FROM filler ORDER BY random() LIMIT 1);")
                                : QStringLiteral("INSERT INTO filler VALUES(randomblob(%1));")
                                      .arg(random.bounded(100000, 3000000)))
                    .toUtf8();
            exec(db, step.constData());
            ++commits;
        }
    });

    qint64 racing = 0; // copies during which the writer committed
    for (int i = 0; i < 6 && !QTest::currentTestFailed(); ++i) {
        const QString copy = dir.filePath(QStringLiteral("copy%1.db").arg(i));
        const qint64 before = commits;
        bool copied = false;
        try {
            const pictavo::FileDescriptor target(
                ::open(QFile::encodeName(copy).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
            copied = pictavo::copySnapshot(source, target.fd, copy, {});
        } catch (const pictavo::Error &error) {
            QFAIL(qPrintable(error.text()));
        }
        QVERIFY(copied);
        racing += commits > before;
        sqlite3 *check = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(copy).constData(), &check), SQLITE_OK);
        QString integrity;
        single(check, "PRAGMA integrity_check", &integrity);
        const qint64 head = single(check, "SELECT gen FROM head");
        const qint64 tail = single(check, "SELECT gen FROM tail");
        sqlite3_close(check);
        QCOMPARE(integrity, QStringLiteral("ok"));
        QCOMPARE(head, tail);
    }
    stop = true;
    writer.join();
    sqlite3_close(db);
    QVERIFY(racing > 0);
}

QTEST_GUILESS_MAIN(TestCliMaintenance)
#include "tst_cli_maintenance.moc"
