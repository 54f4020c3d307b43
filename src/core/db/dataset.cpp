#include "db/dataset.h"

#include "db/database.h"
#include "db/engine_error.h"
#include "db/local_sql.h"
#include "db/record_writer.h"
#include "db/sqlite_statement.h"

#include <optional>

namespace pictavo {

DataSet::DataSet()
    : m_rows(m_plan, [this](SqliteStatement &statement) { bindParameters(statement); }),
      m_buffer(m_plan)
{
}

void DataSet::setDatabaseName(const QString &directory)
{
    requireClosed();
    m_databaseName = directory;
}

void DataSet::requireClosed() const
{
    if (active())
        throw EngineError(QStringLiteral("Cannot perform this operation on an open dataset."));
}

void DataSet::requireActive() const
{
    if (!active())
        throw EngineError(QStringLiteral("Cannot perform this operation on a closed dataset."));
}

void DataSet::open()
{
    if (active())
        return;
    // Made before anything of this data set changes: it refuses an opening from inside
    // the watcher of one that is running, which may be this data set's own.
    const std::shared_ptr<Database> database = Database::forDirectory(m_databaseName);
    std::optional<Database::Watch> watch(std::in_place, *database, m_watcher);
    try {
        m_database = database;
        const LocalStatement statement = LocalSql::parse(statementText());
        m_plan = QueryPlan::build(*m_database, statement);
        m_rows.open(*m_database);
        // A stop asked for after the last statement ran still stops the opening, as the
        // watcher was told it would.
        if (watch->stopped())
            throw QueryStopped();
        watch.reset(); // the hooks below may open other data sets
    } catch (...) {
        const bool stopped = watch && watch->stopped();
        watch.reset();
        m_rows.clear();
        m_plan = QueryPlan();
        m_database.reset();
        // Whatever SQLite made of the interruption, the statement was stopped.
        if (stopped)
            throw QueryStopped();
        throw;
    }
    m_state = State::Browse;
    m_current = recordCount() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = recordCount() == 0;
    notify(Change::Reset, -1);
    fire(afterScroll);
}

void DataSet::refresh()
{
    requireActive();
    checkBrowseMode();
    const qint64 rowId = currentRowId();
    const int row = m_current;
    m_rows.load();
    const int found = rowOfRowId(rowId);
    m_current = recordCount() == 0 ? -1 : (found >= 0 ? found : std::min(row, recordCount() - 1));
    m_bof = m_eof = recordCount() == 0;
    notify(Change::Reset, -1);
    if (found < 0 || found != row)
        fire(afterScroll);
}

void DataSet::close()
{
    if (!active())
        return;
    // A pending edit is dropped, and said so, so that whoever tracks it (the main
    // window's modified flag) does not go on believing in it.
    if (m_state != State::Browse)
        cancel();
    m_state = State::Inactive;
    m_rows.clear();
    m_buffer.clear();
    m_plan = QueryPlan();
    m_database.reset();
    m_current = -1;
    m_bof = m_eof = true;
    notify(Change::Reset, -1);
}

void DataSet::setCurrent(int row, bool bof, bool eof)
{
    m_bof = bof;
    m_eof = eof;
    if (row == m_current)
        return;
    m_current = row;
    notify(Change::CurrentChanged, row);
    fire(afterScroll);
}

void DataSet::first()
{
    requireActive();
    checkBrowseMode();
    setCurrent(recordCount() > 0 ? 0 : -1, true, recordCount() == 0);
}

void DataSet::last()
{
    requireActive();
    checkBrowseMode();
    setCurrent(recordCount() - 1, recordCount() == 0, true);
}

void DataSet::next()
{
    requireActive();
    checkBrowseMode();
    const bool atEnd = m_current + 1 >= recordCount();
    setCurrent(atEnd ? m_current : m_current + 1, atEnd && m_bof, atEnd);
}

void DataSet::prior()
{
    requireActive();
    checkBrowseMode();
    const bool atStart = m_current <= 0;
    setCurrent(atStart ? m_current : m_current - 1, atStart, atStart && m_eof);
}

void DataSet::moveTo(int row)
{
    requireActive();
    checkBrowseMode();
    if (recordCount() > 0)
        setCurrent(std::clamp(row, 0, recordCount() - 1), false, false);
}

int DataSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_plan.fields.size(); ++i)
        if (m_plan.fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int DataSet::fieldNumber(const QString &name) const
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw EngineError(QStringLiteral("Field '%1' not found.").arg(name));
    return index;
}

QVariant DataSet::valueAt(int row, int field) const
{
    requireActive();
    if (field < 0 || field >= fieldCount() || row < 0)
        return QVariant();
    if (m_state != State::Browse && row == m_current)
        return m_buffer.value(field);
    if (row >= recordCount())
        return QVariant();
    return m_rows.values(row)[field];
}

QVariant DataSet::value(const QString &name) const
{
    requireActive();
    return valueAt(m_current, fieldNumber(name));
}

