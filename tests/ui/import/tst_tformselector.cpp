#include "app/qt_prompter.h"
#include "base/regutl.h"
#include "base/settings_store.h"
#include "db/table.h"
#include "import/directory_list_box.h"
#include "import/file_list_box.h"
#include "import/tformselector.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "picture/picture_fit.h"
#include "support/jpeg_fixtures.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QtTest>

using namespace pictavo;
using pictavo::test::PhotoDbFixture;

namespace {

const QString kFormSelector = QStringLiteral("\\software\\Orbelin_PV\\formSelector");
const QString kFormMain = QStringLiteral("\\software\\Orbelin_PV\\formMain");

// Left,Top,Width,Height,Panel_Layout,Keywords_From_Files as stored for the window.
QString storedValues()
{
    QStringList values;
    for (const char *name :
         {"Left", "Top", "Width", "Height", "Panel_Layout", "Keywords_From_Files"})
        values << SettingsStore::instance()
                      .readString(kFormSelector, QLatin1String(name))
                      .value_or(QStringLiteral("-"));
    return values.join(QLatin1Char(','));
}

QByteArray jpeg(int width, int height, quint32 seed)
{
    fixtures::JpegOptions options;
    options.seed = seed;
    return fixtures::makeJpeg(width, height, options);
}

// Every text the status bar was painted with.
class PaintedTexts : public QObject
{
public:
    explicit PaintedTexts(QStatusBar *bar) : m_bar(bar) { bar->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint &&
            (texts.isEmpty() || texts.last() != m_bar->currentMessage()))
            texts << m_bar->currentMessage();
        return false;
    }
    QStringList texts;

private:
    QStatusBar *m_bar;
};

QStringList names(const TformSelector &form)
{
    QStringList result;
    for (const ImportEntry &entry : form.listboxFile->entries())
        result << entry.name + (entry.selected ? QStringLiteral(" *") : QString());
    return result;
}

void clickEntry(TformSelector &form, const QString &name, Qt::KeyboardModifiers modifiers = {})
{
    const QList<QListWidgetItem *> found = form.listboxFile->findItems(name, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    QTest::mouseClick(form.listboxFile->viewport(), Qt::LeftButton, modifiers,
                      form.listboxFile->visualItemRect(found.first()).center());
}

// The controls a run switches off, "Abort" which it switches on, and those it leaves alone.
void checkImporting(TformSelector &form, bool importing)
{
    for (const char *name :
         {"bitbtnAppend", "bitbtnClose", "radiogroupScale", "checkboxRemoveAfterInport",
          "comboboxDrive", "listboxDir", "listboxFile", "editPrefix", "editKeyWord", "menuFileExit",
          "menuFileInport", "menuFileOpen", "menuFileSelectAll", "menuOptionLayout",
          "menuOptionAutoScale", "menuOptionRemoveAfterInport"}) {
        const QObject *control = form.findChild<QObject *>(QLatin1String(name));
        QVERIFY2(control && control->property("enabled").toBool() == !importing, name);
    }
    QCOMPARE(form.bitbtnCancel->isEnabled(), importing);
    QVERIFY(form.menuFileCancelInport->isEnabled() && form.menuEditRefreshList->isEnabled());
    QVERIFY(form.bitbtnRefresh->isEnabled() && form.checklistboxKeyWords->isEnabled());
}

} // namespace

// The import window: its settings, lists, preview and the runs it starts.
class TestFormSelector : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstStartAndStoredPlacement();
    void panelLayout_data();
    void panelLayout();
    void keywordList();
    void foldersAndFileList();
    void previewFollowsTheUsersSelection();
    void removalControlsInStep();
    void oneToOneThenResizeReturnsToAuto();
    void runStoresAndCounterFollows();
    void storedPhotoIsNotDecodedAgain();
    void busyPointerDuringEachFile();
    void stopDuringRun_data();
    void stopDuringRun();
    void openSetsMaskToName();

