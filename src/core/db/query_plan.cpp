#include "db/query_plan.h"

#include "db/engine_error.h"
#include "db/sqlite_statement.h"

#include <QHash>
#include <QSet>

namespace pictavo {

namespace {

// Whether an arm of a compound statement carries the row ids its photos come from.
enum class ArmRowIds
{
    Always,
    WithKeyOnly, // only where the table's primary key is selected too
    Never
};

// How a statement names the row id of a record of the table under `alias` (quoted).
QString rowIdOf(const Database::TableFile &file, const QString &alias)
{
    const QString &name = file.layout.rowIdName;
    return alias + QLatin1Char('.') + (name == QLatin1String("rowid") ? name : quoted(name));
}

struct Source
{
    Database::TableFile file;
    QString alias;
    int table; // its index in the statement's tables
};

class Builder
{
public:
    // With `arm`, of a compound statement: read-only, with row ids as `rowIds` asks.
    Builder(Database &database, const LocalStatement &statement, bool arm = false,
            ArmRowIds rowIds = ArmRowIds::Always)
        : m_st(statement), m_arm(arm), m_armRowIds(rowIds)
    {
        for (const TableReference &ref : m_st.tables) {
            m_files.append(database.attach(ref.fileName));
            if (ref.depth == 0)
                m_sources.append({m_files.last(), ref.alias, int(m_files.size()) - 1});
        }
        m_partsNeeded = namesApartColumns();
    }

    QueryPlan build()
    {
        QueryPlan plan;
        plan.live = m_st.isLive() && !m_arm;
        if (m_st.nestedSource) {
            // The columns of a nested source are known only to SQLite: the statement runs
            // as written and its fields are named after it is prepared.
            plan.resultSql = render(0, int(m_st.tokens.size()));
            return plan;
        }
        QStringList items = selectItems(plan);
        const QString rest = render(m_st.selectListEnd, int(m_st.tokens.size()));
        if (plan.live) {
            const Source &base = m_sources.first();
            plan.base = base.file;
            const QString a = quoted(base.alias);
            QString keyRest = rest;
            if (!m_st.orderBy)
                keyRest = withPrimaryOrder(base, a);
            // The row id goes last so that an ORDER BY by position names the same item
            // as in the statement written.
            QStringList keyItems;
            const QVector<bool> needed = itemsReferenced(int(items.size()));
            if (needed.contains(true))
                for (int i = 0; i < items.size(); ++i)
                    keyItems << (needed[i] ? items[i] : QStringLiteral("NULL"));
            plan.keyRowIdColumn = int(keyItems.size());
            keyItems << rowIdOf(base.file, a);
            plan.keySql =
                QStringLiteral("SELECT %1 %2").arg(keyItems.join(QLatin1String(", ")), keyRest);
            if (!m_st.where && !m_st.orderBy && m_st.limitToken < 0)
                plan.countSql =
                    base.file.layout.countTable.isEmpty()
                        ? QStringLiteral("SELECT count(*) FROM %1.%2")
                              .arg(quoted(base.file.schema), quoted(base.file.layout.recordTable))
                        : QStringLiteral("SELECT n FROM %1.%2")
                              .arg(quoted(base.file.schema), quoted(base.file.layout.countTable));
            plan.rowSql = QStringLiteral("SELECT %1 FROM %2 WHERE %3=?")
                              .arg(items.join(QLatin1String(", ")), tableText(base.table, true),
                                   rowIdOf(base.file, a));
        } else {
            if (!m_st.groupBy && !m_st.aggregate && m_armRowIds != ArmRowIds::Never)
                addBlobRowIds(plan, items);
            plan.resultSql = render(0, m_st.selectListBegin) + QLatin1Char(' ') +
                             items.join(QLatin1String(", ")) + QLatin1Char(' ') + rest;
        }
        return plan;
    }

private:
    // Whether the statement may use a column kept apart (a photo): it names one, or
    // selects all columns. Only then are its tables read through the view that joins
    // the parts; the planner would otherwise spend on joins it needs not, and a statement
    // naming a table many times can take long just to be planned.
    bool namesApartColumns() const
    {
        QSet<QString> apart;
        for (const Database::TableFile &file : m_files)
            for (auto it = file.layout.apart.cbegin(); it != file.layout.apart.cend(); ++it)
                apart.insert(it.key());
        if (apart.isEmpty())
            return false;
        QString previous;
        for (const SqlToken &t : m_st.tokens) {
            if (t.kind == SqlToken::Space)
                continue;
            if (t.kind == SqlToken::Punct && t.text == QLatin1String("*") &&
                previous != QLatin1String("("))
                return true;
            if (apart.contains(bareWord(t.text).toUpper()))
                return true;
            previous = t.text;
        }
        return false;
    }

