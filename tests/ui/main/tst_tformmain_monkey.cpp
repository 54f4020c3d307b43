#include "base/prompter.h"
#include "base/regutl.h"
#include "base/settings_store.h"
#include "filter/tformeasyfilter.h"
#include "filter/tformexpertfilter.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/random_prompter.h"
#include "support/temporary_settings.h"
#include "widgets/db_navigator.h"
#include "widgets/error_report.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QToolButton>
#include <QtTest>
#include <array>
#include <map>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;
using pictavo::test::RandomPrompter;

namespace {

const QStringList kStatements{
    "select * from PHOTODB.DB ;",
    "select * from PHOTODB.DB where KEYWORD like \"%sea%\" order by NAME desc;",
    "select distinct * from PHOTODB.DB;",
    "select NAME, KEYWORD from PHOTODB.DB;",
    "select * from PHOTODB.DB where SERIAL < 3 union all select * from PHOTODB.DB "
    "where SERIAL > 5;",
    "select P.*, K.\"COUNT\" from PHOTODB.DB P, KEYWORD.DB K where P.KEYWORD = K.KEYWORD;",
    "select * from (select * from PHOTODB.DB) where NAME like \"p%\";",
    "select count(*) from PHOTODB.DB;",
    "select * from PHOTODB.DB where",
    "delete from PHOTODB.DB;",
    "",
};

} // namespace

// The main window and both filters driven at random for a long while, every question
// answered at random: nothing crashes, nothing escapes the error report, and every photo
// still in the table is the one stored, byte for byte.
class TestFormMainMonkey : public QObject
{
    Q_OBJECT

private slots:
    void randomUseLosesNoPhoto();
};

