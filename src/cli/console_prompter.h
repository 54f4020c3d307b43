#pragma once

#include "base/prompter.h"

#include <QTextStream>
#include <functional>

namespace pictavo {

// The command-line tool's prompter: messages are printed, one per line, and each
// question is answered by the command's options, never by waiting for input.
class ConsolePrompter : public Prompter
{
public:
    using Answerer = std::function<Button(const QString &text, Buttons buttons)>;

    ConsolePrompter(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}
    // How questions are answered; without one every question is answered No (or Cancel).
    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

    Button message(Kind kind, const QString &text, Buttons buttons) override;
    // No dialog is shown: each one is cancelled.
    std::optional<QString> chooseDirectory(const QString &, const QString &, bool) override
    {
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> saveFile(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> inputText(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }

private:
    QTextStream &m_out;
    QTextStream &m_err;
    Answerer m_answerer;
};

} // namespace pictavo
