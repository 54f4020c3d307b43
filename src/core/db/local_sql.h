#pragma once

#include <QString>
#include <QVector>

namespace pictavo {

// The SQL that the program writes and that users type names tables by file name
// (PHOTODB.DB, "WORK.DB") and writes string constants in double quotes. LocalSql takes
// such a statement apart so that a query can turn it into SQLite's dialect: table names
// become attached tables, a double-quoted constant becomes a single-quoted one, and the
// select list can be rewritten so that no blob is ever read to open a query.
struct SqlToken
{
    enum Kind
    {
        Space,
        Word,
        Number,
        SingleString,
        DoubleString,
        Parameter,
        Punct,
        FileName
    };
    Kind kind = Space;
    QString text;
};

struct TableReference
{
    QString fileName; // as written, without quotes, e.g. "PhotoDB.DB"
    QString alias;    // the alias the statement uses for it
    int token = -1;   // index of the token naming it
    int depth = 0;    // parenthesis depth; 0 for the statement's own FROM
    bool userAlias = false;
};

// One item of the top-level select list.
struct SelectItem
{
    enum Kind
    {
        Star,
        QualifiedStar,
        Column,
        Expression
    };
    Kind kind = Expression;
    QString qualifier; // table alias or file name before the dot, if any
    QString column;    // Column: the column name
    QString alias;     // the name given with AS, if any
    int begin = 0;     // token range [begin, end) of the item
    int end = 0;
};

struct LocalStatement
{
    QVector<SqlToken> tokens; // the one statement, without its closing ';'
    QVector<TableReference> tables;
    QVector<SelectItem> items; // top-level select list
    int selectListBegin = -1;
    int selectListEnd = -1;
    int limitToken = -1; // top-level LIMIT, where an ORDER BY would go before
    bool distinct = false;
    bool groupBy = false;
    bool aggregate = false;
    bool compound = false;
    // Top-level UNION, INTERSECT and EXCEPT: the tokens [begin, end) of each, a following
    // ALL included.
    struct TokenRange
    {
        int begin = 0;
        int end = 0;
    };
    QVector<TokenRange> compoundOperators;
    bool orderBy = false;
    bool where = false;           // a top-level WHERE
    bool multipleSources = false; // a join, several tables or a subquery in the top FROM
    bool nestedSource = false;    // a parenthesized subquery or join in the top FROM

    // A single-table query without DISTINCT, grouping or aggregates: its records can be
    // edited and go back to the table.
    bool isLive() const;
    // The token is a double-quoted name (next to a dot) rather than a string constant.
    bool isQuotedIdentifier(int token) const;
    // Index into tables of the reference whose token this is, or -1.
    int tableAtToken(int token) const;
};

namespace LocalSql {

// Parses one SELECT statement; throws EngineError for anything else: a statement that
// is not a SELECT, a second statement, an unterminated string.
LocalStatement parse(const QString &text);

// A double-quoted constant as SQLite's single-quoted one ("it""s" -> 'it"s').
QString doubleToSingleQuoted(const QString &doubleQuoted);

} // namespace LocalSql

} // namespace pictavo
