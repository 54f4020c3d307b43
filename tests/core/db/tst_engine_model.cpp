#include "db/engine_error.h"
#include "db/query.h"
#include "support/photo_db_fixture.h"

#include <QRandomGenerator>
#include <QtTest>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace pictavo;
using pictavo::test::patternBytes;
using pictavo::test::PhotoDbFixture;

namespace {

struct Photo
{
    QString name;
    QString keyword;
    QByteArray image;
};

// What the Photo Table must hold, by SERIAL.
using Model = std::map<qint64, Photo>;

// The record as the data set shows it, for messages.
QString describe(const Query &album)
{
    return QStringLiteral("row %1 SERIAL %2 NAME %3")
        .arg(album.recNo())
        .arg(album.asInteger(QStringLiteral("SERIAL")))
        .arg(album.asString(QStringLiteral("NAME")));
}

} // namespace

// Long runs of random edits through one live query, checked step by step against a model
// of what was posted: no record is lost, duplicated or mixed up with another, whatever
// the order of appends, edits, cancels, deletes and moves.
class TestEngineModel : public QObject
{
    Q_OBJECT

private slots:
    void randomEditsKeepEveryPhoto_data();
    void randomEditsKeepEveryPhoto();
    void otherWritersBeforeTheRestIsListed();
    void keptCountsHoldOnlyForTheFileAsCounted();

private:
    void checkCurrent(const Query &album, const Model &model);
    void checkAll(const QString &dir, const Model &model, int listedAtOpen);
};

void TestEngineModel::checkCurrent(const Query &album, const Model &model)
{
    QCOMPARE(album.recordCount(), int(model.size()));
    if (album.recNo() < 0)
        return;
    const auto found = model.find(album.asInteger(QStringLiteral("SERIAL")));
    QVERIFY2(found != model.end(), qPrintable(describe(album)));
    QCOMPARE(album.asString(QStringLiteral("NAME")), found->second.name);
    QCOMPARE(album.asString(QStringLiteral("KEYWORD")), found->second.keyword);
    QCOMPARE(album.blobSize(QStringLiteral("IMAGE")), qint64(found->second.image.size()));
}

// Read afresh by another data set: every record in primary-index order, every photo
// byte for byte.
void TestEngineModel::checkAll(const QString &dir, const Model &model, int listedAtOpen)
{
    Query check;
    check.setRowsListedAtOpen(listedAtOpen);
    check.setDatabaseName(dir);
    check.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    check.open();
    QCOMPARE(check.recordCount(), int(model.size()));
    std::vector<std::pair<QString, qint64>> order; // (NAME, SERIAL): PREFIX and EXT are alike
    for (const auto &[serial, photo] : model)
        order.emplace_back(photo.name, serial);
    std::sort(order.begin(), order.end());
    int row = 0;
    for (check.first(); !check.eof(); check.next(), ++row) {
        const qint64 serial = check.asInteger(QStringLiteral("SERIAL"));
        QCOMPARE(serial, order[size_t(row)].second);
        const Photo &photo = model.at(serial);
        QCOMPARE(check.asString(QStringLiteral("KEYWORD")), photo.keyword);
        QVERIFY2(check.readBlob(QStringLiteral("IMAGE")) == photo.image,
                 qPrintable(describe(check)));
    }
}

// The same steps with the whole list read at every opening and refresh, and with only the
// first few records listed until a move, a read or a write needs the rest.
void TestEngineModel::randomEditsKeepEveryPhoto_data()
{
    QTest::addColumn<int>("listedAtOpen");
    QTest::newRow("whole list") << 256;
    QTest::newRow("first records only") << 3;
}

