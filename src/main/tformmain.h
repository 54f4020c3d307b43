#pragma once

#include "db/query.h"
#include "db/table.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTableView;

namespace pictavo {

class AlbumModel;
class Prompter;

// The main window: the Album Query over the Photo Table, the picture of the current
// record above a grid of the record set, and the command panel.
class TformMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TformMain(Prompter &prompter, QWidget *parent = nullptr);
    ~TformMain() override;

    // Writes the Album Query's record count (0 when closed) into the counter.
    void ShowRecordCount();
    // The slideshow wait time in seconds, shown on the Option menu.
    void SetWaitTime(int seconds);
    int waitTime() const { return m_waitTime; }
    bool panelDockedRight() const { return m_panelRight; }
    void setPanelDockedRight(bool right);
    bool RecordModified = false;

    // File menu
    void menuFileNewClick();
    void menuFileOpenClick();
    void menuFileExitClick();
    // Option menu
    void menuOptionDeleteRegistoryClick();

    Query queryAlbum;
    Table tableKeyword;

    QAction *menuFileNew = nullptr;
    QAction *menuFileOpen = nullptr;
    QAction *menuFileExit = nullptr;
    QAction *menuOptionDeleteRegistory = nullptr;
    QAction *menuOptionWaitTimeLine = nullptr;
    QWidget *panelCommand = nullptr;
    QLineEdit *editCounter = nullptr;
    QPushButton *bitbtnExit = nullptr;
    QScrollArea *scrollboxViewArea = nullptr;
    QLabel *imageViewArea = nullptr;
    QTableView *dbgridAlbum = nullptr;
    AlbumModel *datasourceAlbum = nullptr;

private:
    void createMenus();
    void createPanel();
    void hookAlbumQuery();
    void LoadSettings();
    void SaveSettings();
    // Closes the Album Query and the keyword table, binds them to the directory and opens
    // them again, counting the records in between.
    void bindDatabase(const QString &directory);
    void openAtStartup(const QString &directory);
    // Runs a command inside the general error report.
    void guard(const std::function<void()> &command);

    Prompter &m_prompter;
    QWidget *m_body = nullptr; // picture and grid, beside the panel
    bool m_panelRight = true;
    int m_waitTime = 3;
};

} // namespace pictavo