private:
    TformSelector &openSelector();
    void write(const QString &name, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<PhotoDbFixture> m_db;
    std::unique_ptr<QTemporaryDir> m_photos;
    std::unique_ptr<TformMain> m_main;
    std::unique_ptr<MainWindowAlbum> m_album;
    std::unique_ptr<TformSelector> m_form;
    ScriptedPrompter m_prompter;
};

void TestFormSelector::init()
{
    m_settings = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_settings->filePath(QStringLiteral("settings.json")));
    regutl::MakeKey(regutl::kSettingsKey);
    m_db = std::make_unique<PhotoDbFixture>();
    m_photos = std::make_unique<QTemporaryDir>();
    m_prompter.calls.clear();
}

void TestFormSelector::cleanup()
{
    m_form.reset();
    m_album.reset();
    m_main.reset();
    QCOMPARE(m_prompter.pendingAnswers(), 0);
}

TformSelector &TestFormSelector::openSelector()
{
    SettingsStore::instance().writeStrings(kFormMain,
                                           {{QStringLiteral("Database_Name"), m_db->dir()}});
    m_main = std::make_unique<TformMain>(m_prompter);
    m_album = std::make_unique<MainWindowAlbum>(*m_main);
    m_form = std::make_unique<TformSelector>(*m_album, m_prompter);
    m_form->moveToDirectory(m_photos->path());
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qFatal("window not shown");
    return *m_form;
}

void TestFormSelector::write(const QString &name, const QByteArray &bytes)
{
    QFile file(m_photos->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

void TestFormSelector::firstStartAndStoredPlacement()
{
    SettingsStore::instance().writeStrings(
        kFormMain, {{QStringLiteral("Panel_Layout"), QStringLiteral("Left")}});
    {
        TformMain main(m_prompter);
        MainWindowAlbum album(main);
        TformSelector form(album, m_prompter);
        QCOMPARE(form.size(), QSize(640, 480));
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((form.geometry().center() - centre).manhattanLength() <= 1);
        QVERIFY(form.panelDockedRight()); // the main window's own side is not the selector's
        QVERIFY(!regutl::KeyExists(kFormSelector));
        form.move(30, 40);
        form.menuOptionLayout->trigger();
        QVERIFY(!form.panelDockedRight());
        QVERIFY(!form.checkboxKeywordsFromFiles->isChecked());
        form.checkboxKeywordsFromFiles->setChecked(true);
    }
    QCOMPARE(storedValues(), QStringLiteral("30,40,640,480,Left,On"));
    {
        TformMain main(m_prompter);
        MainWindowAlbum album(main);
        TformSelector again(album, m_prompter);
        QCOMPARE(again.pos(), QPoint(30, 40));
        QVERIFY(!again.panelDockedRight());
        QVERIFY(again.checkboxKeywordsFromFiles->isChecked());
        // Without the Settings Key nothing is written at the end.
        regutl::EraseKey(regutl::kSettingsKey);
    }
    QVERIFY(!regutl::KeyExists(regutl::kSettingsKey));
    QVERIFY(m_prompter.calls.isEmpty());
}

void TestFormSelector::panelLayout_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("right");
    QTest::newRow("Right") << "Right" << true;
    QTest::newRow("right") << "right" << false;
    QTest::newRow("Left") << "Left" << false;
    QTest::newRow("empty") << "" << false;
}

void TestFormSelector::panelLayout()
{
    QFETCH(QString, stored);
    QFETCH(bool, right);
    SettingsStore::instance().writeStrings(kFormSelector,
                                           {{QStringLiteral("Panel_Layout"), stored}});
    SettingsStore::instance().writeStrings(
        kFormMain, {{QStringLiteral("Panel_Layout"),
                     right ? QStringLiteral("Left") : QStringLiteral("Right")}});
    {
        TformMain main(m_prompter);
        MainWindowAlbum album(main);
        TformSelector form(album, m_prompter);
        QCOMPARE(form.panelDockedRight(), right);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.panelCommand->x() > form.scrollboxViewArea->x(), right);
    }
    QCOMPARE(storedValues().section(QLatin1Char(','), 4, 4),
             right ? QStringLiteral("Right") : QStringLiteral("Left"));
}

