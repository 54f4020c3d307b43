#include "db/local_sql.h"

#include "db/engine_error.h"

#include <QSet>
#include <algorithm>

namespace pictavo {

namespace {

bool isWordStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_') || c.unicode() >= 128;
}

bool isWordChar(QChar c)
{
    return isWordStart(c) || c.isDigit() || c == QLatin1Char('$');
}

// Reads a quoted run starting at i (the opening quote); a doubled quote stands for one.
int quotedEnd(const QString &text, int i)
{
    const QChar quote = text[i];
    for (int j = i + 1; j < text.size(); ++j) {
        if (text[j] != quote)
            continue;
        if (j + 1 < text.size() && text[j + 1] == quote) {
            ++j;
            continue;
        }
        return j + 1;
    }
    throw EngineError(
        QStringLiteral("Unterminated string in SQL statement: %1").arg(text.mid(i, 40)));
}

bool isSignificant(const SqlToken &token)
{
    return token.kind != SqlToken::Space;
}

QString upper(const SqlToken &token)
{
    return token.kind == SqlToken::Word ? token.text.toUpper() : QString();
}

const QSet<QString> &clauseWords()
{
    static const QSet<QString> words = {
        QStringLiteral("SELECT"),  QStringLiteral("FROM"),    QStringLiteral("WHERE"),
        QStringLiteral("GROUP"),   QStringLiteral("HAVING"),  QStringLiteral("ORDER"),
        QStringLiteral("LIMIT"),   QStringLiteral("UNION"),   QStringLiteral("INTERSECT"),
        QStringLiteral("EXCEPT"),  QStringLiteral("JOIN"),    QStringLiteral("ON"),
        QStringLiteral("USING"),   QStringLiteral("LEFT"),    QStringLiteral("RIGHT"),
        QStringLiteral("INNER"),   QStringLiteral("OUTER"),   QStringLiteral("CROSS"),
        QStringLiteral("NATURAL"), QStringLiteral("FULL"),    QStringLiteral("WINDOW"),
        QStringLiteral("AS"),      QStringLiteral("INDEXED"), QStringLiteral("NOT"),
        QStringLiteral("OFFSET")};
    return words;
}

bool isAggregate(const QString &word)
{
    static const QSet<QString> names = {QStringLiteral("COUNT"),       QStringLiteral("SUM"),
                                        QStringLiteral("AVG"),         QStringLiteral("MIN"),
                                        QStringLiteral("MAX"),         QStringLiteral("TOTAL"),
                                        QStringLiteral("GROUP_CONCAT")};
    return names.contains(word);
}

QString unquoted(const QString &quotedText)
{
    const QChar quote = quotedText.front();
    QString inner = quotedText.mid(1, quotedText.size() - 2);
    inner.replace(QString(2, quote), QString(quote));
    return inner;
}

// Joins "NAME . DB" into one file-name token.
QVector<SqlToken> joinFileNames(const QVector<SqlToken> &tokens)
{
    QVector<SqlToken> out;
    for (int i = 0; i < tokens.size(); ++i) {
        const SqlToken &t = tokens[i];
        const bool afterDot = !out.isEmpty() && out.last().text == QLatin1String(".");
        if (t.kind == SqlToken::Word && !afterDot && i + 2 < tokens.size() &&
            tokens[i + 1].text == QLatin1String(".") && tokens[i + 2].kind == SqlToken::Word &&
            tokens[i + 2].text.compare(QLatin1String("DB"), Qt::CaseInsensitive) == 0) {
            out.append({SqlToken::FileName, t.text + QLatin1Char('.') + tokens[i + 2].text});
            i += 2;
            continue;
        }
        out.append(t);
    }
    return out;
}

int nextSignificant(const QVector<SqlToken> &tokens, int i)
{
    for (++i; i < tokens.size(); ++i)
        if (isSignificant(tokens[i]))
            return i;
    return -1;
}

int previousSignificant(const QVector<SqlToken> &tokens, int i)
{
    for (--i; i >= 0; --i)
        if (isSignificant(tokens[i]))
            return i;
    return -1;
}

QString nameOf(const SqlToken &token)
{
    const bool isQuoted =
        token.kind == SqlToken::DoubleString || token.kind == SqlToken::SingleString;
    return isQuoted ? unquoted(token.text) : token.text;
}

SelectItem classify(const QVector<SqlToken> &tokens, int begin, int end)
{
    QVector<int> sig;
    for (int i = begin; i < end; ++i)
        if (isSignificant(tokens[i]))
            sig << i;
    SelectItem item;
    item.begin = begin;
    item.end = end;
    auto text = [&](int k) { return tokens[sig[k]].text; };
    auto isName = [&](int k, bool quotedAllowed) {
        const SqlToken::Kind kind = tokens[sig[k]].kind;
        return (kind == SqlToken::Word && !clauseWords().contains(text(k).toUpper())) ||
               kind == SqlToken::FileName || (quotedAllowed && kind == SqlToken::DoubleString);
    };
    // Optional trailing alias: "... AS name" or "... name".
    int n = sig.size();
    if (n >= 3 && upper(tokens[sig[n - 2]]) == QLatin1String("AS")) {
        item.alias = nameOf(tokens[sig[n - 1]]);
        n -= 2;
    } else if (n == 2 && isName(0, false) && isName(1, false)) {
        item.alias = nameOf(tokens[sig[1]]);
        n = 1;
    } else if (n == 4 && text(1) == QLatin1String(".") && isName(3, false)) {
        item.alias = nameOf(tokens[sig[3]]);
        n = 3;
    } else if (n >= 2 && text(n - 2) == QLatin1String(")") && isName(n - 1, false)) {
        item.alias = nameOf(tokens[sig[n - 1]]);
        n -= 1;
    }
    if (n == 1 && text(0) == QLatin1String("*")) {
        item.kind = SelectItem::Star;
    } else if (n == 3 && text(1) == QLatin1String(".") && text(2) == QLatin1String("*") &&
               isName(0, true)) {
        item.kind = SelectItem::QualifiedStar;
        item.qualifier = nameOf(tokens[sig[0]]);
    } else if (n == 1 && tokens[sig[0]].kind == SqlToken::Word && isName(0, false)) {
        item.kind = SelectItem::Column;
        item.column = text(0);
    } else if (n == 3 && text(1) == QLatin1String(".") && isName(0, true) && isName(2, true)) {
        item.kind = SelectItem::Column;
        item.qualifier = nameOf(tokens[sig[0]]);
        item.column = nameOf(tokens[sig[2]]);
    }
    return item;
}

struct Scope
{
    enum Clause
    {
        None,
        Select,
        From,
        Other
    };
    Clause clause = None;
    bool expectTable = false;
    int lastTable = -1; // a table reference that may still be followed by an alias
    bool aliasAfterAs = false;
};

QVector<SqlToken> tokenize(const QString &text)
{
    QVector<SqlToken> tokens;
    int i = 0;
    const int n = text.size();
    while (i < n) {
        const QChar c = text[i];
        int j = i + 1;
        SqlToken::Kind kind = SqlToken::Punct;
        if (c.unicode() <= 32) {
            while (j < n && text[j].unicode() <= 32)
                ++j;
            kind = SqlToken::Space;
        } else if (c == QLatin1Char('-') && j < n && text[j] == QLatin1Char('-')) {
            while (j < n && text[j] != QLatin1Char('\n'))
                ++j;
            kind = SqlToken::Space;
        } else if (c == QLatin1Char('/') && j < n && text[j] == QLatin1Char('*')) {
            const int close = text.indexOf(QLatin1String("*/"), j + 1);
            if (close < 0)
                throw EngineError(QStringLiteral("Unterminated comment in SQL statement."));
            j = close + 2;
            kind = SqlToken::Space;
        } else if (c == QLatin1Char('\'')) {
            j = quotedEnd(text, i);
            kind = SqlToken::SingleString;
        } else if (c == QLatin1Char('"')) {
            j = quotedEnd(text, i);
            kind = SqlToken::DoubleString;
        } else if (isWordStart(c)) {
            while (j < n && isWordChar(text[j]))
                ++j;
            kind = SqlToken::Word;
        } else if (c.isDigit() || (c == QLatin1Char('.') && j < n && text[j].isDigit())) {
            while (j < n &&
                   (text[j].isLetterOrNumber() || text[j] == QLatin1Char('.') ||
                    ((text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')) &&
                     (text[j - 1] == QLatin1Char('e') || text[j - 1] == QLatin1Char('E')))))
                ++j;
            kind = SqlToken::Number;
        } else if ((c == QLatin1Char(':') || c == QLatin1Char('@') || c == QLatin1Char('$')) &&
                   j < n && isWordChar(text[j])) {
            while (j < n && isWordChar(text[j]))
                ++j;
            kind = SqlToken::Parameter;
        } else if (c == QLatin1Char('?')) {
            while (j < n && text[j].isDigit())
                ++j;
            kind = SqlToken::Parameter;
        } else if (j < n) {
            static const QStringList pairs = {QStringLiteral("<="), QStringLiteral(">="),
                                              QStringLiteral("<>"), QStringLiteral("!="),
                                              QStringLiteral("=="), QStringLiteral("||"),
                                              QStringLiteral("<<"), QStringLiteral(">>")};
            if (pairs.contains(text.mid(i, 2)))
                j = i + 2;
        }
        tokens.append({kind, text.mid(i, j - i)});
        i = j;
    }
    return joinFileNames(tokens);
}

} // namespace

namespace LocalSql {

QString doubleToSingleQuoted(const QString &doubleQuoted)
{
    QString inner = unquoted(doubleQuoted);
    inner.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

LocalStatement parse(const QString &text)
{
    LocalStatement st;
    QVector<SqlToken> tokens = tokenize(text);

    const int first = nextSignificant(tokens, -1);
    if (first < 0)
        throw EngineError(QStringLiteral("Empty SQL statement."));
    if (upper(tokens[first]) != QLatin1String("SELECT"))
        throw EngineError(QStringLiteral("Only a SELECT statement can be opened as a query: %1")
                              .arg(tokens[first].text));

    QVector<Scope> scopes(1);
    for (int i = first; i < tokens.size(); ++i) {
        const SqlToken &t = tokens[i];
        if (!isSignificant(t))
            continue;
        const int depth = int(scopes.size()) - 1;
        Scope &scope = scopes.last();
        const QString word = upper(t);

        if (t.text == QLatin1String(";") && t.kind == SqlToken::Punct) {
            if (depth > 0)
                throw EngineError(QStringLiteral("Unbalanced parentheses in SQL statement."));
            if (nextSignificant(tokens, i) >= 0)
                throw EngineError(
                    QStringLiteral("Only one SQL statement can be opened at a time."));
            tokens.resize(i);
            break;
        }
        if (t.text == QLatin1String("(") && t.kind == SqlToken::Punct) {
            if (scope.clause == Scope::From && scope.expectTable) {
                scope.expectTable = false;
                st.multipleSources = st.multipleSources || depth == 0;
                st.nestedSource = st.nestedSource || depth == 0;
            }
            scope.lastTable = -1;
            scopes.append(Scope());
            continue;
        }
        if (t.text == QLatin1String(")") && t.kind == SqlToken::Punct) {
            if (depth == 0)
                throw EngineError(QStringLiteral("Unbalanced parentheses in SQL statement."));
            scopes.removeLast();
            continue;
        }

        if (scope.clause == Scope::From && scope.lastTable >= 0) {
            // The word after a table reference is its alias unless it starts a clause.
            if (scope.aliasAfterAs || (t.kind == SqlToken::Word && !clauseWords().contains(word))) {
                TableReference &ref = st.tables[scope.lastTable];
                ref.alias = nameOf(t);
                ref.userAlias = true;
                scope.lastTable = -1;
                scope.aliasAfterAs = false;
                continue;
            }
            if (word == QLatin1String("AS")) {
                scope.aliasAfterAs = true;
                continue;
            }
            scope.lastTable = -1;
        }

        if (scope.clause == Scope::From && scope.expectTable &&
            (t.kind == SqlToken::FileName || t.kind == SqlToken::DoubleString ||
             t.kind == SqlToken::SingleString ||
             (t.kind == SqlToken::Word && !clauseWords().contains(word)))) {
            TableReference ref;
            ref.fileName = nameOf(t);
            if (t.kind == SqlToken::Word)
                ref.fileName += QLatin1String(".db");
            ref.alias = nameOf(t).toUpper();
            ref.token = i;
            ref.depth = depth;
            st.tables.append(ref);
            scope.expectTable = false;
            scope.lastTable = int(st.tables.size()) - 1;
            continue;
        }

        if (word == QLatin1String("SELECT")) {
            if (depth == 0 && st.selectListBegin >= 0)
                st.compound = true;
            scope.clause = Scope::Select;
            if (depth == 0 && st.selectListBegin < 0) {
                int next = nextSignificant(tokens, i);
                if (next >= 0 && (upper(tokens[next]) == QLatin1String("DISTINCT") ||
                                  upper(tokens[next]) == QLatin1String("ALL"))) {
                    st.distinct = upper(tokens[next]) == QLatin1String("DISTINCT");
                    i = next;
                }
                st.selectListBegin = i + 1;
            }
        } else if (word == QLatin1String("FROM")) {
            if (depth == 0 && st.selectListEnd < 0 && !st.compound)
                st.selectListEnd = i;
            scope.clause = Scope::From;
            scope.expectTable = true;
        } else if (scope.clause == Scope::From && t.text == QLatin1String(",")) {
            scope.expectTable = true;
            st.multipleSources = st.multipleSources || depth == 0;
        } else if (word == QLatin1String("JOIN")) {
            scope.clause = Scope::From;
            scope.expectTable = true;
            st.multipleSources = st.multipleSources || depth == 0;
        } else if (word == QLatin1String("ON") || word == QLatin1String("USING")) {
            scope.expectTable = false;
        } else if (word == QLatin1String("WHERE") || word == QLatin1String("GROUP") ||
                   word == QLatin1String("HAVING") || word == QLatin1String("ORDER") ||
                   word == QLatin1String("LIMIT") || word == QLatin1String("UNION") ||
                   word == QLatin1String("INTERSECT") || word == QLatin1String("EXCEPT") ||
                   word == QLatin1String("WINDOW")) {
            scope.clause = Scope::Other;
            scope.expectTable = false;
            if (depth == 0) {
                st.groupBy = st.groupBy || word == QLatin1String("GROUP");
                st.aggregate = st.aggregate || word == QLatin1String("HAVING");
                st.orderBy = st.orderBy || word == QLatin1String("ORDER");
                st.where = st.where || word == QLatin1String("WHERE");
                if (word == QLatin1String("UNION") || word == QLatin1String("INTERSECT") ||
                    word == QLatin1String("EXCEPT")) {
                    st.compound = true;
                    const int next = nextSignificant(tokens, i);
                    const bool all = next >= 0 && upper(tokens[next]) == QLatin1String("ALL");
                    st.compoundOperators.append({i, all ? next + 1 : i + 1});
                }
                if (word == QLatin1String("LIMIT") && st.limitToken < 0)
                    st.limitToken = i;
            }
        } else if (depth == 0 && scope.clause == Scope::Select && isAggregate(word)) {
            const int next = nextSignificant(tokens, i);
            st.aggregate = st.aggregate || (next >= 0 && tokens[next].text == QLatin1String("("));
        }
    }
    if (scopes.size() > 1)
        throw EngineError(QStringLiteral("Unbalanced parentheses in SQL statement."));
    if (st.selectListEnd < 0)
        st.selectListEnd = st.compound ? st.selectListBegin : int(tokens.size());

    st.tokens = tokens;
    // Split the top-level select list at its commas.
    int depth = 0;
    int itemBegin = st.selectListBegin;
    for (int i = st.selectListBegin; i <= st.selectListEnd && i >= 0; ++i) {
        const bool atEnd = i == st.selectListEnd;
        if (!atEnd) {
            const QString &x = st.tokens[i].text;
            if (st.tokens[i].kind == SqlToken::Punct) {
                if (x == QLatin1String("("))
                    ++depth;
                else if (x == QLatin1String(")"))
                    --depth;
            }
            if (!(depth == 0 && x == QLatin1String(",") && st.tokens[i].kind == SqlToken::Punct))
                continue;
        }
        st.items.append(classify(st.tokens, itemBegin, i));
        itemBegin = i + 1;
    }
    return st;
}

} // namespace LocalSql

bool LocalStatement::isLive() const
{
    const auto topLevel = std::count_if(tables.begin(), tables.end(),
                                        [](const TableReference &ref) { return ref.depth == 0; });
    return topLevel == 1 && !multipleSources && !distinct && !groupBy && !aggregate && !compound;
}

bool LocalStatement::isQuotedIdentifier(int token) const
{
    const int before = previousSignificant(tokens, token);
    const int after = nextSignificant(tokens, token);
    return (before >= 0 && tokens[before].text == QLatin1String(".")) ||
           (after >= 0 && tokens[after].text == QLatin1String("."));
}

int LocalStatement::tableAtToken(int token) const
{
    for (int i = 0; i < tables.size(); ++i)
        if (tables[i].token == token)
            return i;
    return -1;
}

} // namespace pictavo