    // A read-only result keeps, behind its fields, the row id each photo comes from, so
    // that the photo can still be read when it is shown. Under DISTINCT that is done only
    // when the table's primary key is selected too: the row is then unique for that table
    // already, and the row id cannot make two equal records different.
    void addBlobRowIds(QueryPlan &plan, QStringList &items) const
    {
        QVector<int> rowIdColumn(m_sources.size(), -1);
        for (int f = 0; f < plan.fields.size(); ++f) {
            DataSetField &field = plan.fields[f];
            const int s = m_fieldSource.value(f, -1);
            if (field.def.type != FieldType::Blob || s < 0)
                continue;
            const bool keyNeeded = m_st.distinct || m_armRowIds == ArmRowIds::WithKeyOnly;
            if (keyNeeded && !primaryKeySelected(s))
                continue;
            if (rowIdColumn[s] < 0) {
                rowIdColumn[s] = int(plan.fields.size()) + plan.hiddenColumns++;
                items << rowIdOf(m_sources[s].file, quoted(m_sources[s].alias));
            }
            field.blobFile = m_sources[s].file;
            field.blobColumn = m_sources[s].file.info.fields[m_fieldColumn.value(f)].name;
            field.blobRowIdColumn = rowIdColumn[s];
        }
    }

    // Which select-list items the rest of the statement (WHERE, ORDER BY) may refer to:
    // those whose name it mentions anywhere, letter case ignored, and those its top-level
    // ORDER BY names by position. Taking a few too many costs only reading; missing one
    // would change the result.
    QVector<bool> itemsReferenced(int count) const
    {
        QSet<QString> words;
        QSet<int> positions;
        int depth = 0;
        bool inOrderBy = false;
        QString previous;
        for (int i = m_st.selectListEnd; i >= 0 && i < m_st.tokens.size(); ++i) {
            const SqlToken &t = m_st.tokens[i];
            if (t.kind == SqlToken::Space)
                continue;
            const QString word = t.text.toUpper();
            if (t.kind == SqlToken::Punct && t.text == QLatin1String("("))
                ++depth;
            else if (t.kind == SqlToken::Punct && t.text == QLatin1String(")"))
                --depth;
            else if (depth == 0 && t.kind == SqlToken::Word && word == QLatin1String("ORDER"))
                inOrderBy = true;
            else if (depth == 0 && t.kind == SqlToken::Word && word == QLatin1String("LIMIT"))
                inOrderBy = false;
            if (inOrderBy && depth == 0 && t.kind == SqlToken::Number &&
                (previous == QLatin1String("BY") || previous == QLatin1String(",")))
                positions.insert(t.text.toInt() - 1);
            words.insert(bareWord(t.text).toUpper());
            previous = word;
        }
        QVector<bool> needed(count, false);
        for (int i = 0; i < count; ++i)
            needed[i] =
                positions.contains(i) || (i < m_itemNames.size() && !m_itemNames[i].isEmpty() &&
                                          words.contains(m_itemNames[i].toUpper()));
        return needed;
    }

    static QString bareWord(const QString &text)
    {
        static const QString quotes = QStringLiteral("\"'`[");
        if (text.size() >= 2 && quotes.contains(text.front()))
            return text.mid(1, text.size() - 2);
        return text;
    }

    bool primaryKeySelected(int source) const
    {
        const TableSchema &info = m_sources[source].file.info;
        if (info.primaryKey.isEmpty())
            return false;
        QSet<int> selected;
        for (auto it = m_fieldSource.cbegin(); it != m_fieldSource.cend(); ++it)
            if (it.value() == source)
                selected.insert(m_fieldColumn.value(it.key()));
        for (const QString &key : info.primaryKey)
            if (!selected.contains(info.fieldIndex(key)))
                return false;
        return true;
    }

    // The rest of the statement with an ORDER BY over the primary index, placed before
    // a LIMIT, so that a query without ORDER BY lists records in key order.
    QString withPrimaryOrder(const Source &base, const QString &alias) const
    {
        QStringList keys;
        for (const QString &field : base.file.info.primaryKey)
            keys << alias + QLatin1Char('.') + quoted(field);
        if (keys.isEmpty())
            keys << rowIdOf(base.file, alias);
        const QString order =
            QStringLiteral(" ORDER BY ") + keys.join(QLatin1Char(',')) + QLatin1Char(' ');
        const int end = int(m_st.tokens.size());
        if (m_st.limitToken < 0)
            return render(m_st.selectListEnd, end) + order;
        return render(m_st.selectListEnd, m_st.limitToken) + order + render(m_st.limitToken, end);
    }