void TestFormSelector::keywordList()
{
    TformSelector &form = openSelector();
    QCOMPARE(form.checklistboxKeyWords->count(), 0);
    for (const char *keyword : {"sea", "Sky", "a b"})
        m_db->addKeyword(QLatin1String(keyword), 1);
    form.bitbtnRefresh->click();
    QStringList shown;
    for (int row = 0; row < form.checklistboxKeyWords->count(); ++row) {
        shown << form.checklistboxKeyWords->item(row)->text();
        QCOMPARE(form.checklistboxKeyWords->item(row)->checkState(), Qt::Unchecked);
    }
    QCOMPARE(shown, QStringList({"Sky", "a b", "sea"}));
    form.checklistboxKeyWords->item(2)->setCheckState(Qt::Checked);

    // An empty Keyword Table leaves the list as it was, ticks included.
    Table keywords;
    keywords.setDatabaseName(m_db->dir());
    keywords.setTableName(QStringLiteral("KEYWORD.DB"));
    keywords.emptyTable();
    form.menuEditRefreshList->trigger();
    QCOMPARE(form.checklistboxKeyWords->count(), 3);
    QCOMPARE(form.checklistboxKeyWords->item(2)->checkState(), Qt::Checked);

    // Every showing reads the table again.
    m_db->addKeyword(QStringLiteral("new"), 1);
    form.hide();
    form.show();
    QCOMPARE(form.checklistboxKeyWords->count(), 1);
    QCOMPARE(form.checklistboxKeyWords->item(0)->checkState(), Qt::Unchecked);
    QVERIFY(m_prompter.calls.isEmpty());
}

void TestFormSelector::foldersAndFileList()
{
    for (const char *name : {"b.JPEG", "a.jpg", "C.Jpg", ".jpg", "d.png", "e.jpg.txt", "f.jpgx"})
        write(QLatin1String(name), "x");
    QVERIFY(QDir(m_photos->path()).mkpath(QStringLiteral("g.jpg/h")));
    TformSelector &form = openSelector();
    QCOMPARE(names(form), QStringList({".jpg", "a.jpg", "b.JPEG", "C.Jpg"}));
    QTreeWidgetItem *current = form.listboxDir->currentItem();
    QCOMPARE(current->text(0), QDir(m_photos->path()).dirName());
    QCOMPARE(current->childCount(), 1);

    // Enter moves into the folder and does not close the window through its default button.
    form.listboxDir->setCurrentItem(current->child(0));
    QTest::keyClick(form.listboxDir, Qt::Key_Return);
    QCOMPARE(form.listboxDir->directory(), m_photos->filePath(QStringLiteral("g.jpg")));
    QCOMPARE(form.listboxFile->directory(), form.listboxDir->directory());
    QCOMPARE(form.listboxFile->count(), 0);
    QVERIFY(form.isVisible());
    form.menuFileSelectAll->trigger();
    QCOMPARE(m_prompter.texts(), QStringList{"No JPEG file."});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
}

