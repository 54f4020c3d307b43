#include "support/scripted_prompter.h"

#include <QtGlobal>

namespace pictavo {

QString buttonsText(Prompter::Buttons buttons)
{
    QStringList names;
    const std::pair<Prompter::Button, const char *> all[] = {{Prompter::Ok, "Ok"},
                                                             {Prompter::Cancel, "Cancel"},
                                                             {Prompter::Yes, "Yes"},
                                                             {Prompter::No, "No"},
                                                             {Prompter::Abort, "Abort"}};
    for (const auto &[button, name] : all) {
        if (buttons.testFlag(button))
            names << QLatin1String(name);
    }
    return names.join(QLatin1Char('|'));
}

void ScriptedPrompter::answer(Button button)
{
    m_answers.emplace_back(button);
}

void ScriptedPrompter::answerPath(const QString &path)
{
    m_answers.emplace_back(path);
}

void ScriptedPrompter::answerCancel()
{
    m_answers.emplace_back(Cancelled{});
}

QStringList ScriptedPrompter::texts() const
{
    QStringList result;
    for (const Call &call : calls) {
        if (call.type == CallType::Message)
            result << call.text;
    }
    return result;
}

QList<ScriptedPrompter::Call> ScriptedPrompter::callsOf(CallType type) const
{
    QList<Call> result;
    for (const Call &call : calls) {
        if (call.type == type)
            result << call;
    }
    return result;
}

const ScriptedPrompter::Call &ScriptedPrompter::last() const
{
    if (calls.isEmpty())
        qFatal("ScriptedPrompter: no call was made");
    return calls.last();
}

ScriptedPrompter::Answer ScriptedPrompter::takeAnswer(const QString &what)
{
    if (m_answers.empty())
        qFatal("ScriptedPrompter: no answer queued for %s", qUtf8Printable(what));
    Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

Prompter::Button ScriptedPrompter::message(Kind kind, const QString &text, Buttons buttons)
{
    if (onMessage)
        onMessage(text);
    Call call;
    call.type = CallType::Message;
    call.kind = kind;
    call.text = text;
    call.buttons = buttons;
    if (buttons != Ok && buttons != Buttons()) {
        const QString what =
            QStringLiteral("the question \"%1\" (%2)").arg(text, buttonsText(buttons));
        const Answer answer = takeAnswer(what);
        if (std::holds_alternative<QString>(answer))
            qFatal("ScriptedPrompter: a path was queued for %s", qUtf8Printable(what));
        call.button = std::holds_alternative<Cancelled>(answer) ? Cancel : std::get<Button>(answer);
        if (!buttons.testFlag(call.button))
            qFatal("ScriptedPrompter: %s was queued for %s",
                   qUtf8Printable(buttonsText(call.button)), qUtf8Printable(what));
    }
    calls << call;
    return call.button;
}

std::optional<QString> ScriptedPrompter::dialog(Call call)
{
    static const char *const names[] = {"message", "directory chooser", "open dialog",
                                        "save dialog", "text entry"};
    const QString what =
        QStringLiteral("the %1 \"%2\"").arg(QLatin1String(names[int(call.type)]), call.title);
    const Answer answer = takeAnswer(what);
    if (std::holds_alternative<Button>(answer))
        qFatal("ScriptedPrompter: a button was queued for %s", qUtf8Printable(what));
    if (const QString *path = std::get_if<QString>(&answer))
        call.path = *path;
    calls << call;
    return call.path;
}

std::optional<QString> ScriptedPrompter::chooseDirectory(const QString &title, const QString &start,
                                                         bool offerCreate)
{
    Call call;
    call.type = CallType::ChooseDirectory;
    call.title = title;
    call.fileName = start;
    call.offerCreate = offerCreate;
    return dialog(call);
}

std::optional<QString>
ScriptedPrompter::chooseDirectoryWithOption(const QString &title, const QString &start,
                                            bool offerCreate, const QString &option, bool &ticked)
{
    Call call;
    call.type = CallType::ChooseDirectory;
    call.title = title;
    call.fileName = start;
    call.offerCreate = offerCreate;
    call.option = option;
    call.ticked = ticked = tickOption.value_or(ticked);
    tickOption.reset();
    return dialog(call);
}

std::optional<QString> ScriptedPrompter::openFile(const QString &title, const QString &fileName,
                                                  const QString &filter)
{
    Call call;
    call.type = CallType::OpenFile;
    call.title = title;
    call.fileName = fileName;
    call.filter = filter;
    return dialog(call);
}

std::optional<QString> ScriptedPrompter::saveFile(const QString &title, const QString &fileName,
                                                  const QString &filter)
{
    Call call;
    call.type = CallType::SaveFile;
    call.title = title;
    call.fileName = fileName;
    call.filter = filter;
    return dialog(call);
}

std::optional<QString> ScriptedPrompter::inputText(const QString &title, const QString &prompt,
                                                   const QString &initial)
{
    Call call;
    call.type = CallType::InputText;
    call.title = title;
    call.text = prompt;
    call.fileName = initial;
    return dialog(call);
}

} // namespace pictavo
