#include "db/btree_warmer.h"
#include "db/query.h"
#include "support/photo_db_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <set>

using namespace pictavo;

namespace {

void exec(sqlite3 *db, const QByteArray &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QByteArray text = error;
        sqlite3_free(error);
        QFAIL(text.constData());
    }
}

QByteArray randomText(QRandomGenerator &random, int length)
{
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text += char('a' + random.bounded(26));
    return text;
}

// A table file of random shape: page size, rows, key lengths, photos that overflow, and
// deletions that leave free pages between the tree's pages.
void makeTableFile(const QString &path, quint32 seed)
{
    QRandomGenerator random(seed);
    static const int pageSizes[] = {512, 1024, 4096, 8192, 65536};
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    exec(db, QByteArray("PRAGMA page_size=") + QByteArray::number(pageSizes[random.bounded(5)]) +
                 "; CREATE TABLE t(k TEXT, photo BLOB); CREATE INDEX k_index ON t(k);"
                 "BEGIN;");
    const int rows = random.bounded(random.bounded(2) ? 40 : 6000);
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?, zeroblob(?))", -1, &insert, nullptr);
    for (int i = 0; i < rows; ++i) {
        // Short enough keys never overflow an index page, long ones fill pages unevenly.
        const QByteArray key = randomText(random, 1 + random.bounded(40));
        sqlite3_bind_text(insert, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, random.bounded(3000));
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, QByteArray("DELETE FROM t WHERE rowid % ") +
                 QByteArray::number(2 + random.bounded(9)) + " = 0; COMMIT;");
    sqlite3_close(db);
}

// The pages of a b-tree as SQLite itself lists them, overflow pages left out: those hold
// the photos, which warming never asks for.
std::set<unsigned> treePages(const QString &path, const char *name, bool interiorOnly = false)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *pages = nullptr;
    sqlite3_prepare_v2(db,
                       interiorOnly
                           ? "SELECT pageno FROM dbstat WHERE name=? AND pagetype='internal'"
                           : "SELECT pageno FROM dbstat WHERE name=? AND pagetype<>'overflow'",
                       -1, &pages, nullptr);
    sqlite3_bind_text(pages, 1, name, -1, SQLITE_STATIC);
    std::set<unsigned> result;
    while (sqlite3_step(pages) == SQLITE_ROW)
        result.insert(unsigned(sqlite3_column_int64(pages, 0)));
    sqlite3_finalize(pages);
    sqlite3_close(db);
    return result;
}

unsigned rootOf(const QString &path, const char *name)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *root = nullptr;
    sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name=?", -1, &root, nullptr);
    sqlite3_bind_text(root, 1, name, -1, SQLITE_STATIC);
    const unsigned page =
        sqlite3_step(root) == SQLITE_ROW ? unsigned(sqlite3_column_int(root, 0)) : 0;
    sqlite3_finalize(root);
    sqlite3_close(db);
    return page;
}

// Where SQLite's own page list (dbstat) puts each record of a table: its leaf, and the
// overflow pages of each cell, so that the warmer's walk is checked against another route.
struct TableLayout
{
    std::vector<qint64> rowIds;             // ascending, as the leaves hold them
    std::vector<unsigned> leafOfRow;        // same order
    std::vector<QString> cellOfRow;         // the cell's path, as dbstat names overflow
    QHash<QString, unsigned> overflowFirst; // cell path -> its first overflow page
    QHash<QString, unsigned> overflowCount; // cell path -> how many
};

std::vector<int> pathNumbers(const QString &path)
{
    std::vector<int> numbers;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts))
        numbers.push_back(part.toInt(nullptr, 16));
    return numbers;
}

TableLayout layoutOf(const QString &path, const char *table)
{
    TableLayout layout;
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_stmt *pages = nullptr;
    sqlite3_prepare_v2(db, "SELECT path, pageno, pagetype, ncell FROM dbstat WHERE name=?", -1,
                       &pages, nullptr);
    sqlite3_bind_text(pages, 1, table, -1, SQLITE_STATIC);
    std::vector<std::tuple<std::vector<int>, QString, unsigned, int>> leaves;
    while (sqlite3_step(pages) == SQLITE_ROW) {
        const QString where =
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(pages, 0)));
        const unsigned page = unsigned(sqlite3_column_int64(pages, 1));
        const QByteArray type = reinterpret_cast<const char *>(sqlite3_column_text(pages, 2));
        if (type == "leaf") {
            leaves.emplace_back(pathNumbers(where), where, page, sqlite3_column_int(pages, 3));
        } else if (type == "overflow") {
            const QString cell = where.section(QLatin1Char('+'), 0, 0);
            layout.overflowCount[cell] += 1;
            if (where.section(QLatin1Char('+'), 1).toInt(nullptr, 16) == 0)
                layout.overflowFirst[cell] = page;
        }
    }
    sqlite3_finalize(pages);
    std::sort(leaves.begin(), leaves.end());
    for (const auto &[numbers, where, page, cells] : leaves)
        for (int c = 0; c < cells; ++c) {
            layout.leafOfRow.push_back(page);
            layout.cellOfRow.push_back(where + QString::asprintf("%03x", c));
        }
    sqlite3_stmt *rows = nullptr;
    sqlite3_prepare_v2(db, QByteArray("SELECT rowid FROM ") + table + " ORDER BY rowid", -1, &rows,
                       nullptr);
    while (sqlite3_step(rows) == SQLITE_ROW)
        layout.rowIds.push_back(sqlite3_column_int64(rows, 0));
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return layout;
}

