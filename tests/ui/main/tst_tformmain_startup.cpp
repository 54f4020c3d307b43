#include "base/regutl.h"
#include "base/settings_store.h"
#include "main/tformmain.h"
#include "support/earlier_layout.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"
#include "widgets/form_placement.h"

#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

namespace {

const QString kFormMain = QStringLiteral("\\software\\Orbelin_PV\\formMain");

QString setting(const QString &name)
{
    return SettingsStore::instance()
        .readString(kFormMain, name)
        .value_or(QStringLiteral("(absent)"));
}

} // namespace

// How the main window starts, keeps its settings and opens databases.
class TestFormMainStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStart();
    void unwritableSettingsWarnOnce();
    void panelLayout_data();
    void panelLayout();
    void badTableHeight();
    void waitTimeBroughtIntoRange_data();
    void waitTimeBroughtIntoRange();
    void deleteRegistory();
    void noDatabaseNameOpensNothing();
    void missingSavedDatabaseWarnsTwice();
    void savedDatabaseReopens();
    void newDatabase();
    void newDatabaseTwiceKeepsRecords();
    void newDatabaseOverKeywordTableOnly();
    void newDatabaseCancelled();
    void openDatabase();
    void openDatabaseBlockedByPendingEdit();
    void openDatabaseInEarlierLayout();

private:
    void startedWith(const QList<std::pair<QString, QString>> &values);
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
};

void TestFormMainStartup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_dir->filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey); // what start-up does on a clean system
    m_prompter.calls.clear();
}

void TestFormMainStartup::startedWith(const QList<std::pair<QString, QString>> &values)
{
    SettingsStore::instance().writeStrings(kFormMain, values);
}

void TestFormMainStartup::firstStart()
{
    {
        TformMain form(m_prompter);
        QCOMPARE(form.size(), QSize(640, 480));
        QVERIFY(form.panelDockedRight());
        QVERIFY(!form.queryAlbum.active());
        QCOMPARE(form.editCounter->text(), QString());
        QCOMPARE(form.dbgridAlbum->height(), 124);
        QCOMPARE(form.waitTime(), 3);
        QVERIFY(m_prompter.calls.isEmpty());
        QCOMPARE(setting(QStringLiteral("Left")),
                 QStringLiteral("(absent)")); // nothing written yet
        form.move(30, 40);
    }
    QCOMPARE(setting(QStringLiteral("Left")), QStringLiteral("30"));
    QCOMPARE(setting(QStringLiteral("Top")), QStringLiteral("40"));
    QCOMPARE(setting(QStringLiteral("Width")), QStringLiteral("640"));
    QCOMPARE(setting(QStringLiteral("Height")), QStringLiteral("480"));
    QCOMPARE(setting(QStringLiteral("Panel_Layout")), QStringLiteral("Right"));
    QCOMPARE(setting(QStringLiteral("Table_Height")), QStringLiteral("124"));
    QCOMPARE(setting(QStringLiteral("Database_Name")), QString());
    QCOMPARE(setting(QStringLiteral("Wait_Time")), QStringLiteral("3"));

    // The next start takes the placement back.
    TformMain again(m_prompter);
    QCOMPARE(again.pos(), QPoint(30, 40));
    QCOMPARE(again.size(), QSize(640, 480));
}

