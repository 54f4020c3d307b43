#include "app/qt_prompter.h"
#include "base/settings_store.h"
#include "main/tformmain.h"
#include "slide/tformsplash.h"
#include "support/scripted_prompter.h"
#include "widgets/tformprocessing.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace pictavo;

// The splash covers start-up and goes by itself; the busy window exists and stays hidden.
class TestSplash : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void goneOnceTheProgramWaits();
    void goneAtTheFirstMessageBox();
    void busyWindowStaysHidden();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSplash::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SettingsStore::instance().setFilePath(m_dir->filePath(QStringLiteral("settings.json")));
}

void TestSplash::goneOnceTheProgramWaits()
{
    QPointer<TformSplash> splash = TformSplash::showAtStartup();
    QVERIFY(splash && splash->isVisible());
    QCOMPARE(splash->size(), QSize(392, 152));
    QVERIFY(splash->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(splash->cursor().shape(), Qt::BusyCursor);
    QCOMPARE(splash->geometry().center(), QGuiApplication::primaryScreen()->geometry().center());
    QCOMPARE(splash->imageIcon->pixmap().size(), QSize(32, 32));
    QVERIFY(splash->labelProgCopyright->font().bold());
    QVERIFY(splash->labelProgCopyright->text().startsWith("Copyright "));
    QVERIFY(!splash->parent());

    // Start-up runs with the splash on top; it is still there when start-up has finished.
    ScriptedPrompter prompter;
    TformMain formMain(prompter);
    formMain.show();
    QVERIFY(splash && splash->isVisible());

    // The program now waits for input: the splash goes with no action of the user.
    QTRY_VERIFY(splash.isNull());
    QVERIFY(formMain.isVisible());
    QVERIFY(prompter.calls.isEmpty());
}

void TestSplash::goneAtTheFirstMessageBox()
{
    QPointer<TformSplash> splash = TformSplash::showAtStartup();
    QVERIFY(splash && splash->isVisible());
    bool splashShownWithBox = true;
    bool boxSeen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || boxSeen)
            return;
        boxSeen = true;
        splashShownWithBox = splash && splash->isVisible();
        box->accept();
    });
    poll.start(10);
    QtPrompter prompter;
    prompter.warning(QStringLiteral("Could not open Photo Table."));
    QVERIFY(boxSeen);
    QVERIFY(!splashShownWithBox);
    QTRY_VERIFY(splash.isNull());
}

void TestSplash::busyWindowStaysHidden()
{
    ScriptedPrompter prompter;
    TformMain formMain(prompter);
    formMain.show();
    TformProcessing formProcessing(&formMain);
    QCOMPARE(formProcessing.objectName(), "formProcessing");
    QCOMPARE(formProcessing.windowTitle(), "Processing");
    QCOMPARE(formProcessing.progressbarProcessing->minimum(), 0);
    QCOMPARE(formProcessing.progressbarProcessing->maximum(), 100);
    QVERIFY(formProcessing.isWindow());
    QTest::qWait(20);
    QVERIFY(!formProcessing.isVisible());
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
