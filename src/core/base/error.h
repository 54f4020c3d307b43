#pragma once

#include <QString>
#include <stdexcept>

namespace pictavo {

// Errors inside core are exceptions that carry the text the user is shown; the
// general error report of the windows (or the command-line tool) prints that text.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

} // namespace pictavo