void TestFormMainStartup::unwritableSettingsWarnOnce()
{
    // A file where the settings folder should be: nothing can be created below it.
    const QString blocker = m_dir->filePath(QStringLiteral("blocked"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    SettingsStore::instance().setFilePath(blocker + QStringLiteral("/pictavo/settings.json"));

    regutl::PrepareSettingsKey(m_prompter);
    QCOMPARE(m_prompter.calls.size(), 1);
    QCOMPARE(m_prompter.calls[0].kind, Prompter::Kind::Warning);
    QVERIFY2(m_prompter.calls[0].text.contains(blocker + QStringLiteral("/pictavo/settings.json")),
             qPrintable(m_prompter.calls[0].text));
    {
        TformMain form(m_prompter);
        QCOMPARE(form.size(), QSize(640, 480));
        form.SetWaitTime(7);
    }
    // The run ends normally; its settings lived in memory and nothing more is said.
    regutl::ReportSettingsProblem(m_prompter);
    QCOMPARE(m_prompter.calls.size(), 1);
    QCOMPARE(setting(QStringLiteral("Wait_Time")), QStringLiteral("7"));
    QVERIFY(QFileInfo(blocker).isFile());
}

void TestFormMainStartup::panelLayout_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("right");
    QTest::addColumn<QString>("saved");
    QTest::newRow("Right") << "Right" << true << "Right";
    QTest::newRow("right") << "right" << false << "Left";
    QTest::newRow("Left") << "Left" << false << "Left";
    QTest::newRow("other text") << "middle" << false << "Left";
}

void TestFormMainStartup::panelLayout()
{
    QFETCH(QString, stored);
    QFETCH(bool, right);
    QFETCH(QString, saved);
    startedWith({{QStringLiteral("Panel_Layout"), stored}});
    {
        TformMain form(m_prompter);
        QCOMPARE(form.panelDockedRight(), right);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const bool panelOnRight =
            form.panelCommand->x() > form.dbgridAlbum->mapTo(&form, QPoint()).x();
        QCOMPARE(panelOnRight, right);
    }
    QCOMPARE(setting(QStringLiteral("Panel_Layout")), saved);
}

void TestFormMainStartup::badTableHeight()
{
    startedWith({{QStringLiteral("Table_Height"), QStringLiteral("abc")}});
    {
        TformMain form(m_prompter);
        QCOMPARE(form.dbgridAlbum->height(), 124);
    }
    startedWith({{QStringLiteral("Table_Height"), QStringLiteral("200")}});
    {
        TformMain form(m_prompter);
        QCOMPARE(form.dbgridAlbum->height(), 200);
    }
    // Beyond the screens (an absurd value crashed the start before) or below zero.
    startedWith({{QStringLiteral("Table_Height"), QStringLiteral("2000000000")}});
    {
        TformMain form(m_prompter);
        QCOMPARE(form.dbgridAlbum->height(), desktopArea().height());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    startedWith({{QStringLiteral("Table_Height"), QStringLiteral("-5")}});
    TformMain form(m_prompter);
    QCOMPARE(form.dbgridAlbum->height(), 0);
}

void TestFormMainStartup::waitTimeBroughtIntoRange_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("seconds");
    QTest::newRow("in range") << "7" << 7;
    QTest::newRow("too long") << "25" << 10;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("not a number") << "x" << 3;
}

void TestFormMainStartup::waitTimeBroughtIntoRange()
{
    QFETCH(QString, stored);
    QFETCH(int, seconds);
    startedWith({{QStringLiteral("Wait_Time"), stored}});
    TformMain form(m_prompter);
    QCOMPARE(form.waitTime(), seconds);
    QCOMPARE(form.menuOptionWaitTimeValue->text(),
             QStringLiteral("Wait Time: %1 sec.").arg(seconds));
    QCOMPARE(form.timerWaitTime->interval(), seconds * 1000);
    QVERIFY(!form.timerWaitTime->isActive());
}

void TestFormMainStartup::deleteRegistory()
{
    startedWith({{QStringLiteral("Wait_Time"), QStringLiteral("5")}});
    {
        TformMain form(m_prompter);
        form.menuOptionDeleteRegistory->trigger();
        form.menuOptionDeleteRegistory->trigger();
        QCOMPARE(m_prompter.texts(),
                 QStringList({"It is just deleted.\rIt will be re-create when program starts.",
                              "Target registory is not existed."}));
        QCOMPARE(m_prompter.last().kind, Prompter::Kind::Information);
    }
    // Nothing was written at the end of that run.
    QVERIFY(!regutl::KeyExists(regutl::kSettingsKey));
    // The next start is a first start.
    regutl::MakeKey(regutl::kSettingsKey);
    TformMain form(m_prompter);
    QCOMPARE(form.size(), QSize(640, 480));
    QCOMPARE(form.waitTime(), 3);
}

void TestFormMainStartup::noDatabaseNameOpensNothing()
{
    startedWith({{QStringLiteral("Panel_Layout"), QStringLiteral("Right")}});
    TformMain form(m_prompter);
    QVERIFY(!form.queryAlbum.active());
    QVERIFY(!form.tableKeyword.active());
    QVERIFY(m_prompter.calls.isEmpty());
}

void TestFormMainStartup::missingSavedDatabaseWarnsTwice()
{
    const QString gone = m_dir->filePath(QStringLiteral("gone"));
    startedWith({{QStringLiteral("Database_Name"), gone}});
    {
        TformMain form(m_prompter);
        QCOMPARE(m_prompter.texts(),
                 QStringList({QStringLiteral("Could not open Keyword Table in \"%1\".").arg(gone),
                              QStringLiteral("Could not open Photo Table in \"%1\".").arg(gone)}));
        QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
        QVERIFY(!form.queryAlbum.active());
    }
    // The directory is written back, so the next start tries it again.
    QCOMPARE(setting(QStringLiteral("Database_Name")), gone);
}

void TestFormMainStartup::savedDatabaseReopens()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"),
                pictavo::fixtures::makeJpeg(40, 30));
    db.addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"),
                pictavo::fixtures::makeJpeg(40, 30));
    startedWith({{QStringLiteral("Database_Name"), db.dir()}});
    TformMain form(m_prompter);
    QVERIFY(m_prompter.calls.isEmpty());
    QVERIFY(form.queryAlbum.active());
    QVERIFY(form.tableKeyword.active());
    QCOMPARE(form.editCounter->text(), QStringLiteral("2"));
    QCOMPARE(form.dbgridAlbum->model()->rowCount(), 2);
    QCOMPARE(form.dbgridAlbum->model()->index(1, 1).data().toString(), QStringLiteral("b"));
}