    // The attached table, with the alias the statement uses unless the user's own alias
    // follows in the text anyway.
    QString tableText(int index, bool withUserAlias = false) const
    {
        const TableReference &ref = m_st.tables[index];
        const Database::TableFile &file = m_files[index];
        QString text = quoted(file.schema) + QLatin1Char('.') +
                       quoted(m_partsNeeded ? file.table : file.layout.recordTable);
        if (!ref.userAlias || withUserAlias)
            text += QLatin1String(" AS ") + quoted(ref.alias);
        return text;
    }

    // The tokens [begin, end) in SQLite's dialect.
    QString render(int begin, int end) const
    {
        QString out;
        for (int i = begin; i < end; ++i) {
            const SqlToken &t = m_st.tokens[i];
            const int table = m_st.tableAtToken(i);
            if (t.kind == SqlToken::Space) {
                // Comments go too: a line comment in a select item would otherwise hide
                // whatever this rewrite puts after the item.
                out += QLatin1Char(' ');
            } else if (table >= 0) {
                out += tableText(table);
            } else if (t.kind == SqlToken::FileName) {
                out += quoted(t.text.toUpper());
            } else if (t.kind == SqlToken::DoubleString && !m_st.isQuotedIdentifier(i)) {
                out += LocalSql::doubleToSingleQuoted(t.text);
            } else {
                out += t.text;
            }
        }
        return out;
    }

