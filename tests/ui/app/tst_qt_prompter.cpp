#include "app/directory_dialog.h"
#include "app/qt_prompter.h"
#include "support/scripted_prompter.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

using namespace pictavo;

Q_DECLARE_METATYPE(pictavo::Prompter::Kind)
Q_DECLARE_METATYPE(pictavo::Prompter::Buttons)
Q_DECLARE_METATYPE(pictavo::Prompter::Button)

namespace {

// Acts on the modal dialogs a call under test opens, one step per dialog, in order. A modal
// dialog with no step left is recorded and rejected, so a surprise never hangs the test.
class ModalScript : public QObject
{
public:
    using Step = std::function<void(QWidget *)>;

    ModalScript()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalScript::poll);
        m_timer.start(5);
    }
    void then(Step step) { m_steps.push_back(std::move(step)); }
    bool finished() const { return m_steps.empty(); }

    QStringList unexpected;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last)
            return;
        m_last = modal;
        Step step;
        if (m_steps.empty()) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            unexpected << modal->windowTitle() + ": " + (box ? box->text() : QString());
            step = [](QWidget *widget) {
                if (auto *dialog = qobject_cast<QDialog *>(widget))
                    dialog->reject();
            };
        } else {
            step = m_steps.front();
            m_steps.pop_front();
        }
        // Queued: a step may open a nested modal dialog, and a timer does not fire again
        // while its own slot is still running.
        QMetaObject::invokeMethod(
            this,
            [step, target = QPointer<QWidget>(modal)] {
                if (target)
                    step(target);
            },
            Qt::QueuedConnection);
    }

    QTimer m_timer;
    QPointer<QWidget> m_last;
    std::deque<Step> m_steps;
};

QLineEdit *fileNameEdit(QWidget *dialog)
{
    auto *edit = dialog->findChild<QLineEdit *>("fileNameEdit");
    if (!edit)
        qFatal("the file dialog has no fileNameEdit");
    return edit;
}

void typeAndAccept(QWidget *dialog, const QString &text)
{
    fileNameEdit(dialog)->setText(text);
    qobject_cast<QDialog *>(dialog)->accept();
}

} // namespace

class TestQtPrompter : public QObject
{
    Q_OBJECT

private slots:
    void filterConversion_data();
    void filterConversion();
    void boxKindTitleAndIcon_data();
    void boxKindTitleAndIcon();
    void boxLineBreaks_data();
    void boxLineBreaks();
    void boxButtons_data();
    void boxButtons();
    void buttonFromResult_data();
    void buttonFromResult();
    void messageAnswersClickedButton();
    void messageClosedWithEscape();
    void messageShowsNormalPointerOverBusyOne();

    void confirmExistingDirectory();
    void confirmMissingDirectory_data();
    void confirmMissingDirectory();
    void confirmReportsFailedCreation();

    void stockDialogRefusesTypedMissingDirectory();
    void directoryDialogAcceptsTypedPath_data();
    void directoryDialogAcceptsTypedPath();
    void directoryDialogWithoutCreateRefusesMissing();
    void chooseDirectoryCreatesTypedDirectory();
    void chooseDirectoryCancelled();
    void openFileUsesConvertedFilter();
    void saveFileAsksNoOverwriteQuestion();
    void inputText();
};

void TestQtPrompter::filterConversion_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qtFilter");

    QTest::newRow("database") << "photodb.db|photodb.db"
                              << "photodb.db (photodb.db)";
    QTest::newRow("jpeg") << "*.jpg,*.jpeg|*.jpg;*.jpeg"
                          << "*.jpg,*.jpeg (*.jpg *.jpeg)";
    QTest::newRow("two filters") << "JPEG|*.jpg;*.jpeg|All|*.*"
                                 << "JPEG (*.jpg *.jpeg);;All (*.*)";
    QTest::newRow("blanks around patterns") << "CSV| *.csv ; *.txt ;"
                                            << "CSV (*.csv *.txt)";
    QTest::newRow("description without patterns") << "JPEG|*.jpg|All"
                                                  << "JPEG (*.jpg)";
    QTest::newRow("empty patterns") << "None|"
                                    << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestQtPrompter::filterConversion()
{
    QFETCH(QString, filter);
    QFETCH(QString, qtFilter);
    QCOMPARE(toQtFilter(filter), qtFilter);
}

void TestQtPrompter::boxKindTitleAndIcon_data()
{
    QTest::addColumn<Prompter::Kind>("kind");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");

    QTest::newRow("warning") << Prompter::Kind::Warning << "Warning" << int(QMessageBox::Warning);
    QTest::newRow("information") << Prompter::Kind::Information << "Information"
                                 << int(QMessageBox::Information);
    QTest::newRow("confirmation") << Prompter::Kind::Confirmation << "Confirm"
                                  << int(QMessageBox::Question);
    QTest::newRow("error") << Prompter::Kind::Error << "Pictavo" << int(QMessageBox::Critical);
}

