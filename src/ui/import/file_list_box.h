#pragma once

#include "import/import_pipeline.h"

#include <QListWidget>
#include <QRegularExpression>

namespace pictavo {

// The bare names of the files of one folder that match a mask, sorted by name, several
// selectable. It tells apart the selection changes the user makes (mouse, keyboard) from
// those its owner makes.
class FileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit FileListBox(QWidget *parent = nullptr);

    // Each re-reads the folder.
    void setDirectory(const QString &path);
    // Patterns separated by ";", letter case ignored.
    void setMask(const QString &mask);
    // A mask that matches exactly that name (letter case ignored), wildcards included.
    void setMaskToName(const QString &name);
    void refresh();

    const QString &directory() const { return m_directory; }
    const QString &mask() const { return m_mask; }
    QString filePath(const QString &entry) const;
    // Every entry in list order with its selection.
    QVector<ImportEntry> entries() const;
    // The full path of the current entry, or empty when it is not selected.
    QString selectedCurrentPath() const;

    void selectAllEntries();
    // Selects the first entry alone and makes it current.
    void selectFirstEntry();
    // Selects exactly the entries of those names and makes the first of them current;
    // the number selected.
    int selectNames(const QStringList &names);

signals:
    void selectionChangedByUser();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QList<int> selectedRows() const;
    template <typename Handler> void watchUser(Handler handler);

    QString m_directory;
    QString m_mask;
    QList<QRegularExpression> m_patterns;
};

} // namespace pictavo
