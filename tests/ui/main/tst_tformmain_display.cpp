#include "base/regutl.h"
#include "base/settings_store.h"
#include "db/table.h"
#include "main/tformmain.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"
#include "widgets/db_navigator.h"
#include "widgets/draw_picture.h"
#include "widgets/form_exists.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace pictavo;
using pictavo::fixtures::makeJpeg;
using pictavo::test::PhotoDbFixture;

namespace {

QByteArray jpegWithSeed(int width, int height, quint32 seed)
{
    pictavo::fixtures::JpegOptions options;
    options.seed = seed;
    return makeJpeg(width, height, options);
}

} // namespace

// The main window with photos: what it shows and how its commands change it.
class TestFormMainDisplay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fittedAndFullSize_data();
    void fittedAndFullSize();
    void moveReturnsToAuto();
    void resizeAndGridHeightReturnToAuto();
    void undecodablePhoto();
    void refreshWithoutPicture();
    void emptySetAndDeletingTheLastRecord();
    void deleteAnswers();
    void gridEditPostsWithNewKeywordQuestion();
    void gridEditCancelledAllowsOpen();
    void changePanelLayout();
    void formExistsByExactName();
    void startupWithUndecodableFirstPhoto();
    void editorOnARemovedRowWritesNothing();
    void deleteDuringEditEndsTheEdit();
    void resultWithoutImageField();
    void keyboardWorksFromTheStart();
    void keywordColumnFitsTheFirstWindow();
    void drawnPictureOutlivesItsDecode_data();
    void drawnPictureOutlivesItsDecode();

private:
    TformMain &openWindow();
    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<PhotoDbFixture> m_db;
    std::unique_ptr<TformMain> m_form;
    ScriptedPrompter m_prompter;
};

void TestFormMainDisplay::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_settings->filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
    m_db = std::make_unique<PhotoDbFixture>();
    m_prompter.calls.clear();
}

void TestFormMainDisplay::cleanup()
{
    m_form.reset();
    QCOMPARE(m_prompter.pendingAnswers(), 0);
}

TformMain &TestFormMainDisplay::openWindow()
{
    SettingsStore::instance().writeStrings(QStringLiteral("\\software\\Orbelin_PV\\formMain"),
                                           {{QStringLiteral("Database_Name"), m_db->dir()},
                                            {QStringLiteral("Width"), QStringLiteral("800")},
                                            {QStringLiteral("Height"), QStringLiteral("600")}});
    m_form = std::make_unique<TformMain>(m_prompter);
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qFatal("window not shown");
    return *m_form;
}

void TestFormMainDisplay::fittedAndFullSize_data()
{
    QTest::addColumn<QSize>("photo");
    QTest::newRow("small stays unscaled") << QSize(300, 200);
    QTest::newRow("wide fills the width") << QSize(1600, 1200);
    QTest::newRow("tall fills the height") << QSize(1200, 1600);
}

void TestFormMainDisplay::fittedAndFullSize()
{
    QFETCH(QSize, photo);
    m_db->addPhoto(QString(), QStringLiteral("p"), QStringLiteral("k"),
                   makeJpeg(photo.width(), photo.height()));
    TformMain &form = openWindow();
    const QSize area = form.scrollboxViewArea->size();
    QVERIFY(area.width() > 300 && area.height() > 200);
    const QRect shown = form.imageViewArea->geometry();
    QVERIFY(form.imageViewArea->isVisible());
    QVERIFY(form.autoScale());
    if (photo.width() <= area.width() && photo.height() <= area.height()) {
        QCOMPARE(shown.size(), photo);
    } else if (shown.width() == area.width()) {
        QVERIFY(shown.height() <= area.height());
    } else {
        QCOMPARE(shown.height(), area.height());
        QVERIFY(shown.width() < area.width());
    }
    // Centred: equal margins, give or take the odd pixel.
    QVERIFY(qAbs(shown.left() - (area.width() - shown.right() - 1)) <= 1);
    QVERIFY(qAbs(shown.top() - (area.height() - shown.bottom() - 1)) <= 1);
    // The aspect ratio is kept within a pixel.
    QVERIFY(qAbs(shown.width() * photo.height() - shown.height() * photo.width()) <= photo.width());

    form.radioOneToOne->click();
    QVERIFY(!form.autoScale());
    QVERIFY(!form.menuOptionAutoScale->isChecked());
    QCOMPARE(form.imageViewArea->geometry(), QRect(QPoint(0, 0), photo));
    QCOMPARE(form.imageViewArea->pixmap().size(), photo);
    form.menuOptionAutoScale->trigger();
    QVERIFY(form.autoScale());
    QVERIFY(form.radioAuto->isChecked());
    QCOMPARE(form.imageViewArea->geometry(), shown);
    QVERIFY(m_prompter.calls.isEmpty());
}