void TestFormMainStartup::newDatabase()
{
    TformMain form(m_prompter);
    const QString dir = m_dir->filePath(QStringLiteral("photos"));
    QDir().mkpath(dir);
    m_prompter.answerPath(dir);
    form.menuFileNew->trigger();
    QCOMPARE(m_prompter.texts(),
             QStringList({"Created \"photodb.db\".", "Created \"keyword.db\"."}));
    QVERIFY(m_prompter.callsOf(ScriptedPrompter::CallType::ChooseDirectory).first().offerCreate);
    QVERIFY(form.queryAlbum.active());
    QVERIFY(form.tableKeyword.active());
    QCOMPARE(form.queryAlbum.databaseName(), dir);
    QCOMPARE(form.editCounter->text(), QStringLiteral("0"));
}

void TestFormMainStartup::newDatabaseTwiceKeepsRecords()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"),
                pictavo::fixtures::makeJpeg(40, 30));
    TformMain form(m_prompter);
    m_prompter.answerPath(db.dir());
    form.menuFileNew->trigger();
    QCOMPARE(m_prompter.texts(), QStringList{"Photo table is already existed."});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
    QVERIFY(form.queryAlbum.active());
    QCOMPARE(form.editCounter->text(), QStringLiteral("1"));
}

void TestFormMainStartup::newDatabaseOverKeywordTableOnly()
{
    PhotoDbFixture db;
    QVERIFY(QFile::remove(db.dir() + QStringLiteral("/photodb.db")));
    TformMain form(m_prompter);
    m_prompter.answerPath(db.dir());
    form.menuFileNew->trigger();
    QCOMPARE(m_prompter.texts(),
             QStringList(
                 {QStringLiteral("Keyword table is already existed."),
                  QStringLiteral("Table \"PHOTODB.DB\" does not exist in \"%1\".").arg(db.dir())}));
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QVERIFY(!form.queryAlbum.active());
    QVERIFY(!QFileInfo::exists(db.dir() + QStringLiteral("/photodb.db")));
}

void TestFormMainStartup::newDatabaseCancelled()
{
    TformMain form(m_prompter);
    m_prompter.answerCancel();
    form.menuFileNew->trigger();
    QCOMPARE(m_prompter.calls.size(), 1);
    QVERIFY(!form.queryAlbum.active());
}

