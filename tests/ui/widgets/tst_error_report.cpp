#include "base/error.h"
#include "support/scripted_prompter.h"
#include "widgets/error_report.h"

#include <QGuiApplication>
#include <QTest>
#include <functional>
#include <stdexcept>

using namespace pictavo;

using Command = std::function<void()>;
Q_DECLARE_METATYPE(Command)

namespace {

// A prompter whose error box itself fails.
class ThrowingPrompter : public ScriptedPrompter
{
public:
    Button message(Kind, const QString &, Buttons) override { throw std::runtime_error("boom"); }
};

} // namespace

class TestErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void reportsExceptionText_data();
    void reportsExceptionText();
    void restoresEveryOverrideCursor();
    void commandWithoutExceptionShowsNothing();
    void failingReportDoesNotEscape();
};

void TestErrorReport::reportsExceptionText_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<QString>("text");

    QTest::newRow("pictavo error")
        << Command([] { throw Error("Could not open \"photodb.db\".\rThe file is damaged."); })
        << "Could not open \"photodb.db\".\rThe file is damaged.";
    QTest::newRow("pictavo error, not ascii")
        << Command([] { throw Error(QStringLiteral("写真 \U0001F431")); })
        << QStringLiteral("写真 \U0001F431");
    QTest::newRow("std exception as utf-8")
        << Command([] { throw std::runtime_error("caf\xc3\xa9 failed"); })
        << QStringLiteral("caf\u00e9 failed");
    QTest::newRow("logic error") << Command([] { throw std::out_of_range("index 5"); })
                                 << "index 5";
    QTest::newRow("out of memory") << Command([] { throw std::bad_alloc(); }) << "Out of memory.";
    QTest::newRow("int") << Command([] { throw 42; }) << "Unknown error.";
    QTest::newRow("empty text") << Command([] { throw Error(QString()); }) << "";
}

void TestErrorReport::reportsExceptionText()
{
    QFETCH(Command, command);
    QFETCH(QString, text);

    ScriptedPrompter prompter;
    QVERIFY(!runGuarded(prompter, command));

    QCOMPARE(prompter.calls.size(), 1);
    QCOMPARE(prompter.last().type, ScriptedPrompter::CallType::Message);
    QCOMPARE(prompter.last().kind, Prompter::Kind::Error);
    QCOMPARE(prompter.last().buttons, Prompter::Buttons(Prompter::Ok));
    QCOMPARE(prompter.last().text, text);
}

void TestErrorReport::restoresEveryOverrideCursor()
{
    ScriptedPrompter prompter;
    Qt::CursorShape shapeWhileReported = Qt::BlankCursor;
    struct Probe : ScriptedPrompter
    {
        Qt::CursorShape *seen;
        Button message(Kind kind, const QString &text, Buttons buttons) override
        {
            *seen = QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                                      : Qt::ArrowCursor;
            return ScriptedPrompter::message(kind, text, buttons);
        }
    } probe;
    probe.seen = &shapeWhileReported;

    const bool ok = runGuarded(probe, [] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        throw Error("failed while busy");
    });

    QVERIFY(!ok);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    // The cursor is back before the box shows.
    QCOMPARE(shapeWhileReported, Qt::ArrowCursor);
    QCOMPARE(probe.texts(), QStringList{"failed while busy"});
}

void TestErrorReport::commandWithoutExceptionShowsNothing()
{
    ScriptedPrompter prompter;
    int runs = 0;
    QVERIFY(runGuarded(prompter, [&runs] {
        ++runs;
        // A handler that ends normally restores its own cursor; the guard leaves it alone.
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }));
    QCOMPARE(runs, 1);
    QVERIFY(prompter.calls.isEmpty());
    QVERIFY(QGuiApplication::overrideCursor());
    QGuiApplication::restoreOverrideCursor();
}

void TestErrorReport::failingReportDoesNotEscape()
{
    ThrowingPrompter prompter;
    QTest::ignoreMessage(QtWarningMsg, "Could not show the error: first");
    QVERIFY(!runGuarded(prompter, [] { throw Error("first"); }));
}

QTEST_MAIN(TestErrorReport)
#include "tst_error_report.moc"