void TestFormSelector::previewFollowsTheUsersSelection()
{
    const QByteArray stored = jpeg(320, 240, 1);
    m_db->addPhoto(QString(), QStringLiteral("x"), QStringLiteral("k"), jpeg(320, 240, 2));
    const qint64 serial =
        m_db->addPhoto(QStringLiteral("p"), QStringLiteral("y"), QStringLiteral("k"), stored);
    write(QStringLiteral("other.jpg"), jpeg(1600, 1200, 3));
    write(QStringLiteral("same.jpg"), stored);
    TformSelector &form = openSelector();
    TformMain &main = *m_main;
    QCOMPARE(main.editCounter->text(), QStringLiteral("2"));

    // The window's own selection previews nothing.
    form.menuFileSelectAll->trigger();
    QCOMPARE(names(form), QStringList({"other.jpg *", "same.jpg *"}));
    QVERIFY(form.pipeline().imageTmp.isEmpty());

    PaintedTexts status(form.panelStatusBar);
    clickEntry(form, QStringLiteral("other.jpg"));
    QCOMPARE(names(form), QStringList({"other.jpg *", "same.jpg"}));
    QCOMPARE(form.pipeline().imageTmp.fullSize(), QSize(1600, 1200));
    QVERIFY(form.imageViewArea->isVisible());
    QVERIFY(form.imageViewArea->width() <= form.scrollboxViewArea->width());
    QVERIFY(m_prompter.calls.isEmpty());
    // "Loading" with the percentage at least two wide, painted at once; empty before and after.
    QVERIFY(status.texts.size() >= 3);
    QCOMPARE(status.texts.first(), QString());
    QCOMPARE(status.texts.last(), QString());
    for (const QString &text : status.texts.mid(1, status.texts.size() - 2))
        QVERIFY2(
            QRegularExpression(QStringLiteral("^Loading [ 1-9][0-9]%$")).match(text).hasMatch(),
            qPrintable(text));
    form.decodeProgress(true, 5);
    QCOMPARE(form.panelStatusBar->currentMessage(), QStringLiteral("Loading  5%"));

    // The keyboard moves to the entry whose bytes are stored: the main window narrows to it.
    QTest::keyClick(form.listboxFile, Qt::Key_Down);
    QCOMPARE(m_prompter.texts(), QStringList{"Detected same image in the database."});
    QCOMPARE(m_prompter.last().kind, Prompter::Kind::Warning);
    QCOMPARE(main.editCounter->text(), QStringLiteral("1"));
    QCOMPARE(main.queryAlbum.asInteger(QStringLiteral("SERIAL")), serial);
    QCOMPARE(m_db->rows({QStringLiteral("select SERIAL from PHOTODB.DB ;")}).size(), 2);

    // Deselecting the current entry previews an empty path: no picture held, the last one shown.
    clickEntry(form, QStringLiteral("same.jpg"), Qt::ControlModifier);
    QCOMPARE(names(form), QStringList({"other.jpg", "same.jpg"}));
    QVERIFY(form.pipeline().imageTmp.isEmpty());
    QVERIFY(form.imageViewArea->isVisible());
    QCOMPARE(m_prompter.calls.size(), 1);

    form.bitbtnClose->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(main.editCounter->text(), QStringLiteral("1"));
}

void TestFormSelector::removalControlsInStep()
{
    m_db->addKeyword(QStringLiteral("*"), 1);
    write(QStringLiteral("a.jpg"), jpeg(64, 48, 1));
    TformSelector &form = openSelector();
    QVERIFY(form.checkboxRemoveAfterInport->isChecked() &&
            form.menuOptionRemoveAfterInport->isChecked());
    form.menuOptionRemoveAfterInport->trigger();
    QVERIFY(!form.checkboxRemoveAfterInport->isChecked());
    form.checkboxRemoveAfterInport->click();
    QVERIFY(form.menuOptionRemoveAfterInport->isChecked());
    form.checkboxRemoveAfterInport->click();
    QVERIFY(!form.menuOptionRemoveAfterInport->isChecked());

    // The run follows the setting: the stored file stays, so does its entry and the preview.
    clickEntry(form, QStringLiteral("a.jpg"));
    form.menuFileInport->trigger();
    QVERIFY(m_prompter.calls.isEmpty()); // one file: no closing message
    QCOMPARE(m_db->rows({QStringLiteral("select NAME, KEYWORD from PHOTODB.DB ;")}),
             QStringList{"a|*"});
    QVERIFY(QFile::exists(m_photos->filePath(QStringLiteral("a.jpg"))));
    QCOMPARE(names(form), QStringList{"a.jpg *"});
    QVERIFY(form.imageViewArea->isVisible());
}

void TestFormSelector::oneToOneThenResizeReturnsToAuto()
{
    write(QStringLiteral("big.jpg"), jpeg(1600, 1200, 1));
    TformSelector &form = openSelector();
    clickEntry(form, QStringLiteral("big.jpg"));
    form.radioOneToOne->click();
    QVERIFY(!form.autoScale());
    QVERIFY(!form.menuOptionAutoScale->isChecked());
    QCOMPARE(form.imageViewArea->pixmap().size(), QSize(1600, 1200));
    form.resize(700, 520);
    QTRY_VERIFY(form.autoScale());
    QVERIFY(form.radioAuto->isChecked());
    QVERIFY(form.menuOptionAutoScale->isChecked());
    QVERIFY(form.imageViewArea->width() <= form.scrollboxViewArea->width());
}

