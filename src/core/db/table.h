#pragma once

#include "db/dataset.h"

#include <QVariantList>

namespace pictavo {

// A data set over one table file, in the order of its primary index.
class Table : public DataSet
{
public:
    void setTableName(const QString &fileName);

    // Moves to the record whose primary index equals the values (strings cut to their
    // field's size first) and returns true; returns false and stays put when none does.
    bool findKey(const QVariantList &values);

    // The table must be closed for these.
    void createTable(const QVector<FieldDef> &fields, const QVector<IndexDef> &indexes);
    void deleteTable();
    // Deletes every record; an open table is read again.
    void emptyTable();
    bool exists() const;

protected:
    QString statementText() const override;

private:
    QString m_tableName;
};

} // namespace pictavo