void TestFormMainDisplay::moveReturnsToAuto()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"),
                   jpegWithSeed(1600, 1200, 1));
    m_db->addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), jpegWithSeed(900, 1400, 2));
    TformMain &form = openWindow();
    form.menuOptionAutoScale->trigger();
    QVERIFY(!form.autoScale());
    QVERIFY(form.radioOneToOne->isChecked());
    form.navigatorStep->click(DbNavigator::Next);
    QCOMPARE(form.queryAlbum.asString(QStringLiteral("NAME")), QStringLiteral("b"));
    QVERIFY(form.autoScale());
    QVERIFY(form.menuOptionAutoScale->isChecked());
    QVERIFY(form.radioAuto->isChecked());
    QCOMPARE(form.imageTmp.fullSize(), QSize(900, 1400));
    QCOMPARE(form.imageViewArea->height(), form.scrollboxViewArea->height());
    // The grid follows the record.
    QCOMPARE(form.dbgridAlbum->currentIndex().row(), 1);
    // And a click in the grid moves the record.
    form.dbgridAlbum->setCurrentIndex(form.dbgridAlbum->model()->index(0, 1));
    QCOMPARE(form.queryAlbum.recNo(), 0);
    QCOMPARE(form.imageTmp.fullSize(), QSize(1600, 1200));
}

void TestFormMainDisplay::resizeAndGridHeightReturnToAuto()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), makeJpeg(1600, 1200));
    TformMain &form = openWindow();
    const int grid = form.dbgridAlbum->height();
    form.radioOneToOne->click();
    form.menuOptionHigher->trigger();
    QCOMPARE(form.dbgridAlbum->height(), grid + 10);
    QVERIFY(form.autoScale());
    QVERIFY(form.imageViewArea->width() <= form.scrollboxViewArea->width());
    form.radioOneToOne->click();
    form.buttonLower->click();
    form.buttonLower->click();
    QCOMPARE(form.dbgridAlbum->height(), grid - 10);
    QVERIFY(form.autoScale());
    form.radioOneToOne->click();
    form.resize(700, 500);
    QTRY_VERIFY(form.autoScale());
    QVERIFY(form.imageViewArea->width() <= form.scrollboxViewArea->width());
}

void TestFormMainDisplay::undecodablePhoto()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), makeJpeg(400, 300));
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png += QByteArray(100, 'x');
    m_db->addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), png);
    TformMain &form = openWindow();
    form.navigatorStep->click(DbNavigator::Next);
    QCOMPARE(m_prompter.texts(), QStringList{"Not a JPEG file: starts with 0x89 0x50"});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QCOMPARE(form.queryAlbum.recNo(), 1); // the record stays current
    QVERIFY(form.imageTmp.isEmpty());
    QVERIFY(form.imageViewArea->isHidden()); // not the photo of the record before
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // Going back shows the good photo again.
    form.navigatorStep->click(DbNavigator::Prior);
    QVERIFY(form.imageViewArea->isVisible());
    QCOMPARE(m_prompter.calls.size(), 1);
}

void TestFormMainDisplay::refreshWithoutPicture()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), makeJpeg(400, 300));
    TformMain &form = openWindow();
    form.menuDisplayRefresh->trigger();
    QVERIFY(m_prompter.calls.isEmpty());
    QVERIFY(form.imageViewArea->isVisible());
    form.queryAlbum.append(); // a new record has no picture yet
    QVERIFY(!form.imageViewArea->isVisible());
    form.menuDisplayRefresh->trigger();
    QCOMPARE(m_prompter.texts(), QStringList{"No active record."});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
    form.queryAlbum.cancel();
    QVERIFY(form.imageViewArea->isVisible());
    // Without a database Refresh ends with the engine's error.
    form.queryAlbum.close();
    form.menuDisplayRefresh->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
}