void TestFormSelector::runStoresAndCounterFollows()
{
    m_db->addKeyword(QStringLiteral("sea"), 1);
    m_db->addKeyword(QStringLiteral("sky"), 1);
    for (const char *name : {"a.jpg", "b.JPG", "c.jpg"})
        write(QLatin1String(name), jpeg(64, 48, quint32(name[0])));
    TformSelector &form = openSelector();
    form.checklistboxKeyWords->item(1)->setCheckState(Qt::Checked);
    form.editPrefix->setText(QStringLiteral("Trip"));
    form.editKeyWord->setText(QStringLiteral("sea"));
    form.listboxFile->item(0)->setSelected(true);
    form.listboxFile->item(1)->setSelected(true);
    bool checked = false;
    QTimer::singleShot(0, &form, [&] { // input is let through after each file
        checkImporting(form, true);
        checked = true;
    });
    form.bitbtnAppend->click();
    QVERIFY(checked);
    QCOMPARE(m_prompter.texts(), QStringList{"Finished"});
    QCOMPARE(m_db->rows({QStringLiteral("select PREFIX, NAME, KEYWORD from PHOTODB.DB ;")}),
             QStringList({"Trip|a|sky,sea", "Trip|b|sky,sea"}));
    QCOMPARE(m_main->editCounter->text(), QStringLiteral("2"));
    QCOMPARE(m_main->queryAlbum.sql(), QStringList{"SELECT * FROM PHOTODB.DB;"});
    // Removal on: the stored files are gone from the disk and from the list.
    QCOMPARE(names(form), QStringList{"c.jpg"});
    QVERIFY(!QFile::exists(m_photos->filePath(QStringLiteral("a.jpg"))));
    QVERIFY(form.imageViewArea->isHidden());
    QCOMPARE(form.progressbarInport->value(), 0);
    checkImporting(form, false);
}

// The decode made for the import serves the main window too: the stored photo is handed
// over, not read back and decoded again, and it covers the main window's larger area.
void TestFormSelector::storedPhotoIsNotDecodedAgain()
{
    const QByteArray photo = jpeg(1600, 1200, 7);
    m_db->addKeyword(QStringLiteral("sea"), 1);
    write(QStringLiteral("big.jpg"), photo);
    TformSelector &form = openSelector();
    form.editKeyWord->setText(QStringLiteral("sea"));
    m_main->resize(1100, 900);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    QVERIFY(m_main->scrollboxViewArea->width() > form.scrollboxViewArea->width());
    form.listboxFile->item(0)->setSelected(true);
    form.bitbtnAppend->click();
    QCOMPARE(m_prompter.texts(), QStringList()); // a run of one file closes silently
    QCOMPARE(m_main->editCounter->text(), QStringLiteral("1"));

    QVERIFY(m_main->imageTmp.jpeg() == photo);
    QVERIFY(!m_main->imageViewArea->isHidden());
    const QSize mainFit =
        FitAndCentrePicture(QSize(1600, 1200), m_main->scrollboxViewArea->size()).size();
    QVERIFY(m_main->imageTmp.covers(mainFit));
    QVERIFY(form.pipeline().imageTmp.decodeCount() > 0);
    QCOMPARE(m_main->imageTmp.decodeCount(), form.pipeline().imageTmp.decodeCount());
}

namespace {

Qt::CursorShape pointer()
{
    return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                          : Qt::ArrowCursor;
}

} // namespace