struct File
{
    explicit File(const QString &path) : fd(::open(QFile::encodeName(path).constData(), O_RDONLY))
    {
    }
    ~File() { ::close(fd); }
    int fd;
};

// Descriptors of this process open on the file.
int openDescriptors(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    int count = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString &entry : fds.entryList(QDir::System | QDir::Files))
        count += QFileInfo(fds.filePath(entry)).symLinkTarget() == target;
    return count;
}

} // namespace

class TestBtreeWarmer : public QObject
{
    Q_OBJECT

private slots:
    // Warming asks for exactly the pages of the tree, each once, root first, and stops
    // at the limit it is given.
    void warmsExactlyTheTreesPages()
    {
        QTemporaryDir dir;
        for (quint32 seed = 1; seed <= 24; ++seed) {
            const QString path = dir.filePath(QStringLiteral("t%1.db").arg(seed));
            makeTableFile(path, seed);
            const File file(path);
            for (const char *name : {"k_index", "t"}) {
                const unsigned root = rootOf(path, name);
                const std::vector<unsigned> warmed = BtreeWarmer::warmTree(file.fd, root, 1u << 20);
                const std::set<unsigned> distinct(warmed.begin(), warmed.end());
                QCOMPARE(distinct.size(), warmed.size());
                QVERIFY2(distinct == treePages(path, name),
                         qPrintable(QStringLiteral("seed %1, %2").arg(seed).arg(name)));
                QCOMPARE(warmed.front(), root);

                const std::size_t limit = 1 + QRandomGenerator(seed).bounded(int(warmed.size()));
                const std::vector<unsigned> part = BtreeWarmer::warmTree(file.fd, root, limit);
                QCOMPARE(part, std::vector<unsigned>(warmed.begin(), warmed.begin() + limit));
            }
        }
    }

    // Warming the first rows of a grid asks for exactly the leaves that hold them, and for
    // the overflow pages of the first one's photo, whatever the rows and the tree's shape.
    void warmsTheLeavesOfRowsAndTheFirstPhoto()
    {
        QTemporaryDir dir;
        QRandomGenerator random(77);
        for (quint32 seed = 1; seed <= 24; ++seed) {
            const QString path = dir.filePath(QStringLiteral("t%1.db").arg(seed));
            makeTableFile(path, seed);
            const TableLayout layout = layoutOf(path, "t");
            QCOMPARE(layout.leafOfRow.size(), layout.rowIds.size());
            const File file(path);
            const unsigned root = rootOf(path, "t");
            QVERIFY(BtreeWarmer::warmTableRows(file.fd, root, {}).leaves.empty());
            for (int pick = 0; pick < 8 && !layout.rowIds.empty(); ++pick) {
                // A screen of neighbours somewhere, or rows from anywhere, first one at random.
                const int n = int(layout.rowIds.size());
                const int wanted = 1 + random.bounded(std::min(n, 40));
                const int start = random.bounded(n - wanted + 1);
                std::vector<int> rows;
                for (int i = 0; i < wanted; ++i)
                    rows.push_back(pick % 2 ? random.bounded(n) : start + i);
                std::swap(rows[0], rows[size_t(random.bounded(wanted))]);
                std::vector<qint64> rowIds;
                std::set<unsigned> leaves;
                for (const int row : rows) {
                    rowIds.push_back(layout.rowIds[size_t(row)]);
                    leaves.insert(layout.leafOfRow[size_t(row)]);
                }
                const BtreeWarmer::RowPages asked =
                    BtreeWarmer::warmTableRows(file.fd, root, rowIds);
                const std::set<unsigned> distinct(asked.leaves.begin(), asked.leaves.end());
                const QByteArray where =
                    QStringLiteral("seed %1, pick %2").arg(seed).arg(pick).toUtf8();
                QCOMPARE(distinct.size(), asked.leaves.size());
                QVERIFY2(distinct == leaves, where.constData());
                const QString cell = layout.cellOfRow[size_t(rows[0])];
                QVERIFY2(asked.overflowFirst == layout.overflowFirst.value(cell),
                         where.constData());
                QVERIFY2(asked.overflowCount == layout.overflowCount.value(cell),
                         where.constData());
            }
        }
    }