    int sourceIndex(const QString &qualifier) const
    {
        for (int i = 0; i < m_sources.size(); ++i)
            if (m_sources[i].alias.compare(qualifier, Qt::CaseInsensitive) == 0 ||
                m_sources[i].file.fileName.compare(qualifier, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    void addColumn(QueryPlan &plan, QStringList &items, int source, int column, const QString &name,
                   const QString &expression)
    {
        const FieldDef &def = m_sources[source].file.info.fields[column];
        DataSetField field;
        field.name = name;
        field.def = def;
        field.writable = plan.live && source == 0;
        field.baseColumn = plan.live && source == 0 ? column : -1;
        m_fieldSource.insert(int(plan.fields.size()), source);
        m_fieldColumn.insert(int(plan.fields.size()), column);
        plan.fields.append(field);
        m_itemNames << name;
        items << (def.type == FieldType::Blob
                      ? QStringLiteral("length(%1) AS %2").arg(expression, quoted(name))
                      : (expression + QLatin1String(" AS ") + quoted(name)));
    }

    void addStar(QueryPlan &plan, QStringList &items, int source)
    {
        const QVector<FieldDef> &fields = m_sources[source].file.info.fields;
        const QString alias = quoted(m_sources[source].alias);
        for (int c = 0; c < fields.size(); ++c)
            addColumn(plan, items, source, c, fields[c].name,
                      alias + QLatin1Char('.') + quoted(fields[c].name));
    }

    QStringList selectItems(QueryPlan &plan)
    {
        QStringList items;
        for (const SelectItem &item : m_st.items) {
            if (item.kind == SelectItem::Star) {
                for (int s = 0; s < m_sources.size(); ++s)
                    addStar(plan, items, s);
                continue;
            }
            if (item.kind == SelectItem::QualifiedStar) {
                const int s = sourceIndex(item.qualifier);
                if (s < 0)
                    throw EngineError(QStringLiteral("no such table: %1").arg(item.qualifier));
                addStar(plan, items, s);
                continue;
            }
            if (item.kind == SelectItem::Column) {
                int s = item.qualifier.isEmpty() ? -1 : sourceIndex(item.qualifier);
                int c = -1;
                if (s >= 0) {
                    c = m_sources[s].file.info.fieldIndex(item.column);
                } else if (item.qualifier.isEmpty()) {
                    for (int k = 0; k < m_sources.size() && c < 0; ++k) {
                        c = m_sources[k].file.info.fieldIndex(item.column);
                        s = c >= 0 ? k : -1;
                    }
                }
                if (s >= 0 && c >= 0) {
                    const QString name =
                        item.alias.isEmpty() ? m_sources[s].file.info.fields[c].name : item.alias;
                    addColumn(plan, items, s, c, name,
                              quoted(m_sources[s].alias) + QLatin1Char('.') +
                                  quoted(m_sources[s].file.info.fields[c].name));
                    continue;
                }
            }
            // Anything else is computed: read-only, named by SQLite after the query is
            // prepared.
            plan.fields.append(DataSetField());
            m_itemNames << item.alias;
            items << render(item.begin, item.end).trimmed();
        }
        return items;
    }

    const LocalStatement &m_st;
    const bool m_arm; // of a compound statement
    const ArmRowIds m_armRowIds;
    QVector<Database::TableFile> m_files; // one per table reference
    QVector<Source> m_sources;            // the top-level ones
    // For each field that is a plain column: its source and its column there.
    QHash<int, int> m_fieldSource;
    QHash<int, int> m_fieldColumn;
    QStringList m_itemNames; // per select-list item: the name the clauses may use, if any
    bool m_partsNeeded = true;
};

QString textOf(const QVector<SqlToken> &tokens, int begin, int end)
{
    QString text;
    for (int i = begin; i < end; ++i)
        text += tokens[i].text;
    return text;
}

struct CompoundParts
{
    QVector<LocalStatement> arms; // each SELECT on its own
    QStringList operators;        // between them, e.g. "UNION ALL"
};

CompoundParts splitCompound(const LocalStatement &statement)
{
    CompoundParts parts;
    int begin = 0;
    for (const LocalStatement::TokenRange &op : statement.compoundOperators) {
        parts.arms << LocalSql::parse(textOf(statement.tokens, begin, op.begin));
        QStringList words; // the operator without what stands between its words
        for (int i = op.begin; i < op.end; ++i)
            if (statement.tokens[i].kind == SqlToken::Word)
                words << statement.tokens[i].text;
        parts.operators << words.join(QLatin1Char(' '));
        begin = op.end;
    }
    parts.arms << LocalSql::parse(textOf(statement.tokens, begin, int(statement.tokens.size())));
    return parts;
}

// Whether every SELECT names the record of each photo alike: the same hidden columns
// pointing into the same table.
bool sameRowIds(const QVector<QueryPlan> &plans)
{
    const QueryPlan &first = plans.first();
    if (first.hiddenColumns == 0)
        return false;
    for (const QueryPlan &plan : plans) {
        if (plan.hiddenColumns != first.hiddenColumns || plan.fields.size() != first.fields.size())
            return false;
        for (int f = 0; f < first.fields.size(); ++f) {
            const DataSetField &a = first.fields[f];
            const DataSetField &b = plan.fields[f];
            if (a.blobRowIdColumn != b.blobRowIdColumn ||
                (a.blobRowIdColumn >= 0 &&
                 (a.blobFile.schema != b.blobFile.schema || a.blobColumn != b.blobColumn)))
                return false;
        }
    }
    return true;
}

// Each SELECT of a compound statement is rewritten on its own, as a read-only query, so
// that its blobs too are selected as their lengths: as written, the statement would read
// every photo it lists into memory (and compare them, for UNION). Where every SELECT
// can name the records its photos come from, alike, the row ids go along so the photos
// can be shown; unless the operators are all UNION ALL, only with the table's key
// selected, as under DISTINCT. The fields are those of the first SELECT, as SQLite names
// the columns of a compound result.
QueryPlan buildCompound(Database &database, const LocalStatement &statement)
{
    const CompoundParts parts = splitCompound(statement);
    bool comparesRows = false;
    for (const QString &op : parts.operators)
        comparesRows = comparesRows || op.toUpper() != QLatin1String("UNION ALL");
    const auto assemble = [&](ArmRowIds rowIds) {
        QVector<QueryPlan> plans;
        for (const LocalStatement &arm : parts.arms)
            plans << Builder(database, arm, true, rowIds).build();
        return plans;
    };
    QVector<QueryPlan> plans = assemble(comparesRows ? ArmRowIds::WithKeyOnly : ArmRowIds::Always);
    if (!sameRowIds(plans))
        plans = assemble(ArmRowIds::Never);
    QueryPlan plan;
    plan.fields = plans.first().fields;
    plan.hiddenColumns = plans.first().hiddenColumns;
    plan.resultSql = plans.first().resultSql;
    for (int i = 1; i < plans.size(); ++i)
        plan.resultSql +=
            QLatin1Char(' ') + parts.operators[i - 1] + QLatin1Char(' ') + plans[i].resultSql;
    return plan;
}

} // namespace

QueryPlan QueryPlan::build(Database &database, const LocalStatement &statement)
{
    if (statement.compound)
        return buildCompound(database, statement);
    return Builder(database, statement).build();
}

} // namespace pictavo