// The hourglass shows while a file is compared and stored (a duplicate's question is asked
// then), not between files where Abort is taken, and never after the run.
void TestFormSelector::busyPointerDuringEachFile()
{
    const QByteArray photo = jpeg(64, 48, 5);
    m_db->addKeyword(QStringLiteral("*"), 1);
    m_db->addPhoto(QString(), QStringLiteral("old"), QStringLiteral("*"), photo);
    write(QStringLiteral("a.jpg"), jpeg(64, 48, 6));
    write(QStringLiteral("b.jpg"), photo);
    TformSelector &form = openSelector();
    form.menuFileSelectAll->trigger();
    QList<Qt::CursorShape> atQuestions;
    m_prompter.onMessage = [&atQuestions](const QString &) { atQuestions << pointer(); };
    m_prompter.answer(Prompter::Yes); // skip the duplicate
    m_prompter.answer(Prompter::No);  // and keep its file
    Qt::CursorShape betweenFiles = Qt::BlankCursor;
    QTimer::singleShot(0, &form, [&] { betweenFiles = pointer(); });
    form.bitbtnAppend->click();
    m_prompter.onMessage = nullptr;
    QVERIFY2(!atQuestions.isEmpty(), qPrintable(m_prompter.texts().join('|')));
    QCOMPARE(atQuestions.first(), Qt::WaitCursor);
    QCOMPARE(betweenFiles, Qt::ArrowCursor);
    QVERIFY(!QApplication::overrideCursor());
}

void TestFormSelector::stopDuringRun_data()
{
    QTest::addColumn<bool>("abortButton");
    QTest::newRow("Abort closes the window") << true;
    QTest::newRow("Cancel Inporting leaves it open") << false;
}

void TestFormSelector::stopDuringRun()
{
    QFETCH(bool, abortButton);
    m_db->addKeyword(QStringLiteral("*"), 1);
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        write(QLatin1String(name), jpeg(64, 48, quint32(name[0])));
    TformSelector &form = openSelector();
    form.menuFileSelectAll->trigger();
    bool clicked = false;
    // Input is let through between files only: this runs after the first one.
    QTimer::singleShot(0, &form, [&] {
        checkImporting(form, true);
        form.reject(); // Esc waits for the run
        if (abortButton)
            form.bitbtnCancel->click();
        else
            form.menuFileCancelInport->trigger();
        clicked = true;
    });
    form.bitbtnAppend->click();
    QVERIFY(clicked);
    QCOMPARE(m_prompter.texts(), QStringList{"Canceled.  Last file name was \"a.jpg\"."});
    QCOMPARE(m_db->rows({QStringLiteral("select NAME from PHOTODB.DB ;")}), QStringList{"a"});
    QCOMPARE(form.isVisible(), !abortButton);
    if (abortButton)
        QCOMPARE(form.result(), TformSelector::AbortResult);
    checkImporting(form, false);
}

void TestFormSelector::openSetsMaskToName()
{
    const QDir photos(m_photos->path());
    QVERIFY(photos.mkpath(QStringLiteral("first")) && photos.mkpath(QStringLiteral("second")));
    for (const char *name :
         {"first/x[1].jpg", "first/x1.jpg", "first/y.jpg", "second/X[1].JPG", "second/z.jpg"})
        write(QLatin1String(name), jpeg(64, 48, 1));
    TformSelector &form = openSelector();
    m_prompter.answerPath(photos.filePath(QStringLiteral("first/x[1].jpg")));
    form.menuFileOpen->trigger();
    const ScriptedPrompter::Call dialog = m_prompter.last();
    QCOMPARE(dialog.title, QStringLiteral("JPEG file selector"));
    QCOMPARE(dialog.fileName, QStringLiteral("*.jpg"));
    QCOMPARE(toQtFilter(dialog.filter), QStringLiteral("*.jpg;*.jpeg (*.jpg *.jpeg)"));
    QCOMPARE(form.listboxDir->directory(), photos.filePath(QStringLiteral("first")));
    QCOMPARE(form.listboxFile->mask(), QStringLiteral("x[1].jpg"));
    QCOMPARE(names(form), QStringList{"x[1].jpg *"});
    QCOMPARE(form.pipeline().imageTmp.fullSize(), QSize(64, 48));
    QVERIFY(form.imageViewArea->isVisible());
    // The mask stays with the name in any other folder.
    form.moveToDirectory(photos.filePath(QStringLiteral("second")));
    QCOMPARE(names(form), QStringList{"X[1].JPG"});
}

QTEST_MAIN(TestFormSelector)
#include "tst_tformselector.moc"