void TestEngineModel::randomEditsKeepEveryPhoto()
{
    QFETCH(int, listedAtOpen);
    PhotoDbFixture db;
    Query album;
    album.setRowsListedAtOpen(listedAtOpen);
    album.setDatabaseName(db.dir());
    album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    album.open();
    Model model;
    QRandomGenerator random(1208);
    const QStringList names{"a", "b", "c", "d", "e"};
    const auto newPhoto = [&] {
        return Photo{names[random.bounded(int(names.size()))],
                     QStringLiteral("k%1").arg(random.bounded(100)),
                     patternBytes(200 + random.bounded(5000), int(random.bounded(1000)))};
    };
    for (int step = 0; step < 1500; ++step) {
        const int action = random.bounded(10);
        if (action <= 2) { // append, mostly posted
            const Photo photo = newPhoto();
            album.append();
            album.setValue(QStringLiteral("NAME"), photo.name);
            album.setValue(QStringLiteral("KEYWORD"), photo.keyword);
            album.setValue(QStringLiteral("COUNT"), 0);
            album.setValue(QStringLiteral("IMAGE_SIZE"), qint64(photo.image.size()));
            album.setBlob(QStringLiteral("IMAGE"), photo.image);
            if (random.bounded(5) == 0) {
                album.cancel();
            } else {
                album.post();
                model[album.asInteger(QStringLiteral("SERIAL"))] = photo;
            }
        } else if (action <= 4 && !album.isEmpty()) { // edit name or keyword
            const qint64 serial = album.asInteger(QStringLiteral("SERIAL"));
            const Photo changed = newPhoto();
            album.edit();
            if (random.bounded(2) == 0)
                album.setValue(QStringLiteral("NAME"), changed.name);
            else
                album.setValue(QStringLiteral("KEYWORD"), changed.keyword);
            if (random.bounded(4) == 0) {
                album.cancel();
            } else {
                album.post();
                model[serial].name = album.asString(QStringLiteral("NAME"));
                model[serial].keyword = album.asString(QStringLiteral("KEYWORD"));
                QCOMPARE(album.asInteger(QStringLiteral("SERIAL")), serial);
            }
        } else if (action == 5 && !album.isEmpty()) {
            model.erase(album.asInteger(QStringLiteral("SERIAL")));
            album.remove();
        } else if (action == 6) {
            album.refresh();
        } else if (!album.isEmpty()) {
            album.moveTo(random.bounded(album.recordCount()));
        }
        checkCurrent(album, model);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("after step %1 (action %2)").arg(step).arg(action)));
        if (step % 100 == 99)
            checkAll(db.dir(), model, listedAtOpen);
    }
    checkAll(db.dir(), model, listedAtOpen);
    QVERIFY(model.size() > 50);
}

