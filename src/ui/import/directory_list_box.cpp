#include "import/directory_list_box.h"

#include <QDir>
#include <QFileIconProvider>
#include <QKeyEvent>

namespace pictavo {

namespace {

constexpr int kPathRole = Qt::UserRole;

QTreeWidgetItem *folderItem(const QString &path, const QString &caption, const QIcon &icon)
{
    auto *item = new QTreeWidgetItem(QStringList(caption));
    item->setData(0, kPathRole, path);
    item->setIcon(0, icon);
    return item;
}

} // namespace

DirectoryListBox::DirectoryListBox(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(10);
    setUniformRowHeights(true);
    // Queued: moving rebuilds the items, and the view still holds the activated one.
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) {
        const QString path = item->data(0, kPathRole).toString();
        QMetaObject::invokeMethod(
            this, [this, path] { setDirectory(path); }, Qt::QueuedConnection);
    });
}

void DirectoryListBox::setDirectory(const QString &path)
{
    QDir dir(QDir::cleanPath(QDir(path).absolutePath()));
    while (!dir.exists() && !dir.isRoot())
        dir.setPath(QDir::cleanPath(dir.absoluteFilePath(QStringLiteral(".."))));
    const QString directory = dir.absolutePath();
    if (directory == m_directory)
        return;
    m_directory = directory;
    fill();
    emit directoryChanged(m_directory);
}

void DirectoryListBox::fill()
{
    clear();
    const QFileIconProvider icons;
    const QIcon folderIcon = icons.icon(QFileIconProvider::Folder);

    // The chain from the root down; each folder is the child of the one above it.
    QStringList chain;
    for (QDir dir(m_directory);;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    QTreeWidgetItem *parent = nullptr;
    for (const QString &path : std::as_const(chain)) {
        const QString name =
            QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QDir(path).dirName();
        QTreeWidgetItem *item = folderItem(path, name, folderIcon);
        if (parent)
            parent->addChild(item);
        else
            addTopLevelItem(item);
        parent = item;
    }
    const QDir current(m_directory);
    const QStringList children =
        current.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &child : children)
        parent->addChild(folderItem(current.absoluteFilePath(child), child, folderIcon));
    expandAll();
    setCurrentItem(parent);
    scrollToItem(parent);
}

void DirectoryListBox::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
        setDirectory(currentItem()->data(0, kPathRole).toString());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace pictavo
