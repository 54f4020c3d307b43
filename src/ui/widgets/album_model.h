#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>

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

    // Runs an edit inside the window's error report; false when it failed.
    using Guard = std::function<bool(const std::function<void()> &)>;

    AlbumModel(DataSet &dataSet, QList<Column> columns, Guard guard, QObject *parent = nullptr);
    ~AlbumModel() override;

    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    // Moves the data set to the row and starts editing it, as typing into a cell does.
    bool beginEdit(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void dataSetChanged(int kind, int row);

    DataSet &m_dataSet;
    QList<Column> m_columns;
    Guard m_guard;
    int m_listener = 0;
    // Set while views hear of rows removed or reset: an open cell editor then commits
    // text for a row that is gone, which must not land on whichever record is current.
    bool m_rowsChanging = false;
};

// Starts the record's edit at the first change of a cell editor's text, so the record
// counts as modified from the first key typed, and not before.
class AlbumDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    AlbumDelegate(AlbumModel &model, QObject *parent = nullptr)
        : QStyledItemDelegate(parent), m_model(model)
    {
    }
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;

private:
    AlbumModel &m_model;
};

} // namespace pictavo