void TestFormMainDisplay::emptySetAndDeletingTheLastRecord()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), makeJpeg(400, 300));
    TformMain &form = openWindow();
    QCOMPARE(form.editCounter->text(), QStringLiteral("1"));
    QVERIFY(form.imageViewArea->isVisible());
    m_prompter.answer(Prompter::Ok);
    form.menuFileDelete->trigger();
    QCOMPARE(m_prompter.texts(),
             QStringList{"The program will delete current image.\rAre you sure?"});
    QCOMPARE(m_prompter.last().buttons, Prompter::Ok | Prompter::Cancel);
    QCOMPARE(form.editCounter->text(), QStringLiteral("0"));
    QVERIFY(!form.imageViewArea->isVisible());
    QCOMPARE(m_db->rows({"select count(*) from PHOTODB.DB"}), QStringList{"0"});
    m_prompter.answer(Prompter::Ok);
    form.menuFileDelete->trigger();
    QCOMPARE(m_prompter.texts().last(), QStringLiteral("No record."));
}

void TestFormMainDisplay::deleteAnswers()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), jpegWithSeed(400, 300, 1));
    m_db->addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), jpegWithSeed(300, 400, 2));
    TformMain &form = openWindow();
    m_prompter.answer(Prompter::Cancel);
    form.menuFileDelete->trigger();
    QCOMPARE(form.editCounter->text(), QStringLiteral("2"));
    m_prompter.answer(Prompter::Ok);
    form.menuFileDelete->trigger();
    // The next record becomes current and is shown.
    QCOMPARE(form.queryAlbum.asString(QStringLiteral("NAME")), QStringLiteral("b"));
    QCOMPARE(form.imageTmp.fullSize(), QSize(300, 400));
    QCOMPARE(form.editCounter->text(), QStringLiteral("1"));
    form.queryAlbum.close();
    form.menuFileDelete->trigger();
    QCOMPARE(m_prompter.texts().last(), QStringLiteral("No database."));
}

void TestFormMainDisplay::gridEditPostsWithNewKeywordQuestion()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("sky"), makeJpeg(400, 300));
    m_db->addKeyword(QStringLiteral("sky"), 4);
    TformMain &form = openWindow();
    QAbstractItemModel *model = form.dbgridAlbum->model();
    QVERIFY(model->setData(model->index(0, 3), QStringLiteral("sky,sea")));
    QVERIFY(form.RecordModified);
    QVERIFY(form.navigatorEdit->button(DbNavigator::Post)->isEnabled());
    m_prompter.answer(Prompter::Yes);
    form.navigatorEdit->click(DbNavigator::Post);
    QCOMPARE(m_prompter.texts(),
             QStringList{"\"sea\" is a new keyword. Would you append it into the database?"});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Confirmation);
    QVERIFY(!form.RecordModified);
    QCOMPARE(m_db->rows({"select * from KEYWORD.DB"}), QStringList({"sea|1", "sky|4"}));
    QCOMPARE(m_db->rows({"select KEYWORD from PHOTODB.DB"}), QStringList{"sky,sea"});
    // The Size column is an integer field: letters are refused with the engine's text.
    QVERIFY(!model->setData(model->index(0, 2), QStringLiteral("abc")));
    QCOMPARE(m_prompter.texts().last(), QStringLiteral("'abc' is not a valid integer value."));
}

void TestFormMainDisplay::gridEditCancelledAllowsOpen()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), makeJpeg(400, 300));
    TformMain &form = openWindow();
    QAbstractItemModel *model = form.dbgridAlbum->model();
    QVERIFY(model->setData(model->index(0, 1), QStringLiteral("renamed")));
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.texts(),
             QStringList{"Current record is modified.  Please update or cancel it first."});
    form.dbgridAlbum->setFocus();
    QTest::keyClick(form.dbgridAlbum, Qt::Key_Escape);
    QVERIFY(!form.RecordModified);
    QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("a"));
    m_prompter.answerCancel();
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.callsOf(ScriptedPrompter::CallType::OpenFile).size(), 1);
}

