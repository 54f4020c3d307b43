#include "import/file_list_box.h"

#include <QDir>
#include <algorithm>

namespace pictavo {

namespace {

QRegularExpression wildcard(const QString &pattern)
{
    return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern),
                              QRegularExpression::CaseInsensitiveOption);
}

} // namespace

FileListBox::FileListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

void FileListBox::setDirectory(const QString &path)
{
    m_directory = path;
    refresh();
}

void FileListBox::setMask(const QString &mask)
{
    m_mask = mask;
    m_patterns.clear();
    for (const QString &pattern : mask.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        m_patterns << wildcard(pattern.trimmed());
    refresh();
}

void FileListBox::setMaskToName(const QString &name)
{
    m_mask = name;
    m_patterns = {
        QRegularExpression(QRegularExpression::anchoredPattern(QRegularExpression::escape(name)),
                           QRegularExpression::CaseInsensitiveOption)};
    refresh();
}

void FileListBox::refresh()
{
    // Hidden files are listed too: a name starting with "." is an ordinary name here.
    const QStringList names = m_directory.isEmpty() ? QStringList()
                                                    : QDir(m_directory)
                                                          .entryList(QDir::Files | QDir::Hidden,
                                                                     QDir::Name | QDir::IgnoreCase);
    QStringList shown;
    for (const QString &name : names) {
        if (std::any_of(
                m_patterns.cbegin(), m_patterns.cend(),
                [&](const QRegularExpression &pattern) { return pattern.match(name).hasMatch(); }))
            shown << name;
    }
    const QSignalBlocker quiet(this);
    clear();
    addItems(shown);
}

QString FileListBox::filePath(const QString &entry) const
{
    return QDir(m_directory).filePath(entry);
}

QVector<ImportEntry> FileListBox::entries() const
{
    QVector<ImportEntry> result;
    result.reserve(count());
    for (int row = 0; row < count(); ++row)
        result.append({item(row)->text(), item(row)->isSelected()});
    return result;
}

QString FileListBox::selectedCurrentPath() const
{
    const QListWidgetItem *current = currentItem();
    return current && current->isSelected() ? filePath(current->text()) : QString();
}

void FileListBox::selectAllEntries()
{
    selectAll();
    viewport()->update();
}

void FileListBox::selectFirstEntry()
{
    if (count() > 0)
        setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
}

int FileListBox::selectNames(const QStringList &names)
{
    clearSelection();
    int selected = 0;
    for (int row = 0; row < count(); ++row) {
        QListWidgetItem *entry = item(row);
        if (!names.contains(entry->text()))
            continue;
        if (selected++ == 0)
            setCurrentItem(entry, QItemSelectionModel::Select);
        else
            entry->setSelected(true);
    }
    return selected;
}

QList<int> FileListBox::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

template <typename Handler> void FileListBox::watchUser(Handler handler)
{
    const QList<int> before = selectedRows();
    handler();
    if (selectedRows() != before)
        emit selectionChangedByUser();
}

void FileListBox::mousePressEvent(QMouseEvent *event)
{
    watchUser([&] { QListWidget::mousePressEvent(event); });
}

void FileListBox::mouseMoveEvent(QMouseEvent *event)
{
    watchUser([&] { QListWidget::mouseMoveEvent(event); });
}

void FileListBox::mouseReleaseEvent(QMouseEvent *event)
{
    watchUser([&] { QListWidget::mouseReleaseEvent(event); });
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    watchUser([&] { QListWidget::keyPressEvent(event); });
}

} // namespace pictavo
