#include "widgets/album_model.h"

#include "db/dataset.h"

#include <QLineEdit>
#include <QPointer>
#include <QScopedValueRollback>

namespace pictavo {

AlbumModel::AlbumModel(DataSet &dataSet, QList<Column> columns, Guard guard, QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet), m_columns(std::move(columns)),
      m_guard(std::move(guard))
{
    m_listener = m_dataSet.addListener(
        [this](const DataSet::Change &change) { dataSetChanged(change.kind, change.row); });
}

AlbumModel::~AlbumModel()
{
    m_dataSet.removeListener(m_listener);
}

int AlbumModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_dataSet.viewRowCount();
}

int AlbumModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant AlbumModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const int field = m_dataSet.fieldIndex(m_columns[index.column()].field);
    if (field < 0)
        return QVariant();
    return m_dataSet.valueAt(index.row(), field);
}

Qt::ItemFlags AlbumModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && m_dataSet.active() && m_dataSet.canModify())
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool AlbumModel::beginEdit(int row)
{
    if (m_rowsChanging)
        return false;
    return m_guard([this, row] {
        if (row != m_dataSet.recNo())
            m_dataSet.moveTo(row);
        m_dataSet.edit();
    });
}

bool AlbumModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || m_rowsChanging)
        return false;
    // An editor closed without a change leaves the record as it was.
    if (value.toString() == data(index, Qt::EditRole).toString())
        return false;
    return m_guard([&] {
        if (index.row() != m_dataSet.recNo())
            m_dataSet.moveTo(index.row());
        m_dataSet.edit();
        m_dataSet.setValue(m_columns[index.column()].field, value.toString());
    });
}

QWidget *AlbumDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto *text = qobject_cast<QLineEdit *>(editor);
    if (!text && editor)
        text = editor->findChild<QLineEdit *>();
    if (!text)
        return editor; // the record's edit then begins when the editor's value is set
    // Only a change starts the edit: an editor opened and left as it was must leave the
    // record, its state and its modified mark alone.
    const QPersistentModelIndex cell(index);
    auto *self = const_cast<AlbumDelegate *>(this);
    connect(text, &QLineEdit::textEdited, self, [self, cell, editor = QPointer<QWidget>(editor)] {
        if (!cell.isValid() || self->m_model.beginEdit(cell.row()))
            return;
        // The edit was refused and reported; the text typed has nowhere to go.
        QMetaObject::invokeMethod(
            self,
            [self, editor] {
                if (editor)
                    emit self->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            },
            Qt::QueuedConnection);
    });
    return editor;
}

QVariant AlbumModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section < m_columns.size() ? QVariant(m_columns[section].title) : QVariant();
    // The row marker: the current record, and whether it is being edited or added.
    if (!m_dataSet.active() || section != m_dataSet.recNo())
        return QVariant();
    switch (m_dataSet.state()) {
    case DataSet::State::Edit:
        return QStringLiteral("I");
    case DataSet::State::Insert:
        return QStringLiteral("*");
    default:
        return QString::fromUtf8("\u25B6");
    }
}

void AlbumModel::dataSetChanged(int kind, int row)
{
    // The data set tells after the fact; the views only read again after the end call.
    switch (kind) {
    case DataSet::Change::RowInserted:
        beginInsertRows(QModelIndex(), row, row);
        endInsertRows();
        break;
    case DataSet::Change::RowRemoved: {
        const QScopedValueRollback<bool> changing(m_rowsChanging, true);
        beginRemoveRows(QModelIndex(), row, row);
        endRemoveRows();
        break;
    }
    case DataSet::Change::RowChanged:
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        break;
    case DataSet::Change::Reset: {
        const QScopedValueRollback<bool> changing(m_rowsChanging, true);
        beginResetModel();
        endResetModel();
        break;
    }
    case DataSet::Change::CurrentChanged:
    case DataSet::Change::StateChanged:
        if (rowCount() > 0)
            emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
        break;
    }
}

} // namespace pictavo
