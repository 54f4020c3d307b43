#pragma once

#include "base/error.h"

namespace pictavo {

// An error of the table engine: SQLite's own message, or one of the field-rule texts
// ("Field 'NAME' must have a value.", "Key violation.").
class EngineError : public Error
{
public:
    explicit EngineError(const QString &text, int sqliteCode = 0) : Error(text), m_code(sqliteCode)
    {
    }
    // SQLite's extended result code when the error came from SQLite, else 0.
    int sqliteCode() const { return m_code; }

private:
    int m_code;
};

// A statement stopped on request while it ran (a Stop in the busy window, a signal to the
// command-line tool): not a fault of the statement, and nothing was read or changed.
class QueryStopped : public EngineError
{
public:
    static constexpr int kInterrupted = 9; // SQLITE_INTERRUPT
    QueryStopped() : EngineError(QStringLiteral("The query was stopped."), kInterrupted) {}
};

} // namespace pictavo

namespace pictavo {

// The Photo Table of a library that an earlier version made keeps each photo in its
// record's row. It is used only once upgraded: writing to it would cost as much as the
// photos, and an older program could no longer read what this one wrote.
class OutdatedLayout : public EngineError
{
public:
    explicit OutdatedLayout(const QString &directory)
        : EngineError(QStringLiteral("The library in \"%1\" is in the layout of an earlier "
                                     "version. Upgrade it with: pictavo-cli upgrade \"%1\"")
                          .arg(directory))
    {
    }
};

} // namespace pictavo
