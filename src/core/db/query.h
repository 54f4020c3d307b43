#pragma once

#include "db/dataset.h"

#include <QStringList>
#include <QVariantMap>

namespace pictavo {

// A data set over a local-SQL statement given as lines of text. A single-table SELECT
// without DISTINCT, grouping or aggregates is live; anything else opens read-only.
class Query : public DataSet
{
public:
    // Replacing the text closes the query, as its records no longer match it.
    void setSql(const QStringList &lines);
    const QStringList &sql() const { return m_sql; }
    // Opens the query on `lines` in place of its statement. When that opening is stopped
    // (QueryStopped, which is then thrown), the previous statement is put back and, if it
    // was open, opened again on the record it was on: a stop shows the records shown
    // before. Any other failure leaves the query closed on the new lines, as open() does.
    void openInstead(const QStringList &lines);

    // ":SIZE" and "SIZE" name the same parameter; letter case is ignored.
    void setParam(const QString &name, const QVariant &value);

protected:
    QString statementText() const override { return m_sql.join(QLatin1Char('\n')); }
    void bindParameters(SqliteStatement &statement) const override;

private:
    QStringList m_sql;
    QVariantMap m_params; // upper-case name without ':'
};

} // namespace pictavo
