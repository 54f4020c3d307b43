#pragma once

#include "db/query_plan.h"

#include <QByteArray>
#include <QHash>
#include <QVariant>
#include <QVector>

namespace pictavo {

// The record being edited or appended: its field values under the field rules, which of
// them were set, and the bytes of the blobs set (the values hold only their sizes).
class EditBuffer
{
public:
    explicit EditBuffer(const QueryPlan &plan) : m_plan(plan) {}

    // Starts from the record's values; an appended record starts from nulls.
    void start(const QVector<QVariant> &values);
    void clear() { start({}); }

    const QVariant &value(int field) const { return m_values[field]; }
    bool changed(int field) const { return m_changed[field]; }
    bool hasBlob(int field) const { return m_blobs.contains(field); }
    QByteArray blob(int field) const { return m_blobs.value(field); }

    // Throws the field rules' error for a value the field cannot take.
    void set(int field, const QVariant &value);
    // A record appended needs every required column of the table; an edited one keeps
    // the fields it did not set.
    void checkRequired(bool inserting) const;

private:
    QVariant convert(int field, const QVariant &value) const;

    const QueryPlan &m_plan;
    QVector<QVariant> m_values;
    QVector<bool> m_changed;
    QHash<int, QByteArray> m_blobs;
};

} // namespace pictavo