void TestFormMainMonkey::randomUseLosesNoPhoto()
{
    const TemporarySettings settings;
    regutl::MakeKey(regutl::kSettingsKey);
    PhotoDbFixture db;
    std::map<qint64, QByteArray> photos;
    for (int i = 0; i < 12; ++i) {
        fixtures::JpegOptions options;
        options.seed = quint32(i + 1);
        const QByteArray jpeg = fixtures::makeJpeg(120 + 10 * i, 90, options);
        photos[db.addPhoto(QStringLiteral("IMG"), QStringLiteral("p%1").arg(i),
                           i % 3 ? QStringLiteral("sea") : QStringLiteral("sky,girl"), jpeg)] =
            jpeg;
    }
    db.addKeyword(QStringLiteral("sea"), 8);
    // One photo that does not decode.
    photos[db.addPhoto(QStringLiteral("IMG"), QStringLiteral("bad"), QStringLiteral("x"),
                       QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(50, 'x'))] =
        QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(50, 'x');
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), db.dir()}});

    QRandomGenerator random(test::monkeySeed());
    QTemporaryDir out;
    RandomPrompter prompter(random);
    // Exports go to one folder, now and then onto a file written before.
    prompter.pickFile = [&]() -> std::optional<QString> {
        if (random.bounded(2) == 0)
            return std::nullopt;
        return out.filePath(QStringLiteral("out%1.jpg").arg(random.bounded(3)));
    };
    TformMain form(prompter);
    MainWindowAlbum host(form);
    TformEasyFilter easy(host, prompter);
    TformExpertFilter expert(host, prompter);
    host.easyFilterReset = [&easy] { easy.ClearAll(); };
    form.setEasyFilter(&easy);
    form.setExpertFilter(&expert);
    form.resize(800, 600);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.activateWindow(); // so that keys typed into the grid reach its cell editors
    QVERIFY(QTest::qWaitForWindowActive(&form));

    Query &album = form.queryAlbum;
    const auto guarded = [&](const std::function<void()> &command) {
        runGuarded(prompter, command);
    };
    for (int step = 0; step < 1500; ++step) {
        switch (random.bounded(16)) {
        case 0: // rarely, or the table is soon empty
            if (random.bounded(10) == 0)
                form.menuFileDelete->trigger();
            break;
        case 1:
            form.menuFileExportCurrent->trigger();
            break;
        case 2:
            form.menuDisplayRefresh->trigger();
            break;
        case 3:
            form.menuOptionAutoScale->trigger();
            break;
        case 4:
            (random.bounded(2) ? form.menuOptionLower : form.menuOptionHigher)->trigger();
            break;
        case 5:
            form.menuOptionChangePanelLayout->trigger();
            break;
        case 6: { // a navigator button
            DbNavigator *bars[] = {form.navigatorMove, form.navigatorStep, form.navigatorEdit};
            DbNavigator *bar = bars[random.bounded(3)];
            const DbNavigator::Button which = DbNavigator::Button(random.bounded(6));
            if (bar->button(which) && bar->button(which)->isEnabled())
                bar->button(which)->click();
            break;
        }
        case 7: // a row of the grid
            if (form.dbgridAlbum->model()->rowCount() > 0)
                form.dbgridAlbum->setCurrentIndex(form.dbgridAlbum->model()->index(
                    random.bounded(form.dbgridAlbum->model()->rowCount()), random.bounded(4)));
            break;
        case 8: // typing into the keyword cell, then leaving it or not
            guarded([&] {
                if (!album.active() || !album.isLive() || album.isEmpty())
                    return;
                if (album.state() == DataSet::State::Browse)
                    album.edit();
                album.setValue(QStringLiteral("KEYWORD"),
                               QStringList{"sea", "new", "sky,new2", ""}[random.bounded(4)]);
            });
            break;
        case 9:
            guarded([&] {
                if (album.active() && album.isLive())
                    album.append();
            });
            break;
        case 10:
            expert.memoSQL->setPlainText(kStatements[random.bounded(int(kStatements.size()))]);
            guarded([&] { expert.menuFileExecuteClick(); });
            break;
        case 11:
            guarded([&] { expert.menuFileResetClick(); });
            guarded([&] { expert.menuFileExecuteClick(); });
            break;
        case 12:
            guarded([&] {
                easy.FormShow();
                easy.comboboxKeyWord1->setEditText(
                    QStringList{"sea", "", "\"", "girl"}[random.bounded(4)]);
                easy.checkboxNot1->setChecked(random.bounded(2));
                easy.menuFileExecuteClick();
            });
            break;
        case 13:
        case 14: { // keys typed into the grid, as a person edits in place
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget()
                                                          : form.dbgridAlbum->viewport();
            if (!form.dbgridAlbum->isAncestorOf(target))
                target = form.dbgridAlbum;
            const int key = random.bounded(8);
            if (key < 3)
                QTest::keyClicks(target, QStringList{"sea", "x,y", "AB"}[random.bounded(3)]);
            else
                QTest::keyClick(target, std::array{Qt::Key_Return, Qt::Key_Escape, Qt::Key_Down,
                                                   Qt::Key_Up, Qt::Key_Tab}[key - 3]);
            break;
        }
        default:
            (random.bounded(2) ? form.radioAuto : form.radioOneToOne)->click();
        }
        QCoreApplication::processEvents();
    }
    guarded([&] {
        if (album.active() && album.state() != DataSet::State::Browse)
            album.cancel();
    });

    // Every photo left is the one stored; deleted ones are simply gone.
    Query check;
    check.setDatabaseName(db.dir());
    check.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    check.open();
    for (check.first(); !check.eof(); check.next()) {
        const qint64 serial = check.asInteger(QStringLiteral("SERIAL"));
        QVERIFY2(photos.count(serial), "a record nobody stored");
        QVERIFY(check.readBlob(QStringLiteral("IMAGE")) == photos.at(serial));
        QCOMPARE(check.asInteger(QStringLiteral("IMAGE_SIZE")), photos.at(serial).size());
    }
    // The run went through the paths it is meant to (questions, reported errors) and left
    // photos to compare.
    QVERIFY(prompter.texts.size() > 100 && prompter.errors > 10);
    QVERIFY(check.recordCount() > 0);
}

QTEST_MAIN(TestFormMainMonkey)
#include "tst_tformmain_monkey.moc"