namespace {

// Another program writing to the Photo Table: its own connection, each write committed.
class OtherWriter
{
public:
    explicit OtherWriter(const QString &dir)
    {
        sqlite3_open((dir + QStringLiteral("/photodb.db")).toUtf8().constData(), &m_db);
        sqlite3_busy_timeout(m_db, 5000);
    }
    ~OtherWriter() { sqlite3_close(m_db); }
    void run(const QString &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
            qFatal("%s: %s", qPrintable(sql), error);
    }
    // The SERIALs in primary-index order.
    std::vector<qint64> serials()
    {
        std::vector<qint64> out;
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT SERIAL FROM photodb ORDER BY PREFIX,NAME,EXT,SERIAL", -1,
                           &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            out.push_back(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3 *m_db = nullptr;
};

std::vector<qint64> listedSerials(const Query &album)
{
    std::vector<qint64> out;
    const int serial = album.fieldNumber(QStringLiteral("SERIAL"));
    for (int row = 0; row < album.recordCount(); ++row) {
        const QVariant value = album.valueAt(row, serial);
        out.push_back(value.isNull() ? -1 : value.toLongLong());
    }
    return out;
}

} // namespace

// A large table is opened with its first records listed and the rest listed when needed.
// Whatever another program commits in between, the rows already shown keep their records,
// the count stays, no record is listed twice, and the records listed are those of the
// opening that are still there, as a list read whole at the opening shows them; with
// nothing committed the list is exactly the table's; a refresh shows the table as it is.
void TestEngineModel::otherWritersBeforeTheRestIsListed()
{
    PhotoDbFixture db;
    OtherWriter other(db.dir());
    QRandomGenerator random(1209);
    int nextName = 0;
    const auto insert = [&] {
        other.run(QStringLiteral("INSERT INTO photodb(PREFIX,NAME,EXT,KEYWORD,COUNT,IMAGE_SIZE,"
                                 "IMAGE) VALUES('P','%1','.jpg','k',0,3,x'ffd8ff')")
                      .arg(random.bounded(1000) * 1000 + nextName++));
    };
    for (int round = 0; round < 150; ++round) {
        std::vector<qint64> atOpen = other.serials();
        while (atOpen.size() < 3 + random.bounded(30u)) {
            insert();
            atOpen = other.serials();
        }
        const int count = int(atOpen.size());
        const int listed = 1 + random.bounded(count - 1);
        Query album;
        album.setRowsListedAtOpen(listed);
        album.setDatabaseName(db.dir());
        album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
        album.open();
        QCOMPARE(album.recordCount(), count);
        const int serialField = album.fieldNumber(QStringLiteral("SERIAL"));
        for (int row = 0; row < listed; ++row) // what a grid shows first
            QCOMPARE(album.valueAt(row, serialField).toLongLong(), atOpen[size_t(row)]);

        const int writes = random.bounded(5);
        for (int w = 0; w < writes; ++w) {
            const std::vector<qint64> now = other.serials();
            switch (random.bounded(3)) {
            case 0:
                insert();
                break;
            case 1:
                other.run(QStringLiteral("DELETE FROM photodb WHERE SERIAL=%1")
                              .arg(now[random.bounded(quint32(now.size()))]));
                break;
            default: // moves a record within the primary order
                other.run(QStringLiteral("UPDATE photodb SET NAME='%1' WHERE SERIAL=%2")
                              .arg(random.bounded(1000) * 1000 + nextName++)
                              .arg(now[random.bounded(quint32(now.size()))]));
            }
        }
        // What needs the rest of the list first.
        switch (random.bounded(4)) {
        case 0:
            album.moveTo(listed + random.bounded(count - listed));
            break;
        case 1:
            album.last();
            break;
        case 2:
            album.valueAt(listed + random.bounded(count - listed), serialField);
            break;
        default:
            album.moveTo(random.bounded(listed));
            album.edit();
            album.setValue(QStringLiteral("MEMO"), QStringLiteral("seen"));
            try {
                album.post();
            } catch (const EngineError &) { // its record was deleted by the other program
                album.cancel();
            }
        }
        const std::vector<qint64> now = other.serials();
        const std::set<qint64> existing(now.begin(), now.end());
        const std::vector<qint64> shown = listedSerials(album);
        const QString context = QStringLiteral("round %1, %2 of %3 listed, %4 writes")
                                    .arg(round)
                                    .arg(listed)
                                    .arg(count)
                                    .arg(writes);
        QVERIFY2(int(shown.size()) == count, qPrintable(context));
        std::set<qint64> seen;
        for (int row = 0; row < count; ++row) {
            const qint64 serial = shown[size_t(row)];
            // A row shown already may still show a record deleted since, as it was read.
            if (row < listed)
                QVERIFY2(serial == atOpen[size_t(row)] ||
                             (serial < 0 && !existing.count(atOpen[size_t(row)])),
                         qPrintable(context));
            if (serial < 0)
                continue;
            QVERIFY2(seen.insert(serial).second, qPrintable(context));
            QVERIFY2(row < listed || existing.count(serial), qPrintable(context));
        }
        if (writes == 0)
            QVERIFY2(shown == atOpen, qPrintable(context));
        // As with a list read whole: every record of the opening still there is listed,
        // none added since.
        const std::set<qint64> before(atOpen.begin(), atOpen.end());
        for (const qint64 serial : now)
            QVERIFY2(seen.count(serial) == before.count(serial),
                     qPrintable(context + QStringLiteral(", SERIAL %1").arg(serial)));

        album.refresh();
        QVERIFY2(listedSerials(album) == now, qPrintable(context));
        if (now.size() > 40) // keeps the table small
            for (size_t i = 0; i < now.size() / 2; ++i)
                other.run(QStringLiteral("DELETE FROM photodb WHERE SERIAL=%1").arg(now[i]));
    }
}

// A whole table's count is kept beside its file for the next opening. Whatever happens to
// the file between openings (writes by another program, in WAL mode too, an older copy put
// back in its place, the count file damaged), every opening shows the table's true count;
// and a library left unchanged, after edits through the program too, is not counted again.
void TestEngineModel::keptCountsHoldOnlyForTheFileAsCounted()
{
    PhotoDbFixture db;
    const QString photoFile = db.dir() + QStringLiteral("/photodb.db");
    const QString countFile = photoFile + QStringLiteral("-count");
    // Reopened around a copy put back: SQLite trusts its cached pages while the change
    // counter is the same, and the copy's may be.
    std::optional<OtherWriter> writer(std::in_place, db.dir());
    QRandomGenerator random(1210);
    int nextName = 0;
    const auto write = [&] {
        const std::vector<qint64> now = writer->serials();
        if (now.size() < 8 || random.bounded(2) == 0)
            writer->run(
                QStringLiteral("INSERT INTO photodb(PREFIX,NAME,EXT,KEYWORD,COUNT,"
                               "IMAGE_SIZE,IMAGE) VALUES('P','%1','.jpg','k',0,3,x'ffd8ff')")
                    .arg(nextName++));
        else
            writer->run(QStringLiteral("DELETE FROM photodb WHERE SERIAL=%1")
                            .arg(now[random.bounded(quint32(now.size()))]));
    };
    const auto countFileInode = [&] {
        struct stat info;
        return ::stat(QFile::encodeName(countFile).constData(), &info) == 0 ? qint64(info.st_ino)
                                                                            : qint64(-1);
    };
    for (int i = 0; i < 12; ++i)
        write();
    QByteArray older;
    int expected = 0;
    for (int round = 0; round < 200; ++round) {
        const int action = random.bounded(8);
        QString what;
        if (action == 0) {
            what = QStringLiteral("nothing");
        } else if (action <= 2) {
            what = QStringLiteral("writes");
            for (int w = 1 + random.bounded(3); w > 0; --w)
                write();
        } else if (action == 3) {
            // A copy taken now is put back later, in place, often after as many commits
            // as the file had when it was counted.
            what = QStringLiteral("copy taken");
            QFile file(photoFile);
            QVERIFY(file.open(QIODevice::ReadOnly));
            older = file.readAll();
            write();
        } else if (action == 4 && !older.isEmpty()) {
            what = QStringLiteral("copy put back, written once");
            writer.reset();
            QFile file(photoFile);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.write(older) == older.size());
            QVERIFY(file.resize(older.size()));
            file.close();
            writer.emplace(db.dir());
            write();
        } else if (action == 5) {
            what = QStringLiteral("count file damaged");
            QFile file(countFile);
            if (file.open(QIODevice::ReadWrite)) {
                QByteArray bytes = file.readAll();
                QList<QByteArray> lines = bytes.split('\n');
                if (lines.size() > 3 && !lines[3].isEmpty() && random.bounded(2) == 0) {
                    // Where it matters most: the count itself, still a number.
                    QByteArray &count = lines[3];
                    const int at = random.bounded(int(count.size()));
                    count[at] = char('0' + (count[at] - '0' + 1 + random.bounded(9)) % 10);
                    bytes = lines.join('\n');
                } else if (!bytes.isEmpty()) {
                    bytes[random.bounded(int(bytes.size()))] = char('0' + random.bounded(10));
                    if (random.bounded(3) == 0)
                        bytes.truncate(random.bounded(int(bytes.size())));
                }
                file.seek(0);
                file.write(bytes);
                file.resize(bytes.size());
            }
        } else if (action == 6) {
            // Committed in WAL mode and left in the log: the table file itself is as it
            // was, until the program opens it and takes it back to a rollback journal.
            what = QStringLiteral("written in WAL mode, left in the log");
            writer.reset();
            sqlite3 *raw = nullptr;
            sqlite3_open(QFile::encodeName(photoFile).constData(), &raw);
            sqlite3_db_config(raw, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            QString sql = QStringLiteral("PRAGMA journal_mode=WAL;");
            for (int w = 1 + random.bounded(3); w > 0; --w)
                sql +=
                    QStringLiteral("INSERT INTO photodb(PREFIX,NAME,EXT,KEYWORD,COUNT,IMAGE_SIZE,"
                                   "IMAGE) VALUES('P','%1','.jpg','k',0,3,x'ffd8ff');")
                        .arg(nextName++);
            QCOMPARE(sqlite3_exec(raw, sql.toUtf8().constData(), nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_stmt *count = nullptr;
            sqlite3_prepare_v2(raw, "SELECT count(*) FROM photodb", -1, &count, nullptr);
            sqlite3_step(count);
            expected = sqlite3_column_int(count, 0);
            sqlite3_finalize(count);
            sqlite3_close(raw);
        } else {
            what = QStringLiteral("edited through the program");
        }
        if (writer)
            expected = int(writer->serials().size());
        const qint64 inodeBefore = countFileInode();
        Query album;
        album.setRowsListedAtOpen(3);
        album.setDatabaseName(db.dir());
        album.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
        const QString context = QStringLiteral("round %1: %2").arg(round).arg(what);
        try {
            album.open();
        } catch (const EngineError &error) {
            QFAIL(qPrintable(context + QStringLiteral(": ") + error.text()));
        }
        QVERIFY2(album.recordCount() == expected, qPrintable(context));
        if (what == QLatin1String("nothing"))
            QVERIFY2(countFileInode() == inodeBefore && inodeBefore >= 0, qPrintable(context));
        if (what == QLatin1String("edited through the program")) {
            album.last();
            album.remove();
            album.append();
            album.setValue(QStringLiteral("NAME"), QString::number(nextName++));
            album.setValue(QStringLiteral("KEYWORD"), QStringLiteral("k"));
            album.setValue(QStringLiteral("COUNT"), 0);
            album.setValue(QStringLiteral("IMAGE_SIZE"), 3);
            album.setBlob(QStringLiteral("IMAGE"), QByteArray("\xff\xd8\xff", 3));
            album.post();
        }
        album.close();
        if (!writer)
            writer.emplace(db.dir());
    }
}

QTEST_GUILESS_MAIN(TestEngineModel)
#include "tst_engine_model.moc"
