#pragma once

#include "base/prompter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <variant>

namespace pictavo {

// A prompter for tests: records every call in order and answers from a queue the test fills.
// A box whose only button is Ok needs no queued answer. A question or dialog with nothing
// queued, or with a queued answer that does not fit it, is a bug in the test: qFatal with the
// unexpected text.
class ScriptedPrompter : public Prompter
{
public:
    enum class CallType
    {
        Message,
        ChooseDirectory,
        OpenFile,
        SaveFile,
        InputText
    };

    struct Call
    {
        CallType type = CallType::Message;
        // Message
        Kind kind = Kind::Information;
        Buttons buttons;
        // Message: its text; InputText: the prompt.
        QString text;
        // Dialogs
        QString title;
        // ChooseDirectory: the start; OpenFile/SaveFile: the preset file name;
        // InputText: the initial text.
        QString fileName;
        QString filter;
        bool offerCreate = false;
        // ChooseDirectory with a check box: its caption and the state it was left in.
        QString option;
        bool ticked = false;
        // What was answered: the button of a message, the path or text of a dialog
        // (empty when cancelled).
        Button button = Ok;
        std::optional<QString> path;
    };

    // Queues the button the next question answers.
    void answer(Button button);
    // Queues the path or text the next dialog answers.
    void answerPath(const QString &path);
    void answerText(const QString &text) { answerPath(text); }
    // Queues a cancel: a dialog answers nothing, a box Cancel (it must offer it).
    void answerCancel();
    // The state the next directory chooser's check box is left in (as it was, when unset).
    std::optional<bool> tickOption;

    // Answers queued and not used yet.
    qsizetype pendingAnswers() const { return qsizetype(m_answers.size()); }

    // Message texts, in order.
    QStringList texts() const;
    // Calls of one type.
    QList<Call> callsOf(CallType type) const;
    // The last call; qFatal when there is none.
    const Call &last() const;

    Button message(Kind kind, const QString &text, Buttons buttons) override;
    std::optional<QString> chooseDirectory(const QString &title, const QString &start,
                                           bool offerCreate) override;
    std::optional<QString> chooseDirectoryWithOption(const QString &title, const QString &start,
                                                     bool offerCreate, const QString &option,
                                                     bool &ticked) override;
    std::optional<QString> openFile(const QString &title, const QString &fileName,
                                    const QString &filter) override;
    std::optional<QString> saveFile(const QString &title, const QString &fileName,
                                    const QString &filter) override;
    std::optional<QString> inputText(const QString &title, const QString &prompt,
                                     const QString &initial) override;

    QList<Call> calls;
    // Runs first in every message call: lets a test look at the program's state at the
    // moment a box would be shown.
    std::function<void(const QString &text)> onMessage;

private:
    struct Cancelled
    {
    };
    using Answer = std::variant<Button, QString, Cancelled>;

    Answer takeAnswer(const QString &what);
    std::optional<QString> dialog(Call call);

    std::deque<Answer> m_answers;
};

// "Ok|Cancel", for messages about buttons.
QString buttonsText(Prompter::Buttons buttons);

} // namespace pictavo
