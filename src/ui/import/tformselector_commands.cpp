// The import window's commands, and what an import run asks of the window.
#include "base/prompter.h"
#include "import/directory_list_box.h"
#include "import/file_list_box.h"
#include "import/tformselector.h"
#include "keyword/keyword_table.h"
#include "widgets/draw_picture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>

namespace pictavo {

void TformSelector::LoadKeywordToListBox()
{
    tableKeyWord.close();
    tableKeyWord.setDatabaseName(m_album.albumQuery().databaseName());
    const QStringList keywords = readAllKeywords(tableKeyWord);
    tableKeyWord.close();
    // An empty Keyword Table leaves the list as it was.
    if (keywords.isEmpty())
        return;
    checklistboxKeyWords->clear();
    for (const QString &keyword : keywords) {
        auto *item = new QListWidgetItem(keyword, checklistboxKeyWords);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

QStringList TformSelector::tickedKeywords() const
{
    QStringList ticked;
    for (int row = 0; row < checklistboxKeyWords->count(); ++row) {
        const QListWidgetItem *item = checklistboxKeyWords->item(row);
        if (item->checkState() == Qt::Checked)
            ticked << item->text();
    }
    return ticked;
}

void TformSelector::listboxFileDblClick()
{
    // A click that deselected the current entry previews nothing: the path is empty.
    m_pipeline.PreviewFile(listboxFile->selectedCurrentPath());
}

void TformSelector::menuFileOpenClick()
{
    const std::optional<QString> file =
        m_prompter.openFile(QStringLiteral("JPEG file selector"), QStringLiteral("*.jpg"),
                            QStringLiteral("*.jpg;*.jpeg|*.jpg;*.jpeg"));
    if (!file)
        return;
    const QFileInfo info(*file);
    moveToDirectory(info.absolutePath());
    // The mask keeps that name for the rest of the program's run, whatever folder follows.
    listboxFile->setMaskToName(info.fileName());
    listboxFile->selectFirstEntry();
    m_pipeline.PreviewFile(info.absoluteFilePath());
}

void TformSelector::menuFileSelectAllClick()
{
    bitbtnAppend->setEnabled(true);
    if (listboxFile->count() == 0) {
        m_prompter.warning(QStringLiteral("No JPEG file."));
        return;
    }
    listboxFile->selectAllEntries();
}

void TformSelector::menuFileInportClick()
{
    m_closeAfterRun = false;
    m_pipeline.keywordsFromFiles = checkboxKeywordsFromFiles->isChecked();
    m_keywordWarnings.clear();
    labelKeywordWarnings->clear();
    labelKeywordWarnings->setToolTip(QString());
    // A failure the run does not handle ends it with the window idle; it is reported here.
    guard([this] {
        m_pipeline.run(listboxFile->directory(), listboxFile->entries(), editPrefix->text(),
                       tickedKeywords(), editKeyWord->text(),
                       menuOptionRemoveAfterInport->isChecked());
    });
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        done(AbortResult);
    }
}

void TformSelector::menuFileCancelInportClick()
{
    m_pipeline.CancelRequested = true;
}

void TformSelector::bitbtnCancelClick()
{
    menuFileCancelInportClick();
    m_closeAfterRun = true;
}

void TformSelector::menuFileExitClick()
{
    reject();
}

void TformSelector::menuOptionLayoutClick()
{
    setPanelDockedRight(!m_panelRight);
}

void TformSelector::menuOptionAutoScaleClick()
{
    m_scale.toggle();
}

void TformSelector::menuOptionRemoveAfterInportClick()
{
    checkboxRemoveAfterInport->setChecked(menuOptionRemoveAfterInport->isChecked());
}

void TformSelector::checkboxRemoveAfterInportClick()
{
    menuOptionRemoveAfterInport->setChecked(checkboxRemoveAfterInport->isChecked());
}

void TformSelector::setBusyPointer(bool busy)
{
    if (busy == m_busyPointer)
        return;
    m_busyPointer = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (QApplication::overrideCursor()) // the error report may have taken it already
        QApplication::restoreOverrideCursor();
}

void TformSelector::setImporting(bool importing)
{
    m_importing = importing;
    // The hourglass shows while a file is previewed, compared and stored; every way out
    // of a run ends here.
    setBusyPointer(importing);
    const bool idle = !importing;
    const QList<QWidget *> controls{bitbtnAppend,    bitbtnClose,
                                    radiogroupScale, checkboxRemoveAfterInport,
                                    comboboxDrive,   listboxDir,
                                    listboxFile,     editPrefix,
                                    editKeyWord,     checkboxKeywordsFromFiles};
    for (QWidget *control : controls)
        control->setEnabled(idle);
    for (QAction *command : {menuFileExit, menuFileInport, menuFileOpen, menuFileSelectAll})
        command->setEnabled(idle);
    m_menuOption->menuAction()->setEnabled(idle);
    for (QAction *command : m_menuOption->actions())
        command->setEnabled(idle);
    m_menuHelp->menuAction()->setEnabled(idle);
    for (QAction *command : m_menuHelp->actions())
        command->setEnabled(idle);
    bitbtnCancel->setEnabled(importing);
}

void TformSelector::setProgress(int position, int maximum)
{
    // A maximum of 0 would turn the bar into a busy indicator.
    progressbarInport->setMaximum(std::max(maximum, 1));
    progressbarInport->setValue(position);
}

void TformSelector::letInputThrough()
{
    // Between files the normal pointer shows, so that Abort looks as clickable as it is.
    setBusyPointer(false);
    QCoreApplication::processEvents();
    setBusyPointer(m_importing);
}

void TformSelector::drawPreview()
{
    m_scale.setDisplayMode(true);
    DrawPicture(m_pipeline.imageTmp, imageViewArea, scrollboxViewArea, true);
    scrollboxViewArea->repaint();
}

void TformSelector::decodeProgress(bool running, int percent)
{
    panelStatusBar->showMessage(running ? QString::asprintf("Loading %2d%%", percent) : QString());
    // The decode holds the event loop: paint now or the text is never seen.
    panelStatusBar->repaint();
}

void TformSelector::refreshAfterRemoval()
{
    listboxFile->refresh();
    imageViewArea->hide();
}

} // namespace pictavo