void TestFormMainDisplay::deleteDuringEditEndsTheEdit()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), makeJpeg(40, 30));
    m_db->addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), makeJpeg(40, 30));
    TformMain &form = openWindow();
    QAbstractItemModel *model = form.dbgridAlbum->model();
    QVERIFY(model->setData(model->index(0, 1), QStringLiteral("renamed")));
    QVERIFY(form.RecordModified);
    m_prompter.answer(Prompter::Ok);
    form.menuFileDelete->trigger();
    QVERIFY(!form.RecordModified);
    QCOMPARE(m_db->rows({QStringLiteral("select NAME from PHOTODB.DB ;")}), QStringList{"b"});
    m_prompter.answerCancel();
    form.menuFileOpen->trigger();
    QCOMPARE(m_prompter.callsOf(ScriptedPrompter::CallType::OpenFile).size(), 1);
}

// A typed statement that lists names only: no picture and no message on any move;
// Refresh answers as for a record without a photo.
void TestFormMainDisplay::resultWithoutImageField()
{
    for (const char *name : {"a", "b", "c"})
        m_db->addPhoto(QString(), QLatin1String(name), QStringLiteral("k"), makeJpeg(40, 30));
    TformMain &form = openWindow();
    form.queryAlbum.close();
    form.queryAlbum.setSql({QStringLiteral("select NAME, KEYWORD from PHOTODB.DB")});
    form.queryAlbum.open();
    QVERIFY(form.imageViewArea->isHidden());
    form.navigatorStep->click(DbNavigator::Next);
    form.navigatorStep->click(DbNavigator::Next);
    QCOMPARE(form.queryAlbum.recNo(), 2);
    QCOMPARE(m_prompter.texts(), QStringList());
    QVERIFY(form.imageViewArea->isHidden());
    form.menuDisplayRefresh->trigger();
    QCOMPARE(m_prompter.texts(), QStringList{"No active record."});
    // A closed query is still the engine's error.
    form.queryAlbum.close();
    form.menuDisplayRefresh->trigger();
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
}

void TestFormMainDisplay::keyboardWorksFromTheStart()
{
    for (const char *name : {"a", "b", "c"})
        m_db->addPhoto(QString(), QLatin1String(name), QStringLiteral("k"), makeJpeg(40, 30));
    TformMain &form = openWindow();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.dbgridAlbum);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(form.queryAlbum.recNo(), 1);
}

void TestFormMainDisplay::keywordColumnFitsTheFirstWindow()
{
    m_db->addPhoto(QStringLiteral("Holiday 2026"), QStringLiteral("beach"),
                   QStringLiteral("sea,sky,sand"), makeJpeg(40, 30));
    TformMain &form = openWindow();
    QHeaderView *header = form.dbgridAlbum->horizontalHeader();
    for (const int width : {640, 1000, 1600}) {
        form.resize(width, 480);
        QTRY_COMPARE(form.width(), width);
        QApplication::processEvents();
        const int visible = form.dbgridAlbum->viewport()->width();
        // All four columns fit, Keyword with at least a quarter of the width.
        QVERIFY2(header->sectionPosition(3) + header->sectionSize(3) <= visible,
                 qPrintable(QString::number(width)));
        QVERIFY2(header->sectionSize(3) >= visible / 4, qPrintable(QString::number(width)));
        QVERIFY(header->sectionSize(0) > 0 && header->sectionSize(1) > 0 &&
                header->sectionSize(2) > 0);
    }
}

void TestFormMainDisplay::changePanelLayout()
{
    TformMain &form = openWindow();
    QVERIFY(form.panelDockedRight());
    form.menuOptionChangePanelLayout->trigger();
    QVERIFY(!form.panelDockedRight());
    QTRY_VERIFY(form.panelCommand->x() < form.dbgridAlbum->mapTo(&form, QPoint()).x());
    form.menuOptionChangePanelLayout->trigger();
    QVERIFY(form.panelDockedRight());
}

