#pragma once

#include "db/table.h"
#include "import/import_hosts.h"
#include "import/import_pipeline.h"
#include "widgets/scale_switch.h"
#include "widgets/window_seams.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStatusBar;

namespace pictavo {

class DirectoryListBox;
class FileListBox;
class Prompter;

// The import window: picks JPEG files on the disk, previews them, takes a prefix and
// keywords, and runs the import into the main window's Album Query, which it sees
// through the album seam only.
class TformSelector : public ImportWindow, public ImportHost
{
    Q_OBJECT

public:
    // The result of a showing closed by "Abort" once its run had ended.
    static constexpr int AbortResult = 3;

    TformSelector(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);
    ~TformSelector() override;

    bool panelDockedRight() const { return m_panelRight; }
    void setPanelDockedRight(bool right);
    // True in Auto mode (fitted), false in 1/1 mode.
    bool autoScale() const { return m_scale.autoScale(); }
    // Points the drive box, the directory list and the file list at the folder.
    void moveToDirectory(const QString &path);
    // Files and folders dropped here or on the main window: their folder is listed and
    // they are selected (a folder: all its JPEG files), ready for "Inport".
    void selectDroppedFiles(const QStringList &paths) override;
    ImportPipeline &pipeline() { return m_pipeline; }

    void LoadKeywordToListBox();
    void listboxFileDblClick();
    void menuFileOpenClick();
    void menuFileSelectAllClick();
    void menuFileInportClick();
    void menuFileCancelInportClick();
    void bitbtnCancelClick();
    void menuFileExitClick();
    void menuOptionLayoutClick();
    void menuOptionAutoScaleClick();
    void menuOptionRemoveAfterInportClick();
    void checkboxRemoveAfterInportClick();

    // ImportHost
    void setImporting(bool importing) override;
    void setProgress(int position, int maximum) override;
    void letInputThrough() override;
    void drawPreview() override;
    void decodeProgress(bool running, int percent) override;
    void refreshAfterRemoval() override;

    QMenuBar *menuBar = nullptr;
    QAction *menuFileOpen = nullptr;
    QAction *menuFileSelectAll = nullptr;
    QAction *menuFileInport = nullptr;
    QAction *menuFileCancelInport = nullptr;
    QAction *menuFileExit = nullptr;
    QAction *menuEditRefreshList = nullptr;
    QAction *menuOptionLayout = nullptr;
    QAction *menuOptionAutoScale = nullptr;
    QAction *menuOptionRemoveAfterInport = nullptr;
    QAction *menuHelpInEng = nullptr;
    QAction *menuHelpInJap = nullptr;
    QWidget *panelCommand = nullptr;
    QWidget *panelTop = nullptr;
    QGroupBox *radiogroupScale = nullptr;
    QRadioButton *radioAuto = nullptr;
    QRadioButton *radioOneToOne = nullptr;
    QCheckBox *checkboxRemoveAfterInport = nullptr;
    QLabel *labelPrefix = nullptr;
    QLineEdit *editPrefix = nullptr;
    QLabel *labelKeyword = nullptr;
    QLineEdit *editKeyWord = nullptr;
    QComboBox *comboboxDrive = nullptr;
    DirectoryListBox *listboxDir = nullptr;
    FileListBox *listboxFile = nullptr;
    QListWidget *checklistboxKeyWords = nullptr;
    // Keywords the files carry are added to those given; kept with the window's settings.
    QCheckBox *checkboxKeywordsFromFiles = nullptr;
    // In the status bar: the files of the run whose keywords were passed over as damaged.
    QLabel *labelKeywordWarnings = nullptr;
    QProgressBar *progressbarInport = nullptr;
    QPushButton *bitbtnRefresh = nullptr;
    QPushButton *bitbtnAppend = nullptr;
    QPushButton *bitbtnCancel = nullptr;
    QPushButton *bitbtnClose = nullptr;
    QScrollArea *scrollboxViewArea = nullptr;
    QLabel *imageViewArea = nullptr;
    QStatusBar *panelStatusBar = nullptr;
    Table tableKeyWord;

public slots:
    // A run in progress keeps the window open: Esc and the window manager wait for it.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createPanel();
    QWidget *createFolderColumn(QWidget *parent);
    void fillDrives();
    // The drive box and the file list follow the directory list.
    void followDirectory(const QString &path);
    void LoadPanelLayout();
    void SavePanelLayout();
    QStringList tickedKeywords() const;
    bool guard(const std::function<void()> &command);

    Prompter &m_prompter;
    AlbumHost &m_album;
    ImportPipeline m_pipeline;
    ScaleSwitch m_scale;
    QWidget *m_body = nullptr;
    QMenu *m_menuOption = nullptr;
    QMenu *m_menuHelp = nullptr;
    bool m_panelRight = true;
    // The hourglass over the whole program, pushed and taken back once.
    void setBusyPointer(bool busy);
    bool m_importing = false;
    bool m_busyPointer = false;
    bool m_closeAfterRun = false;
    QStringList m_keywordWarnings;
};

} // namespace pictavo
