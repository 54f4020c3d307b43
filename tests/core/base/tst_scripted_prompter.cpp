#include "support/scripted_prompter.h"

#include <QTest>

using namespace pictavo;

// The test prompter answers exactly as queued; the rest of the suite relies on that.
class TestScriptedPrompter : public QObject
{
    Q_OBJECT

private slots:
    void okBoxesNeedNoAnswer();
    void answersInOrder();
    void recordsDialogs();
};

void TestScriptedPrompter::okBoxesNeedNoAnswer()
{
    ScriptedPrompter prompter;
    prompter.answer(Prompter::No);
    prompter.information("It is just deleted.\rIt will be re-create when program starts.");
    prompter.warning("Database is not active.");
    QCOMPARE(prompter.pendingAnswers(), 1);
    QCOMPARE(prompter.texts(),
             (QStringList{"It is just deleted.\rIt will be re-create when program starts.",
                          "Database is not active."}));
    QCOMPARE(prompter.calls[0].kind, Prompter::Kind::Information);
    QCOMPARE(prompter.calls[1].kind, Prompter::Kind::Warning);
    QCOMPARE(prompter.last().button, Prompter::Ok);
}

void TestScriptedPrompter::answersInOrder()
{
    ScriptedPrompter prompter;
    prompter.answer(Prompter::Yes);
    prompter.answerCancel();
    prompter.answer(Prompter::Abort);
    QCOMPARE(prompter.message(Prompter::Kind::Confirmation, "one", Prompter::Yes | Prompter::No),
             Prompter::Yes);
    QCOMPARE(prompter.message(Prompter::Kind::Confirmation, "two",
                              Prompter::Yes | Prompter::No | Prompter::Cancel),
             Prompter::Cancel);
    QCOMPARE(prompter.message(Prompter::Kind::Error, "three", Prompter::Abort | Prompter::Ok),
             Prompter::Abort);
    QCOMPARE(prompter.last().buttons, Prompter::Abort | Prompter::Ok);
    QCOMPARE(prompter.pendingAnswers(), 0);
}

void TestScriptedPrompter::recordsDialogs()
{
    ScriptedPrompter prompter;
    prompter.answerPath("/tmp/db");
    prompter.answerCancel();
    prompter.answerPath("/tmp/out.csv");
    prompter.answerText("typed");

    QCOMPARE(prompter.openFile("Open", "photodb.db", "photodb.db|photodb.db"),
             std::optional<QString>("/tmp/db"));
    QCOMPARE(prompter.chooseDirectory("Folder", "/home", true), std::nullopt);
    QCOMPARE(prompter.saveFile("Save", "out.csv", "CSV|*.csv"),
             std::optional<QString>("/tmp/out.csv"));
    QCOMPARE(prompter.inputText("Name", "Keyword:", "old"), std::optional<QString>("typed"));

    QCOMPARE(prompter.calls.size(), 4);
    const ScriptedPrompter::Call &open = prompter.calls[0];
    QCOMPARE(open.type, ScriptedPrompter::CallType::OpenFile);
    QCOMPARE(open.title, QString("Open"));
    QCOMPARE(open.fileName, QString("photodb.db"));
    QCOMPARE(open.filter, QString("photodb.db|photodb.db"));
    const ScriptedPrompter::Call &folder = prompter.calls[1];
    QCOMPARE(folder.type, ScriptedPrompter::CallType::ChooseDirectory);
    QCOMPARE(folder.fileName, QString("/home"));
    QVERIFY(folder.offerCreate);
    QCOMPARE(folder.path, std::nullopt);
    QCOMPARE(prompter.callsOf(ScriptedPrompter::CallType::SaveFile).size(), 1);
    QCOMPARE(prompter.last().text, QString("Keyword:"));
    QCOMPARE(prompter.last().fileName, QString("old"));
    QVERIFY(prompter.texts().isEmpty());
}

QTEST_GUILESS_MAIN(TestScriptedPrompter)
#include "tst_scripted_prompter.moc"
