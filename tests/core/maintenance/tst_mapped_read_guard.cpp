#include "maintenance/library_check.h"
#include "maintenance/mapped_read_guard.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"

#include <QDir>
#include <QTemporaryFile>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

using pictavo::CheckFinding;
using pictavo::CheckOptions;
using pictavo::CheckSummary;
using pictavo::test::PhotoDbFixture;

namespace {

const QString kUnreadable = QStringLiteral("photodb.db: a page could not be read (a read error, "
                                           "or the file was cut short while it was read)");

// Four photos of a few hundred KB each, so that the Photo Table's file is mostly their
// pages and every record has pages of its own.
void fillLibrary(PhotoDbFixture &db)
{
    for (int i = 1; i <= 4; ++i) {
        pictavo::fixtures::JpegOptions options;
        options.seed = quint32(i);
        options.grain = 24;
        const QByteArray photo = pictavo::fixtures::makeJpeg(900, 700, options);
        QVERIFY(photo.size() > 150 * 1024);
        db.addPhoto("", QStringLiteral("p%1").arg(i), "sea", photo);
    }
    db.addKeyword("sea", 4);
}

// How a forked child running `body` ends: "signal N" or "exit N".
QString childEnd(const std::function<void()> &body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return QStringLiteral("no child");
    return WIFSIGNALED(status) ? QStringLiteral("signal %1").arg(WTERMSIG(status))
                               : QStringLiteral("exit %1").arg(WEXITSTATUS(status));
}

// A page of memory mapped from a file that no longer reaches it: reading it is a real fault,
// as a disk read error or a file cut short by another process gives it.
const volatile char *unbackedPage(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (fd < 0 || ::ftruncate(fd, page) != 0)
        ::_exit(90);
    void *map = ::mmap(nullptr, size_t(page), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED || ::ftruncate(fd, 0) != 0)
        ::_exit(91);
    return static_cast<const volatile char *>(map);
}

} // namespace

// A table file that cannot be read while the check reads it through its memory map: the
// check reports it and goes on, where the kernel's SIGBUS would have ended the process.
class TestMappedReadGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkReportsAFileCutShortWhileRead_data();
    void checkReportsAFileCutShortWhileRead();
    void otherBusErrorsStillEndTheProcess_data();
    void otherBusErrorsStillEndTheProcess();

private:
    QTemporaryDir m_dir;
};

void TestMappedReadGuard::initTestCase()
{
    // The test's own crash handler would dump a stack for every child meant to die; the
    // guard, installed by the first check, takes over the action a program has.
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    QCOMPARE(::sigaction(SIGBUS, &action, nullptr), 0);
}

void TestMappedReadGuard::checkReportsAFileCutShortWhileRead_data()
{
    QTest::addColumn<int>("cutAfter"); // photos checked when another process cuts the file
    QTest::addColumn<qint64>("cutTo"); // bytes left
    QTest::addColumn<bool>("decode");

    QTest::newRow("cut to nothing after the first photo") << 1 << qint64(0) << false;
    QTest::newRow("cut to its first page after the third photo, decoding")
        << 3 << qint64(4096) << true;
}

void TestMappedReadGuard::checkReportsAFileCutShortWhileRead()
{
    QFETCH(int, cutAfter);
    QFETCH(qint64, cutTo);
    QFETCH(bool, decode);

    PhotoDbFixture db;
    fillLibrary(db);
    const QString path = QDir(db.dir()).filePath("photodb.db");
    QStringList findings;
    CheckOptions options;
    options.decode = decode;
    options.report = [&](const CheckFinding &finding) { findings << finding.text; };
    // The scan holds its read transaction from the first photo to the last, so SQLite
    // goes on reading through the map it made of the whole file; the cut is done as a
    // process that ignores SQLite's locks would do it.
    options.progress = [&](qint64 done, qint64) {
        if (done == cutAfter)
            QCOMPARE(::truncate(QFile::encodeName(path).constData(), cutTo), 0);
    };
    const CheckSummary summary = pictavo::checkLibrary(db.dir(), options);
    QCOMPARE(findings, QStringList{kUnreadable});
    QCOMPARE(summary.text(),
             QStringLiteral("%1 photos, 0 damaged, 0 duplicates, 1 table faults, 0 keyword "
                            "differences")
                 .arg(cutAfter));
    QVERIFY(!summary.sound());
    QCOMPARE(QFileInfo(path).size(), cutTo);

    // Still alive, and a check of another library is as sound as ever.
    PhotoDbFixture other;
    fillLibrary(other);
    QVERIFY(pictavo::checkLibrary(other.dir()).sound());
}

void TestMappedReadGuard::otherBusErrorsStillEndTheProcess_data()
{
    QTest::addColumn<std::function<void()>>("body"); // runs in a child
    QTest::addColumn<QString>("end");

    const QString file = m_dir.filePath("mapped");
    const QString killed = QStringLiteral("signal %1").arg(SIGBUS);
    using Body = std::function<void()>;
    // Each child runs a guarded read first, so the handler is in place.
    const auto guarded = [](const std::function<void()> &read) {
        return pictavo::readMapped(read) ? 0 : 7;
    };
    QTest::newRow("a fault in a guarded read")
        << Body([=] { ::_exit(guarded([&] { (void)*unbackedPage(file); })); })
        << QStringLiteral("exit 7");
    QTest::newRow("a fault outside a guarded read") << Body([=] {
        guarded([] {});
        (void)*unbackedPage(file);
    }) << killed;
    QTest::newRow("sent outside a guarded read") << Body([=] {
        guarded([] {});
        ::raise(SIGBUS);
    }) << killed;
    QTest::newRow("sent during a guarded read")
        << Body([=] { guarded([] { ::raise(SIGBUS); }); }) << killed;
    QTest::newRow("a fault in a callback of a guarded read") << Body([=] {
        guarded([&] { pictavo::outsideMappedReads([&] { (void)*unbackedPage(file); }); });
    }) << killed;
    QTest::newRow("a fault after a guarded read that failed") << Body([=] {
        if (guarded([&] { (void)*unbackedPage(file); }) != 7)
            ::_exit(8);
        (void)*unbackedPage(file);
    }) << killed;
}

void TestMappedReadGuard::otherBusErrorsStillEndTheProcess()
{
    QFETCH(std::function<void()>, body);
    QFETCH(QString, end);
    QCOMPARE(childEnd(body), end);
}

QTEST_GUILESS_MAIN(TestMappedReadGuard)
#include "tst_mapped_read_guard.moc"
