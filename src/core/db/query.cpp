#include "db/query.h"

#include "db/engine_error.h"
#include "db/sqlite_statement.h"

#include <sqlite3.h>

namespace pictavo {

namespace {

QString parameterKey(QString name)
{
    if (name.startsWith(QLatin1Char(':')))
        name.remove(0, 1);
    return name.toUpper();
}

} // namespace

void Query::setSql(const QStringList &lines)
{
    close();
    m_sql = lines;
}

void Query::openInstead(const QStringList &lines)
{
    const QStringList previous = m_sql;
    const bool wasOpen = active();
    const int previousRow = recNo();
    setSql(lines);
    try {
        open();
    } catch (const QueryStopped &) {
        setSql(previous);
        if (wasOpen) {
            open();
            if (previousRow > 0)
                moveTo(previousRow);
        }
        throw;
    }
}

void Query::setParam(const QString &name, const QVariant &value)
{
    m_params.insert(parameterKey(name), value);
}

void Query::bindParameters(SqliteStatement &statement) const
{
    for (int i = 1; i <= statement.parameterCount(); ++i) {
        const char *raw = sqlite3_bind_parameter_name(statement.handle(), i);
        const QString name = QString::fromUtf8(raw ? raw : "");
        const QString key = parameterKey(name);
        if (!m_params.contains(key))
            throw EngineError(QStringLiteral("Parameter '%1' has no value.").arg(key));
        statement.bind(i, m_params.value(key));
    }
}

} // namespace pictavo
