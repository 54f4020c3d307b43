// Files and folders dropped on the import window (or handed on by the main window).
#include "import/dropped_files.h"
#include "import/file_list_box.h"
#include "import/tformselector.h"

#include <QPushButton>
#include <QStatusBar>

namespace pictavo {

void TformSelector::selectDroppedFiles(const QStringList &paths)
{
    if (m_importing)
        return;
    const DroppedFiles dropped = sortDroppedFiles(paths);
    if (dropped.isEmpty())
        return;
    moveToDirectory(dropped.directory);
    // A name chosen with "Open(&O)..." would hide the others: back to every JPEG file.
    listboxFile->setMask(QStringLiteral("*.jpg;*.jpeg"));
    int selected = 0;
    if (dropped.wholeFolder) {
        listboxFile->selectAllEntries();
        if (listboxFile->count() > 0)
            listboxFile->setCurrentRow(0, QItemSelectionModel::Select);
        selected = listboxFile->count();
    } else {
        selected = listboxFile->selectNames(dropped.names);
    }
    bitbtnAppend->setEnabled(true);
    m_pipeline.PreviewFile(listboxFile->selectedCurrentPath());
    const int leftOut =
        dropped.leftOut + int(dropped.names.size()) - (dropped.wholeFolder ? 0 : selected);
    panelStatusBar->showMessage(
        leftOut > 0 ? QStringLiteral("%1 files selected; %2 dropped items are not JPEG files of "
                                     "this folder.")
                          .arg(selected)
                          .arg(leftOut)
                    : QStringLiteral("%1 files selected.").arg(selected));
}

} // namespace pictavo