    // A damaged file never sends the walk outside the file, round in circles or past
    // its limit, whatever its pages say.
    void damagedFilesStayInBounds()
    {
        QTemporaryDir dir;
        // The first generated file whose index has a few levels.
        QString sound;
        std::set<unsigned> interior;
        for (quint32 seed = 1; interior.size() < 3 && seed < 100; ++seed) {
            sound = dir.filePath(QStringLiteral("sound%1.db").arg(seed));
            makeTableFile(sound, seed);
            // Most damage goes where the walk looks: the pages that point to other pages.
            interior = treePages(sound, "k_index", true);
        }
        QFile soundFile(sound);
        QVERIFY(soundFile.open(QIODevice::ReadOnly));
        const QByteArray bytes = soundFile.readAll();
        const unsigned root = rootOf(sound, "k_index");
        const unsigned tableRoot = rootOf(sound, "t");
        // The table's walk reads its interior pages and a leaf's cells: some leaves too.
        std::set<unsigned> table = treePages(sound, "t");
        while (table.size() > 64)
            table.erase(std::prev(table.end()));
        interior.insert(table.begin(), table.end());
        const std::vector<unsigned> targets(interior.begin(), interior.end());
        QVERIFY(targets.size() >= 2);
        const qint64 lastRowId = qint64(layoutOf(sound, "t").rowIds.back());
        const int pageSize = (uchar(bytes[16]) << 8 | uchar(bytes[17])) == 1
                                 ? 65536
                                 : (uchar(bytes[16]) << 8 | uchar(bytes[17]));

        QRandomGenerator random(2024);
        const QString damagedPath = dir.filePath(QStringLiteral("damaged.db"));
        for (int run = 0; run < 400; ++run) {
            QByteArray damaged = bytes;
            if (run % 4 == 0)
                damaged.truncate(random.bounded(int(bytes.size())));
            const int writes = 1 + random.bounded(64);
            for (int w = 0; w < writes && !damaged.isEmpty(); ++w) {
                const qsizetype at =
                    random.bounded(4) == 0
                        ? random.bounded(int(damaged.size()))
                        : qsizetype(targets[random.bounded(int(targets.size()))] - 1) * pageSize +
                              random.bounded(pageSize);
                if (at < damaged.size())
                    damaged[at] = char(random.bounded(256));
            }
            QFile out(damagedPath);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(damaged);
            out.close();

            const File file(damagedPath);
            const std::size_t limit = 1 + random.bounded(2000);
            const std::vector<unsigned> warmed = BtreeWarmer::warmTree(file.fd, root, limit);
            const std::set<unsigned> distinct(warmed.begin(), warmed.end());
            QVERIFY(warmed.size() <= limit);
            QCOMPARE(distinct.size(), warmed.size());
            const unsigned pages = unsigned(damaged.size() / 512); // the smallest page size
            for (const unsigned page : warmed)
                QVERIFY2(page >= 1 && page <= pages, qPrintable(QString::number(run)));

            std::vector<qint64> rowIds(1 + random.bounded(40));
            for (qint64 &rowId : rowIds)
                rowId = random.bounded(lastRowId + 2);
            const BtreeWarmer::RowPages rows =
                BtreeWarmer::warmTableRows(file.fd, tableRoot, rowIds);
            QVERIFY(rows.leaves.size() <= rowIds.size());
            for (const unsigned page : rows.leaves)
                QVERIFY2(page >= 1 && page <= pages, qPrintable(QString::number(run)));
            if (rows.overflowFirst != 0)
                QVERIFY2(rows.overflowFirst + rows.overflowCount - 1 <= pages,
                         qPrintable(QString::number(run)));
        }
    }

    // The key query of an open photo set warms its index, through a descriptor that is
    // held as long as SQLite holds the file (closing it earlier would drop SQLite's
    // locks) and let go with the last user of the database.
    void keyQueryWarmsTheIndexAndHoldsTheFile()
    {
        test::PhotoDbFixture fixture;
        fixture.addPhoto(QStringLiteral("IMG"), QStringLiteral("IMG_0001"), QStringLiteral("sea"),
                         test::patternBytes(5000, 1));
        const QString photoFile = QDir(fixture.dir()).filePath(QStringLiteral("photodb.db"));
        {
            auto query = std::make_unique<Query>();
            query->setDatabaseName(fixture.dir());
            query->setSql({QStringLiteral("select * from PHOTODB.DB ;")});
            query->open();
            QCOMPARE(query->recordCount(), 1);
            QCOMPARE(openDescriptors(photoFile), 2);
            query->close();
        }
        QCOMPARE(openDescriptors(photoFile), 0);
    }
};

QTEST_GUILESS_MAIN(TestBtreeWarmer)
#include "tst_btree_warmer.moc"
