#include "filter/easy_filter_statement.h"

namespace pictavo {

namespace {

// The patterns are double-quoted string constants of local SQL, where "" stands for ".
QString quotedPattern(const QString &pattern)
{
    QString text = pattern;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString startsWith(const QString &field, const QString &text)
{
    return field + QLatin1String(" LIKE ") + quotedPattern(text + QLatin1Char('%'));
}

QString keywordContains(const QString &text)
{
    return QLatin1String("KEYWORD LIKE ") +
           quotedPattern(QLatin1Char('%') + text + QLatin1Char('%'));
}

QString negated(const QString &term)
{
    return QLatin1String("NOT(") + term + QLatin1Char(')');
}

} // namespace

QStringList buildEasyFilterStatement(const EasyFilterEntries &entries)
{
    QStringList terms;
    if (!entries.prefix.isEmpty())
        terms << startsWith(QStringLiteral("PREFIX"), entries.prefix);
    if (!entries.name.isEmpty())
        terms << startsWith(QStringLiteral("NAME"), entries.name);
    for (int i = 0; i < 3; ++i) {
        if (entries.keyword[i].isEmpty())
            continue;
        const QString term = keywordContains(entries.keyword[i]);
        terms << (entries.notKeyword[i] ? negated(term) : term);
    }
    for (const QString &keyword : entries.tickedKeywords)
        terms << keywordContains(keyword);

    QStringList lines{QStringLiteral("SELECT * FROM PHOTODB.DB ")};
    if (!terms.isEmpty()) {
        // One operator for every join, so no grouping is needed beyond the NOT wrappers.
        QString condition =
            terms.join(entries.useAnd ? QLatin1String(" AND ") : QLatin1String(" OR "));
        if (entries.notAll)
            condition = negated(condition);
        lines << QLatin1String("WHERE ") + condition;
    }
    lines << QStringLiteral(";");
    return lines;
}

} // namespace pictavo
