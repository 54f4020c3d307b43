#pragma once

#include <QTreeWidget>

namespace pictavo {

// A folder chooser in one list: the folders from the root down to the current one, then
// the folders inside it. Activating a folder (double click, Enter) moves into it.
class DirectoryListBox : public QTreeWidget
{
    Q_OBJECT

public:
    explicit DirectoryListBox(QWidget *parent = nullptr);

    // Moves to the folder, or to its nearest existing parent when it is gone, and tells
    // directoryChanged when that differs from the current one.
    void setDirectory(const QString &path);
    const QString &directory() const { return m_directory; }

signals:
    void directoryChanged(const QString &path);

protected:
    // Enter moves into the folder and goes no further, so the dialog's default button
    // does not close the window.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fill();

    QString m_directory;
};

} // namespace pictavo