void TestFormMainDisplay::formExistsByExactName()
{
    QVERIFY(!FormExists(QStringLiteral("formMain")));
    openWindow();
    QVERIFY(FormExists(QStringLiteral("formMain")));
    QVERIFY(!FormExists(QStringLiteral("formmain")));
    m_form->hide(); // hidden windows count too
    QVERIFY(FormExists(QStringLiteral("formMain")));
    m_form.reset();
    QVERIFY(!FormExists(QStringLiteral("formMain")));
}

// One photo that cannot be decoded never locks the user out: the library opens, as
// "Open Database" keeps it, and the picture's error is told once.
void TestFormMainDisplay::startupWithUndecodableFirstPhoto()
{
    m_db->addPhoto(QString(), QStringLiteral("a"), QStringLiteral("k"), QByteArray("GIF89a......"));
    m_db->addPhoto(QString(), QStringLiteral("b"), QStringLiteral("k"), jpegWithSeed(40, 30, 1));
    openWindow();
    QCOMPARE(m_prompter.texts(), QStringList{"Not a JPEG file: starts with 0x47 0x49"});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Error);
    QVERIFY(m_form->queryAlbum.active() && m_form->tableKeyword.active());
    QCOMPARE(m_form->editCounter->text(), QStringLiteral("2"));
    QVERIFY(!m_form->imageViewArea->isVisible());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// A cell editor still open on a record that goes away (deleted, or an append dropped
// when a filter replaces the set): its text goes with the record and is not written into
// the record that becomes current.
void TestFormMainDisplay::editorOnARemovedRowWritesNothing()
{
    for (const char *name : {"a", "b", "c"})
        m_db->addPhoto(QString(), QLatin1String(name), QStringLiteral("k"),
                       jpegWithSeed(40, 30, quint32(name[0])));
    TformMain &form = openWindow();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const auto typeInto = [&form](int row) {
        const QModelIndex cell = form.dbgridAlbum->model()->index(row, 1); // Name
        form.dbgridAlbum->setCurrentIndex(cell);
        form.dbgridAlbum->edit(cell);
        auto *editor = form.dbgridAlbum->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText(QStringLiteral("typed"));
    };

    typeInto(1); // b, being edited
    m_prompter.answer(Prompter::Ok);
    form.menuFileDelete->trigger();
    QCOMPARE(form.queryAlbum.state(), DataSet::State::Browse);
    form.queryAlbum.first();
    QCOMPARE(m_db->rows({"select NAME from PHOTODB.DB ;"}), QStringList({"a", "c"}));

    form.queryAlbum.last();
    form.queryAlbum.append();
    typeInto(form.queryAlbum.recNo());
    form.queryAlbum.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    form.queryAlbum.open();
    QCOMPARE(form.queryAlbum.state(), DataSet::State::Browse);
    QVERIFY(!form.RecordModified);
    form.queryAlbum.last();
    QCOMPARE(m_db->rows({"select NAME from PHOTODB.DB ;"}), QStringList({"a", "c"}));
}

void TestFormMainDisplay::drawnPictureOutlivesItsDecode_data()
{
    QTest::addColumn<bool>("autoMode");
    QTest::newRow("1/1") << false;
    QTest::newRow("Auto, shown unscaled") << true;
}

// The picture on screen is drawn from the decode without copying it; moving on to
// another photo (of the same size, which may take over the same memory) must not change
// or free what is still shown until it is drawn again.
void TestFormMainDisplay::drawnPictureOutlivesItsDecode()
{
    QFETCH(bool, autoMode);
    QScrollArea area;
    auto *label = new QLabel;
    setUpPictureArea(&area, label);
    area.resize(400, 300);
    area.show();
    DisplayPicture picture;
    picture.setJpeg(jpegWithSeed(100, 80, 1));
    DrawPicture(picture, label, &area, autoMode);
    const QImage shown = label->pixmap().toImage().copy();
    QCOMPARE(shown.size(), QSize(100, 80));

    picture.setJpeg(jpegWithSeed(100, 80, 2));
    picture.pixelsFor(QSize());
    QVERIFY(label->pixmap().toImage() == shown);
    label->grab(); // painting it reads the pixels too
}

QTEST_MAIN(TestFormMainDisplay)
#include "tst_tformmain_display.moc"