void TestFormMainStartup::openDatabase()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"),
                pictavo::fixtures::makeJpeg(40, 30));
    TformMain form(m_prompter);
    m_prompter.answerPath(db.dir() + QStringLiteral("/photodb.db"));
    form.menuFileOpen->trigger();
    const ScriptedPrompter::Call dialog =
        m_prompter.callsOf(ScriptedPrompter::CallType::OpenFile).first();
    QCOMPARE(dialog.title, QStringLiteral("Open Database"));
    QCOMPARE(dialog.fileName, QStringLiteral("photodb.db"));
    QCOMPARE(dialog.filter, QStringLiteral("photodb.db|photodb.db"));
    QCOMPARE(form.queryAlbum.databaseName(), db.dir());
    QCOMPARE(form.tableKeyword.databaseName(), db.dir());
    QCOMPARE(form.editCounter->text(), QStringLiteral("1"));

    // A directory without tables: the engine's error, the Album Query closed.
    const QString empty = m_dir->filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    m_prompter.answerPath(empty + QStringLiteral("/photodb.db"));
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QCOMPARE(m_prompter.last().text,
             QStringLiteral("Table \"PHOTODB.DB\" does not exist in \"%1\".").arg(empty));
    QVERIFY(!form.queryAlbum.active());
    // Nothing of the old database stays bound or on screen.
    QCOMPARE(form.tableKeyword.databaseName(), empty);
    QVERIFY(!form.tableKeyword.active());
    QVERIFY(form.imageViewArea->isHidden());
    QVERIFY(form.imageTmp.isEmpty());
    QCOMPARE(form.editCounter->text(), QStringLiteral("0"));

    // A database whose first photo cannot be shown opens with both of its tables, and a
    // new keyword posted there goes to its own Keyword Table.
    PhotoDbFixture damaged;
    damaged.addPhoto(QString(), QStringLiteral("bad"), QStringLiteral("k"),
                     QByteArray("not a jpeg at all"));
    m_prompter.answerPath(db.dir() + QStringLiteral("/photodb.db"));
    form.menuFileOpen->trigger();
    QVERIFY(!form.imageViewArea->isHidden());
    m_prompter.answerPath(damaged.dir() + QStringLiteral("/photodb.db"));
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QVERIFY(form.queryAlbum.active());
    QCOMPARE(form.tableKeyword.databaseName(), damaged.dir());
    QVERIFY(form.imageViewArea->isHidden());
    QCOMPARE(form.editCounter->text(), QStringLiteral("1"));
    m_prompter.answer(Prompter::Yes);
    form.queryAlbum.edit();
    form.queryAlbum.setValue(QStringLiteral("KEYWORD"), QStringLiteral("fresh"));
    form.queryAlbum.post();
    QCOMPARE(damaged.rows({QStringLiteral("select KEYWORD from KEYWORD.DB ;")}),
             QStringList{"fresh"});
    QCOMPARE(db.rows({QStringLiteral("select KEYWORD from KEYWORD.DB ;")}), QStringList());
}

void TestFormMainStartup::openDatabaseBlockedByPendingEdit()
{
    PhotoDbFixture db;
    db.addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"),
                pictavo::fixtures::makeJpeg(40, 30));
    startedWith({{QStringLiteral("Database_Name"), db.dir()}});
    TformMain form(m_prompter);
    form.queryAlbum.edit();
    form.queryAlbum.setValue(QStringLiteral("NAME"), QStringLiteral("b"));
    QVERIFY(form.RecordModified);
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.texts(),
             QStringList{"Current record is modified.  Please update or cancel it first."});
    QVERIFY(m_prompter.callsOf(ScriptedPrompter::CallType::OpenFile).isEmpty());
    form.queryAlbum.cancel();
    QVERIFY(!form.RecordModified);
    m_prompter.answerCancel();
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.callsOf(ScriptedPrompter::CallType::OpenFile).size(), 1);
}

// A library an earlier version made opens only upgraded: declined, nothing is opened and
// nothing changes; accepted, it opens with its photo.
void TestFormMainStartup::openDatabaseInEarlierLayout()
{
    PhotoDbFixture db;
    test::EarlierRecord record;
    record.name = QStringLiteral("a");
    record.keyword = QStringLiteral("k");
    record.image = pictavo::fixtures::makeJpeg(40, 30);
    QVERIFY(test::writeEarlierPhotoTable(db.dir(), {record}));
    TformMain form(m_prompter);
    m_prompter.answerPath(db.dir() + QStringLiteral("/photodb.db"));
    m_prompter.answer(Prompter::No);
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Confirmation);
    QVERIFY(m_prompter.last().text.startsWith(
        QStringLiteral("The library in \"%1\" was made by an earlier version").arg(db.dir())));
    QVERIFY(!form.queryAlbum.active());

    m_prompter.answerPath(db.dir() + QStringLiteral("/photodb.db"));
    m_prompter.answer(Prompter::Yes);
    form.menuFileOpen->trigger();
    QVERIFY(form.queryAlbum.active());
    QCOMPARE(form.editCounter->text(), QStringLiteral("1"));
    QVERIFY(form.queryAlbum.readBlob(QStringLiteral("IMAGE")) == record.image);
    QVERIFY(!form.imageViewArea->isHidden());
}

QTEST_MAIN(TestFormMainStartup)
#include "tst_tformmain_startup.moc"
