#include "filter_windows.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

using namespace pictavo;
using pictavo::test::FilterWindows;

namespace {

// Caption of a label, button or group box, by object name; "(missing)" when there is none.
QString captionOf(const QWidget *window, const QString &name)
{
    const QObject *child = window->findChild<QObject *>(name);
    if (const auto *label = qobject_cast<const QLabel *>(child))
        return label->text();
    if (const auto *button = qobject_cast<const QAbstractButton *>(child))
        return button->text();
    if (const auto *box = qobject_cast<const QGroupBox *>(child))
        return box->title();
    return QStringLiteral("(missing)");
}

// Each menu as "Menu: item|item", separators left out.
QStringList menusOf(const QWidget *window)
{
    QStringList menus;
    for (const QAction *menu : window->findChild<QMenuBar *>()->actions()) {
        QStringList items;
        for (const QAction *item : menu->menu()->actions())
            if (!item->isSeparator())
                items << item->text();
        menus << menu->text() + QStringLiteral(": ") + items.join(QLatin1Char('|'));
    }
    return menus;
}

QDialog *windowNamed(FilterWindows &w, const QString &which)
{
    return which == "easy" ? static_cast<QDialog *>(w.formEasyFilter.get())
                           : static_cast<QDialog *>(w.formExpertFilter.get());
}

} // namespace

// What the two filter windows share: captions, menus, the frame, centring and showing.
class TestFilterWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void captions();
    void menusAndFrame();
    void buttonPanelCentred_data();
    void buttonPanelCentred();
    void shownModallyFromTheMainWindow_data();
    void shownModallyFromTheMainWindow();

private:
    std::unique_ptr<FilterWindows> w;
};

void TestFilterWindows::init()
{
    w = std::make_unique<FilterWindows>();
    w->addPhoto("IMG", "0001", "sea");
    w->addPhoto("DSC", "0002", "sky");
    w->db.addKeyword("sea", 1);
    w->db.addKeyword("sky", 1);
    w->open();
}

void TestFilterWindows::cleanup()
{
    QCOMPARE(w->prompter.pendingAnswers(), 0);
    w.reset();
}

void TestFilterWindows::captions()
{
    // One table for both windows rather than a data row each: every row would build the
    // main window again.
    struct Row
    {
        const char *which, *name, *caption;
    };
    const Row rows[] = {
        {"easy", "labelPrefix", "Prefix :"},
        {"easy", "labelName", "Name :"},
        {"easy", "groupboxKeyWord", "Key Word"},
        {"easy", "checkboxNot1", "NOT"},
        {"easy", "checkboxNot2", "NOT"},
        {"easy", "checkboxNot3", "NOT"},
        {"easy", "checkboxBoolNOT", "NOT for all items"},
        {"easy", "bitbtnClear", "All Clear"},
        {"easy", "bitbtnExecute", "Query"},
        {"easy", "bitbtnClose", "Close"},
        {"expert", "labelExample", "Example:"},
        {"expert", "labelSQL", "select * from photodb.db where KEYWORD like \"%girl%\";"},
        {"expert", "bitbtnReset", "Reset"},
        {"expert", "bitbtnExecute", "Execute"},
        {"expert", "bitbtnClose", "Close"},
    };
    for (const Row &row : rows)
        QVERIFY2(captionOf(windowNamed(*w, row.which), row.name) == QLatin1String(row.caption),
                 row.name);
    const QStringList easyControls{
        "editPrefix",       "editName",         "comboboxKeyWord1",
        "comboboxKeyWord2", "comboboxKeyWord3", "checklistboxKeyWords",
        "panelTop",         "panelKeyWordLeft", "panelBottom",
        "panelButtons",     "barStatus",        "radiogroupBoolAmongItems"};
    for (const QString &name : easyControls)
        QVERIFY2(w->formEasyFilter->findChild<QWidget *>(name), qPrintable(name));
    for (const char *name : {"memoSQL", "panelTop", "panelBottom", "panelButtons", "barStatus"})
        QVERIFY2(w->formExpertFilter->findChild<QWidget *>(name), name);
}