void TestQtPrompter::boxKindTitleAndIcon()
{
    QFETCH(Prompter::Kind, kind);
    QFETCH(QString, title);
    QFETCH(int, icon);

    const auto box = createMessageBox(kind, "text", Prompter::Ok, nullptr);
    QCOMPARE(box->windowTitle(), title);
    QCOMPARE(int(box->icon()), icon);
    QCOMPARE(messageTitle(kind), title);
}

void TestQtPrompter::boxLineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");

    QTest::newRow("one") << "It is just deleted.\rIt will be re-create when program starts."
                         << "It is just deleted.\nIt will be re-create when program starts.";
    QTest::newRow("two in a row") << "a\r\rb"
                                  << "a\n\nb";
    QTest::newRow("crlf is one break") << "a\r\nb"
                                       << "a\nb";
    QTest::newRow("newline kept") << "a\nb"
                                  << "a\nb";
    QTest::newRow("markup shown as typed") << "<b>x</b>\r"
                                           << "<b>x</b>\n";
}

void TestQtPrompter::boxLineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);

    const auto box = createMessageBox(Prompter::Kind::Information, text, Prompter::Ok, nullptr);
    QCOMPARE(box->text(), shown);
    QCOMPARE(box->textFormat(), Qt::PlainText);
}

void TestQtPrompter::boxButtons_data()
{
    QTest::addColumn<Prompter::Buttons>("buttons");
    QTest::addColumn<int>("standard");
    QTest::addColumn<int>("defaultButton");
    QTest::addColumn<int>("escapeButton");

    QTest::newRow("ok") << Prompter::Buttons(Prompter::Ok) << int(QMessageBox::Ok)
                        << int(QMessageBox::Ok) << int(QMessageBox::Ok);
    QTest::newRow("none means ok") << Prompter::Buttons() << int(QMessageBox::Ok)
                                   << int(QMessageBox::Ok) << int(QMessageBox::Ok);
    QTest::newRow("ok cancel") << (Prompter::Ok | Prompter::Cancel)
                               << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Ok)
                               << int(QMessageBox::Cancel);
    QTest::newRow("yes no") << (Prompter::Yes | Prompter::No)
                            << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Yes)
                            << int(QMessageBox::No);
    QTest::newRow("yes no cancel") << (Prompter::Yes | Prompter::No | Prompter::Cancel)
                                   << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
                                   << int(QMessageBox::Yes) << int(QMessageBox::Cancel);
    QTest::newRow("yes no abort") << (Prompter::Yes | Prompter::No | Prompter::Abort)
                                  << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Abort)
                                  << int(QMessageBox::Yes) << int(QMessageBox::No);
}

void TestQtPrompter::boxButtons()
{
    QFETCH(Prompter::Buttons, buttons);
    QFETCH(int, standard);
    QFETCH(int, defaultButton);
    QFETCH(int, escapeButton);

    const auto box = createMessageBox(Prompter::Kind::Confirmation, "?", buttons, nullptr);
    QCOMPARE(int(box->standardButtons()), standard);
    QCOMPARE(box->defaultButton(), box->button(QMessageBox::StandardButton(defaultButton)));
    QCOMPARE(box->escapeButton(), box->button(QMessageBox::StandardButton(escapeButton)));
}

void TestQtPrompter::buttonFromResult_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<Prompter::Buttons>("buttons");
    QTest::addColumn<Prompter::Button>("answer");

    const Prompter::Buttons yesNoCancel = Prompter::Yes | Prompter::No | Prompter::Cancel;
    QTest::newRow("yes") << int(QMessageBox::Yes) << yesNoCancel << Prompter::Yes;
    QTest::newRow("no") << int(QMessageBox::No) << yesNoCancel << Prompter::No;
    QTest::newRow("abort") << int(QMessageBox::Abort)
                           << (Prompter::Abort | Prompter::Ok | Prompter::Cancel)
                           << Prompter::Abort;
    QTest::newRow("closed, cancel offered") << 0 << yesNoCancel << Prompter::Cancel;
    QTest::newRow("closed, no offered") << 0 << (Prompter::Yes | Prompter::No) << Prompter::No;
    QTest::newRow("closed, ok only") << 0 << Prompter::Buttons(Prompter::Ok) << Prompter::Ok;
    QTest::newRow("button not offered")
        << int(QMessageBox::Yes) << (Prompter::Ok | Prompter::Cancel) << Prompter::Cancel;
}

