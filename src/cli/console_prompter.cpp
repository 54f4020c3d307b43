#include "cli/console_prompter.h"

namespace pictavo {

Prompter::Button ConsolePrompter::message(Kind kind, const QString &text, Buttons buttons)
{
    // Warnings and errors go where a script looks for trouble.
    QTextStream &stream = (kind == Kind::Warning || kind == Kind::Error) ? m_err : m_out;
    stream << QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')) << Qt::endl;
    if (buttons == Buttons(Ok))
        return Ok;
    if (m_answerer)
        return m_answerer(text, buttons);
    return buttons.testFlag(No) ? No : Cancel;
}

} // namespace pictavo