void TestFilterWindows::menusAndFrame()
{
    TformEasyFilter &easy = *w->formEasyFilter;
    TformExpertFilter &expert = *w->formExpertFilter;
    QCOMPARE(menusOf(&easy), QStringList({"File(&F): Execute(&E)|Close(&C)", "Edit(&E): Clear(&C)",
                                          "Option(&O): AND(&A)|OR(&O)|NOT for all items(&N)",
                                          "Help((&H): in English(&E)|in Japanese(&J)"}));
    QCOMPARE(menusOf(&expert), QStringList({"File(&F): Reset(&S)|Execute(&E)|Close(&X)",
                                            "Help(&H): in English(&E)|in Japanese(&J)"}));
    QCOMPARE(easy.objectName(), QStringLiteral("formEasyFilter"));
    QCOMPARE(expert.objectName(), QStringLiteral("formExpertFilter"));
    QCOMPARE(easy.windowTitle(), QStringLiteral("Easy Filter"));
    QCOMPARE(expert.windowTitle(), QStringLiteral("Expert Filter"));
    for (const QDialog *dialog : {static_cast<QDialog *>(&easy), static_cast<QDialog *>(&expert)}) {
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinMaxButtonsHint));
    }
    QVERIFY(easy.bitbtnExecute->isDefault());
    QVERIFY(easy.radioBoolAND->isChecked());
    QCOMPARE(easy.radioBoolAND->text(), QStringLiteral("Matches on all words(AND)"));
    QCOMPARE(easy.radioBoolOR->text(), QStringLiteral("Matches on any word(OR)"));
    QVERIFY(easy.menuOptionBoolAND->isChecked() && !easy.menuOptionBoolOR->isChecked());
    QVERIFY(expert.bitbtnClose->isDefault());
    QVERIFY(expert.labelSQL->font().bold() && QFontInfo(expert.labelSQL->font()).fixedPitch());
    // Left to right.
    QVERIFY(easy.bitbtnClear->x() < easy.bitbtnExecute->x() &&
            easy.bitbtnExecute->x() < easy.bitbtnClose->x());
    QVERIFY(expert.bitbtnReset->x() < expert.bitbtnExecute->x() &&
            expert.bitbtnExecute->x() < expert.bitbtnClose->x());
}

void TestFilterWindows::buttonPanelCentred_data()
{
    QTest::addColumn<QString>("which");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("left");
    // Each half is rounded on its own: (640 - 301) / 2 would give 169.
    QTest::newRow("easy, odd buttons") << "easy" << 640 << 301 << 170;
    QTest::newRow("easy, buttons wider than the panel") << "easy" << 640 << 700 << 0;
    QTest::newRow("expert, odd window") << "expert" << 601 << 300 << 150;
    QTest::newRow("expert, odd buttons") << "expert" << 600 << 301 << 150;
}

void TestFilterWindows::buttonPanelCentred()
{
    QFETCH(QString, which);
    QFETCH(int, width);
    QFETCH(int, buttons);
    QFETCH(int, left);
    QDialog *dialog = windowNamed(*w, which);
    auto *panelBottom = dialog->findChild<QWidget *>("panelBottom");
    auto *panelButtons = dialog->findChild<QWidget *>("panelButtons");
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    dialog->resize(width, dialog->height());
    QTRY_COMPARE(panelBottom->width(), width);
    // Resizing the window re-centres the buttons as they are.
    QCOMPARE(panelButtons->x(), width / 2 - panelButtons->width() / 2);
    panelButtons->resize(buttons, panelButtons->height());
    dialog->resize(width + 40, dialog->height());
    QTRY_COMPARE(panelBottom->width(), width + 40);
    dialog->resize(width, dialog->height());
    QTRY_COMPARE(panelButtons->x(), left);
}

void TestFilterWindows::shownModallyFromTheMainWindow_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("easy") << "easy";
    QTest::newRow("expert") << "expert";
}

void TestFilterWindows::shownModallyFromTheMainWindow()
{
    QFETCH(QString, which);
    QDialog *dialog = windowNamed(*w, which);
    bool seen = false;
    // exec() runs its own loop: look at the window from inside it, then query and close.
    QTimer::singleShot(0, dialog, [&] {
        seen = dialog->isVisible() && dialog->isModal();
        const QRect available = dialog->screen()->availableGeometry();
        QVERIFY(qAbs(dialog->frameGeometry().center().x() - available.center().x()) <= 1);
        QVERIFY(qAbs(dialog->frameGeometry().center().y() - available.center().y()) <= 1);
        if (which == "easy") {
            QCOMPARE(w->formEasyFilter->checklistboxKeyWords->count(), 2);
            w->formEasyFilter->editPrefix->setText("DSC");
            w->formEasyFilter->bitbtnExecute->click();
            w->formEasyFilter->bitbtnClose->click();
        } else {
            QCOMPARE(w->formExpertFilter->editorLines(), QStringList{"select * from PHOTODB.DB ;"});
            w->formExpertFilter->memoSQL->setPlainText(
                "select * from PHOTODB.DB where NAME = \"0002\";");
            w->formExpertFilter->bitbtnExecute->click();
            w->formExpertFilter->menuFileClose->trigger();
        }
    });
    (which == "easy" ? w->formMain->menuDisplayEasyFilter : w->formMain->menuDisplayExpertFilter)
        ->trigger();
    QVERIFY(seen);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(w->gridNames(), QStringList{"0002"});
    QCOMPARE(w->counter(), QStringLiteral("1"));
    QCOMPARE(w->prompter.calls.size(), 0);
}

QTEST_MAIN(TestFilterWindows)
#include "tst_filter_windows.moc"