void TestQtPrompter::buttonFromResult()
{
    QFETCH(int, result);
    QFETCH(Prompter::Buttons, buttons);
    QFETCH(Prompter::Button, answer);
    QCOMPARE(pictavo::buttonFromResult(result, buttons), answer);
}

void TestQtPrompter::messageAnswersClickedButton()
{
    ModalScript script;
    QString seenTitle;
    QString seenText;
    script.then([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        seenTitle = box->windowTitle();
        seenText = box->text();
        box->button(QMessageBox::No)->click();
    });

    QtPrompter prompter;
    const Prompter::Button answer = prompter.message(
        Prompter::Kind::Confirmation, "Delete?\rReally?", Prompter::Yes | Prompter::No);

    QCOMPARE(answer, Prompter::No);
    QCOMPARE(seenTitle, QString("Confirm"));
    QCOMPARE(seenText, QString("Delete?\nReally?"));
    QVERIFY(script.finished());
}

void TestQtPrompter::messageClosedWithEscape()
{
    ModalScript script;
    script.then([](QWidget *modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QtPrompter prompter;
    QCOMPARE(prompter.message(Prompter::Kind::Warning, "w",
                              Prompter::Yes | Prompter::No | Prompter::Abort),
             Prompter::No);
    QVERIFY(script.unexpected.isEmpty());
}

void TestQtPrompter::messageShowsNormalPointerOverBusyOne()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ModalScript script;
    Qt::CursorShape during = Qt::BlankCursor;
    script.then([&during](QWidget *modal) {
        during = QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                                : Qt::BlankCursor;
        QTest::keyClick(modal, Qt::Key_Return);
    });
    QtPrompter prompter;
    prompter.message(Prompter::Kind::Confirmation, "q", Prompter::Yes | Prompter::No);
    QCOMPARE(during, Qt::ArrowCursor);
    // The busy pointer is back for the rest of the command.
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(script.unexpected.isEmpty());
}

void TestQtPrompter::confirmExistingDirectory()
{
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    QCOMPARE(confirmDirectory(prompter, dir.path() + "/", true), dir.path());
    QCOMPARE(confirmDirectory(prompter, dir.path(), false), dir.path());
    QCOMPARE(confirmDirectory(prompter, "", true), std::nullopt);

    QFile file(dir.filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(confirmDirectory(prompter, file.fileName(), true), std::nullopt);
    QVERIFY(prompter.calls.isEmpty());
}

void TestQtPrompter::confirmMissingDirectory_data()
{
    QTest::addColumn<bool>("offerCreate");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("created");

    QTest::newRow("not offered") << false << false << false;
    QTest::newRow("yes") << true << true << true;
    QTest::newRow("no") << true << false << false;
}

void TestQtPrompter::confirmMissingDirectory()
{
    QFETCH(bool, offerCreate);
    QFETCH(bool, answerYes);
    QFETCH(bool, created);

    QTemporaryDir dir;
    const QString missing = dir.filePath("new/nested");
    ScriptedPrompter prompter;
    if (offerCreate)
        prompter.answer(answerYes ? Prompter::Yes : Prompter::No);

    const std::optional<QString> result = confirmDirectory(prompter, missing, offerCreate);

    QCOMPARE(result, created ? std::optional<QString>(missing) : std::nullopt);
    QCOMPARE(QFileInfo(missing).isDir(), created);
    if (offerCreate) {
        QCOMPARE(prompter.calls.size(), 1);
        QCOMPARE(prompter.last().kind, Prompter::Kind::Confirmation);
        QCOMPARE(prompter.last().buttons, Prompter::Yes | Prompter::No);
        QCOMPARE(prompter.last().text,
                 "The directory \"" + missing + "\" does not exist.\rDo you want to create it?");
    } else {
        QVERIFY(prompter.calls.isEmpty());
    }
}

void TestQtPrompter::confirmReportsFailedCreation()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString impossible = dir.filePath("blocker/sub");
    ScriptedPrompter prompter;
    prompter.answer(Prompter::Yes);

    QCOMPARE(confirmDirectory(prompter, impossible, true), std::nullopt);

    QCOMPARE(prompter.calls.size(), 2);
    QCOMPARE(prompter.last().kind, Prompter::Kind::Warning);
    QCOMPARE(prompter.last().text, "The directory \"" + impossible + "\" could not be created.");
}

// What Qt's own dialog does, and why DirectoryDialog exists: in Directory mode it answers a
// typed directory that does not exist with its own "Directory not found" box and stays open.
void TestQtPrompter::stockDialogRefusesTypedMissingDirectory()
{
    QTemporaryDir dir;
    QFileDialog dialog(nullptr, "Stock", dir.path());
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    dialog.setFileMode(QFileDialog::Directory);
    ModalScript script;
    QString warning;
    script.then([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        warning = box->text();
        box->button(QMessageBox::Ok)->click();
    });

    typeAndAccept(&dialog, "missing");

    QVERIFY2(warning.contains("Directory not found"), qPrintable(warning));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestQtPrompter::directoryDialogAcceptsTypedPath_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen"); // relative to the temporary directory

    QTest::newRow("relative missing") << "new/sub"
                                      << "new/sub";
    QTest::newRow("absolute missing") << "@/abs/x"
                                      << "abs/x";
    QTest::newRow("existing") << "exists"
                              << "exists";
}

void TestQtPrompter::directoryDialogAcceptsTypedPath()
{
    QFETCH(QString, typed);
    QFETCH(QString, chosen);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("exists"));
    DirectoryDialog dialog(nullptr, "Choose", dir.path(), true);
    QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(dialog.fileMode(), QFileDialog::Directory);
    ModalScript script;

    typeAndAccept(&dialog, typed.replace("@", dir.path()));

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.chosenDirectory(), dir.filePath(chosen));
    QVERIFY(script.unexpected.isEmpty());
}