QByteArray DataSet::readBlobAt(int row, const QString &name) const
{
    requireActive();
    const int f = fieldNumber(name);
    const DataSetField &field = m_plan.fields[f];
    if (field.def.type != FieldType::Blob)
        throw EngineError(QStringLiteral("Field '%1' is not a blob field.").arg(field.name));
    if (row == m_current && m_state != State::Browse && m_buffer.hasBlob(f))
        return m_buffer.blob(f);
    if (valueAt(row, f).isNull())
        return QByteArray();
    return m_rows.readBlob(row, f, row != m_current);
}

void DataSet::requireLive() const
{
    requireActive();
    if (!m_plan.live)
        throw EngineError(QStringLiteral("Cannot modify a read-only dataset."));
    if (m_plan.base.readOnly)
        throw EngineError(readOnlyLibraryText(m_database->directory()));
}

void DataSet::setValue(const QString &name, const QVariant &value)
{
    requireActive();
    setValue(fieldNumber(name), value);
}

void DataSet::setValue(int f, const QVariant &value)
{
    requireActive();
    if (m_state == State::Browse)
        throw EngineError(QStringLiteral("Dataset not in edit or insert mode."));
    m_buffer.set(f, value);
    notify(Change::RowChanged, m_current);
}

void DataSet::edit()
{
    requireLive();
    if (m_state != State::Browse)
        return;
    if (recordCount() == 0) {
        append();
        return;
    }
    m_buffer.start(m_rows.values(m_current));
    m_state = State::Edit;
    notify(Change::StateChanged, m_current);
    fire(afterEdit);
}

void DataSet::append()
{
    requireLive();
    checkBrowseMode();
    m_beforeInsert = m_current;
    m_buffer.start(RowList::Row(fieldCount()));
    m_state = State::Insert;
    m_current = recordCount();
    m_bof = m_eof = false;
    notify(Change::RowInserted, m_current);
    notify(Change::CurrentChanged, m_current);
    notify(Change::StateChanged, m_current);
    fire(afterInsert);
    fire(afterScroll);
}

void DataSet::post()
{
    requireActive();
    if (m_state == State::Browse)
        return;
    fire(beforePost);
    const bool inserting = m_state == State::Insert;
    qint64 rowId = -1;
    try {
        // Writing changes what a later listing would find, so the list is completed first.
        m_rows.complete();
        m_buffer.checkRequired(inserting);
        rowId = RecordWriter(*m_database, m_plan).write(m_buffer, inserting, currentRowId());
    } catch (const Error &error) {
        if (onPostError)
            onPostError(*this, error);
        throw;
    }
    m_rows.written(rowId, inserting);
    m_state = State::Browse;
    m_buffer.clear();
    notify(Change::RowChanged, m_current);
    notify(Change::StateChanged, m_current);
    fire(afterPost);
}

void DataSet::cancel()
{
    requireActive();
    if (m_state == State::Browse)
        return;
    const bool inserting = m_state == State::Insert;
    const int row = m_current;
    m_state = State::Browse;
    m_buffer.clear();
    if (inserting) {
        // Listeners are told after the fact, and may read the data set while they are:
        // the current record is one that exists before anyone hears of the removal.
        m_current = std::min(m_beforeInsert, recordCount() - 1);
        m_bof = m_eof = recordCount() == 0;
        notify(Change::RowRemoved, row);
        notify(Change::CurrentChanged, m_current);
    } else {
        notify(Change::RowChanged, row);
    }
    notify(Change::StateChanged, m_current);
    fire(afterCancel);
    // Cancelling an append returns to another record, which the window shows again.
    if (inserting)
        fire(afterScroll);
}

void DataSet::remove()
{
    requireLive();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (recordCount() == 0)
        throw EngineError(QStringLiteral("Cannot perform this operation on an empty dataset."));
    m_rows.complete();
    RecordWriter(*m_database, m_plan).remove(currentRowId());
    m_state = State::Browse;
    m_buffer.clear();
    const int row = m_current;
    m_rows.erase(row);
    m_current = std::min(row, recordCount() - 1); // valid before any listener looks
    m_bof = m_eof = recordCount() == 0;
    notify(Change::RowRemoved, row);
    notify(Change::CurrentChanged, m_current);
    fire(afterDelete);
    fire(afterScroll);
}

void DataSet::checkBrowseMode()
{
    if (m_state == State::Edit || m_state == State::Insert)
        post();
}

int DataSet::addListener(Listener listener)
{
    const int id = m_nextListener++;
    m_listeners.insert(id, std::move(listener));
    return id;
}

void DataSet::notify(Change::Kind kind, int row)
{
    const auto listeners = m_listeners;
    for (const Listener &listener : listeners)
        listener({kind, row});
}

void DataSet::fire(const Hook &hook)
{
    if (hook)
        hook(*this);
}

} // namespace pictavo
