#pragma once

#include "base/error.h"
#include "db/edit_buffer.h"
#include "db/query_plan.h"
#include "db/row_list.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

namespace pictavo {

class Database;
class SqliteStatement;
class StatementWatcher;

// A cursor over the records of a table or a query: open and close, move, read fields,
// edit, append, post, cancel and delete, with the hooks a window attaches to and the
// changes a view follows. Its records are a RowList, the record being edited an
// EditBuffer, and a RecordWriter writes it back; none holds a lock between calls.
class DataSet
{
public:
    enum class State
    {
        Inactive,
        Browse,
        Edit,
        Insert
    };
    using Hook = std::function<void(DataSet &)>;

    // What a view of the records (the grid) needs to follow.
    struct Change
    {
        enum Kind
        {
            Reset,
            RowChanged,
            RowInserted,
            RowRemoved,
            CurrentChanged,
            StateChanged
        };
        Kind kind;
        int row;
    };
    using Listener = std::function<void(const Change &)>;

    DataSet();
    virtual ~DataSet() = default;
    DataSet(const DataSet &) = delete;
    DataSet &operator=(const DataSet &) = delete;

    // The database directory; may only change while the data set is closed.
    void setDatabaseName(const QString &directory);
    const QString &databaseName() const { return m_databaseName; }

    // Runs the statement. With a watcher set, it may be stopped while it runs: the opening
    // then fails with QueryStopped and the data set stays closed.
    void open();
    void close();
    // Asked while open() runs; null (the default) for none. Not owned.
    void setWatcher(StatementWatcher *watcher) { m_watcher = watcher; }
    StatementWatcher *watcher() const { return m_watcher; }
    // Reads the record list again, so records that others wrote appear; stays on the
    // same record when it is still there.
    void refresh();
    bool active() const { return m_state != State::Inactive; }
    State state() const { return m_state; }
    bool isLive() const { return m_plan.live; }
    // Records can be edited, appended and deleted: the set is live and its table's file
    // can be written.
    bool canModify() const { return m_plan.live && !m_plan.base.readOnly; }
    // The files of the open database cannot be written (a read-only disk, permissions).
    bool libraryReadOnly() const { return active() && m_database && m_database->readOnly(); }
    // How many records a list of a whole table reads when it is opened; the others are
    // listed when first needed, so a large table opens as fast as a small one. The
    // default covers the first screens of a grid.
    void setRowsListedAtOpen(int rows) { m_rows.setListedAtOpen(rows); }

    void first();
    void last();
    void next();
    void prior();
    void moveTo(int row);
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    int recNo() const { return m_current; } // 0-based; -1 when empty
    int recordCount() const
    {
        requireActive();
        return m_rows.count();
    }
    bool isEmpty() const { return recordCount() == 0; }
    // Rows a view shows: the records plus a record being appended.
    int viewRowCount() const { return active() ? recordCount() + (m_state == State::Insert) : 0; }

    int fieldCount() const { return int(m_plan.fields.size()); }
    const DataSetField &field(int index) const { return m_plan.fields[index]; }
    int fieldIndex(const QString &name) const;  // letter case ignored; -1 when none
    int fieldNumber(const QString &name) const; // same, but throws "Field 'X' not found."

    // Values of the current record (or the edit buffer while editing). A blob field's
    // value is its size in bytes, or null.
    QVariant value(const QString &name) const;
    QString asString(const QString &name) const { return value(name).toString(); }
    qint64 asInteger(const QString &name) const { return value(name).toLongLong(); }
    bool isNull(const QString &name) const { return value(name).isNull(); }
    QVariant valueAt(int row, int field) const;
    qint64 blobSize(const QString &name) const { return value(name).toLongLong(); }
    QByteArray readBlob(const QString &name) const { return readBlobAt(m_current, name); }
    // The same for any record, without moving to it (a photo read ahead of its move: the
    // move's own read then costs nothing while the table file is unchanged).
    QByteArray readBlobAt(int row, const QString &name) const;

    void setValue(const QString &name, const QVariant &value);
    void setValue(int field, const QVariant &value);
    void setBlob(const QString &name, const QByteArray &bytes) { setValue(name, QVariant(bytes)); }

    void edit();
    void append();
    void post();
    void cancel();
    void remove();
    // Posts a pending edit; called before every move.
    void checkBrowseMode();

    Hook afterScroll, afterInsert, afterEdit, beforePost, afterPost, afterCancel, afterDelete;
    std::function<void(DataSet &, const Error &)> onPostError;

    int addListener(Listener listener);
    void removeListener(int id) { m_listeners.remove(id); }

protected:
    // The local-SQL text to open.
    virtual QString statementText() const = 0;
    virtual void bindParameters(SqliteStatement &) const {}
    Database &database() const { return *m_database; }
    const QueryPlan &plan() const { return m_plan; }
    qint64 currentRowId() const
    {
        const bool listed = m_plan.live && m_current >= 0 && m_current < m_rows.count();
        return listed ? m_rows.rowIdAt(m_current) : -1;
    }
    // Index of the record with that row id, or -1.
    int rowOfRowId(qint64 rowId) const { return m_rows.rowOf(rowId); }
    void requireActive() const;
    void requireClosed() const;

private:
    // Moves and their ends: a new record is announced, a move onto the same one is not.
    void setCurrent(int row, bool bof, bool eof);
    void notify(Change::Kind kind, int row);
    void fire(const Hook &hook);
    void requireLive() const;

    QString m_databaseName;
    std::shared_ptr<Database> m_database;
    StatementWatcher *m_watcher = nullptr;
    QueryPlan m_plan;
    RowList m_rows;
    EditBuffer m_buffer;
    State m_state = State::Inactive;
    int m_current = -1;
    int m_beforeInsert = -1;
    bool m_bof = true;
    bool m_eof = true;
    QHash<int, Listener> m_listeners;
    int m_nextListener = 1;
};

} // namespace pictavo
