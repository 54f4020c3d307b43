#pragma once

#include "db/query_plan.h"

namespace pictavo {

class EditBuffer;
class SqliteStatement;

// Writes a live data set's records back to its table: the record's own fields, and each
// blob kept apart in a table of its own, together in one savepoint, so that a write that
// fails half-way leaves both as they were.
class RecordWriter
{
public:
    RecordWriter(Database &db, const QueryPlan &plan) : m_database(db), m_plan(plan) {}

    // The fields set in the buffer, as a new record or into the record `rowId`; returns
    // the row id written. Errors are the field rules' texts.
    qint64 write(const EditBuffer &buffer, bool inserting, qint64 rowId);
    void remove(qint64 rowId);

private:
    void bindField(SqliteStatement &statement, int index, const EditBuffer &buffer,
                   int field) const;

    Database &m_database;
    const QueryPlan &m_plan;
};

} // namespace pictavo