void TestQtPrompter::directoryDialogWithoutCreateRefusesMissing()
{
    QTemporaryDir dir;
    DirectoryDialog dialog(nullptr, "Choose", dir.path(), false);
    ModalScript script;

    typeAndAccept(&dialog, "missing");
    QTRY_COMPARE(script.unexpected.size(), 1);
    QVERIFY2(script.unexpected.first().contains("Directory not found"),
             qPrintable(script.unexpected.first()));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestQtPrompter::chooseDirectoryCreatesTypedDirectory()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("photos/2024");
    ModalScript script;
    QString dialogTitle;
    QString question;
    script.then([&](QWidget *modal) {
        dialogTitle = modal->windowTitle();
        typeAndAccept(modal, "photos/2024");
    });
    script.then([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        question = box->windowTitle() + "|" + box->text();
        box->button(QMessageBox::Yes)->click();
    });

    QtPrompter prompter;
    const std::optional<QString> result =
        prompter.chooseDirectory("Select Folder", dir.path(), true);

    QCOMPARE(result, std::optional<QString>(target));
    QVERIFY(QFileInfo(target).isDir());
    QCOMPARE(dialogTitle, QString("Select Folder"));
    QCOMPARE(question,
             "Confirm|The directory \"" + target + "\" does not exist.\nDo you want to create it?");
    QVERIFY(script.unexpected.isEmpty());
}

void TestQtPrompter::chooseDirectoryCancelled()
{
    QTemporaryDir dir;
    ModalScript script;
    script.then([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });
    QtPrompter prompter;
    QCOMPARE(prompter.chooseDirectory("Select Folder", dir.path(), true), std::nullopt);
    QVERIFY(script.finished());
}

void TestQtPrompter::openFileUsesConvertedFilter()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("photodb.db"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ModalScript script;
    QStringList filters;
    QString title;
    script.then([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        filters = dialog->nameFilters();
        title = dialog->windowTitle();
        typeAndAccept(dialog, "photodb.db");
    });

    QtPrompter prompter;
    const std::optional<QString> result =
        prompter.openFile("Open", dir.filePath("photodb.db"), "photodb.db|photodb.db");

    QCOMPARE(result, std::optional<QString>(file.fileName()));
    QCOMPARE(filters, QStringList{"photodb.db (photodb.db)"});
    QCOMPARE(title, QString("Open"));
}

void TestQtPrompter::saveFileAsksNoOverwriteQuestion()
{
    QTemporaryDir dir;
    QFile existing(dir.filePath("export.jpg"));
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    ModalScript script;
    script.then([&](QWidget *modal) { typeAndAccept(modal, existing.fileName()); });

    QtPrompter prompter;
    const std::optional<QString> result =
        prompter.saveFile("Save", dir.filePath("export.jpg"), "*.jpg,*.jpeg|*.jpg;*.jpeg");

    QCOMPARE(result, std::optional<QString>(existing.fileName()));
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
}

void TestQtPrompter::inputText()
{
    ModalScript script;
    script.then([](QWidget *modal) {
        auto *edit = modal->findChild<QLineEdit *>();
        QVERIFY(edit);
        QCOMPARE(edit->text(), QString("old"));
        edit->setText("new");
        qobject_cast<QDialog *>(modal)->accept();
    });
    script.then([](QWidget *modal) { qobject_cast<QDialog *>(modal)->reject(); });

    QtPrompter prompter;
    QCOMPARE(prompter.inputText("Title", "Name:", "old"), std::optional<QString>("new"));
    QCOMPARE(prompter.inputText("Title", "Name:", "old"), std::nullopt);
}

QTEST_MAIN(TestQtPrompter)
#include "tst_qt_prompter.moc"
