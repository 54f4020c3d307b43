#pragma once

#include <QAbstractTableModel>
#include <QStringList>

namespace pictavo {

class DataSet;

// The grid's view of a data set: one row per record, one column per listed field. It
// asks the data set only for the rows the grid paints, so a large record set costs
// nothing until it is scrolled to.
class AlbumModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString title;
        QString field;
    };

    AlbumModel(DataSet &dataSet, QList<Column> columns, QObject *parent = nullptr);
    ~AlbumModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const QString &fieldOf(int column) const { return m_columns[column].field; }

private:
    void dataSetChanged(int kind, int row);

    DataSet &m_dataSet;
    QList<Column> m_columns;
    int m_listener = 0;
};

} // namespace pictavo
