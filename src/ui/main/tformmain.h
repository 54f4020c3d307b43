#pragma once

#include "album/slideshow.h"
#include "db/query.h"
#include "db/table.h"
#include "picture/display_picture.h"
#include "picture/look_ahead_decoder.h"
#include "thumbnails/thumbnail_cache.h"
#include "widgets/scale_switch.h"
#include "widgets/window_seams.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QTableView;
class QTimer;

namespace pictavo {

class AlbumModel;
class DbNavigator;
class Prompter;

// The main window: the Album Query over the Photo Table, the picture of the current
// record above a grid of the record set, and the command panel.
class TformMain : public QMainWindow, private SlideHost
{
    Q_OBJECT

public:
    explicit TformMain(Prompter &prompter, QWidget *parent = nullptr);
    ~TformMain() override;

    // Writes the Album Query's record count (0 when closed) into the counter; an empty
    // set shows no picture.
    void ShowRecordCount();
    // The slideshow wait time in seconds, shown on the Option menu.
    void SetWaitTime(int seconds);
    // Drops the held photo and hides the picture.
    void hidePicture();
    int waitTime() const { return m_waitTime; }
    bool panelDockedRight() const { return m_panelRight; }
    void setPanelDockedRight(bool right);
    // True in Auto mode (fitted), false in 1/1 mode (full size).
    bool autoScale() const { return m_scale.autoScale(); }

    bool RecordModified = false;
    qint64 PostedSerial = 0;

    // File menu
    void menuFileNewClick();
    void menuFileOpenClick();
    void menuFileInportFileClick();
    void menuFileDeleteClick();
    void menuFileExportCurrentClick();
    void menuFileExitClick();
    // Backup, the export of the set, and drops (tformmain_maintenance.cpp)
    void menuFileBackupClick();
    void menuFileExportSetClick();
    // Asks a running export of the set to stop after the photo being written.
    void bitbtnStopExportClick() { m_stopExport = true; }
    // Files and folders dropped on the window: the import window opens with them selected.
    void filesDropped(const QStringList &paths);
    // Display menu
    void menuDisplayEasyFilterClick();
    void menuDisplayExpertFilterClick();
    void menuDisplayRefreshClick();
    void menuDisplaySlideClick();
    void menuDisplaySlideshowClick();
    // The thumbnail window, shown and brought to the front; not modal.
    void menuDisplayThumbnailsClick();

    // The windows this one opens, created after it by start-up; their commands appear once
    // they exist.
    void setSelector(ImportWindow *form);
    void setEasyFilter(QDialog *form);
    void setExpertFilter(QDialog *form);

    // Keyword list: shown modally.
    void setKeywordList(QDialog *form);
    void menuDisplayKeywordListClick();
    QAction *menuDisplayKeywordList = nullptr;

    // Keyword windows: keyword edit (made at start-up, modal) and the keyword entry
    // assistant (made on first use by `make`, not modal, gone after its own Close).
    void setKeywordEdit(QDialog *form);
    void setKeywordAssist(std::function<KeywordAssistWindow *(QWidget *parent)> make);
    void menuDisplayKeywordEditClick();
    void menuDisplayKeywordAssistClick();
    QAction *menuDisplayKeywordEdit = nullptr;
    QAction *menuDisplayKeywordAssist = nullptr;
    QPushButton *bitbtnAssistant = nullptr;
    void setSlide(SlideWindow *form);
    // The thumbnail window, made after this one; its command appears once it exists.
    void setThumbnails(QWidget *form);
    // Option menu
    void menuOptionDeleteRegistoryClick();
    void menuOptionChangePanelLayoutClick();
    void menuOptionAutoScaleClick();
    void menuOptionHigherClick();
    void menuOptionLowerClick();
    // Help menu
    void menuHelpVersionClick();
    void menuOptionWaitTimeClick();
    void timerWaitTimeTimer();

    // Decodes the next record's photo while the current one is shown.
    LookAheadDecoder &lookAhead() { return m_lookAhead; }
    const Slideshow &slideshow() const { return m_slideshow; }
    // The thumbnails of the open library, which the thumbnail window draws and the import
    // writes.
    ThumbnailCache &thumbnailCache() { return m_thumbnails; }

    Query queryAlbum;
    Table tableKeyword;
    // The decoded photo of the current record, kept for redraws.
    DisplayPicture imageTmp;

    QAction *menuFileNew = nullptr;
    QAction *menuFileOpen = nullptr;
    QAction *menuFileBackup = nullptr;
    QProgressBar *progressbarBackup = nullptr;
    // In the status bar while the open library cannot be written.
    QLabel *labelReadOnly = nullptr;
    QAction *menuFileInportFile = nullptr;
    QAction *menuFileDelete = nullptr;
    QAction *menuFileExportCurrent = nullptr;
    QAction *menuFileExportSet = nullptr;
    // In the status bar while the set is exported.
    QProgressBar *progressbarExport = nullptr;
    QPushButton *bitbtnStopExport = nullptr;
    QAction *menuFileExit = nullptr;
    QAction *menuDisplayEasyFilter = nullptr;
    QAction *menuDisplayExpertFilter = nullptr;
    QAction *menuDisplayRefresh = nullptr;
    QAction *menuDisplaySlide = nullptr;
    QAction *menuDisplaySlideshow = nullptr;
    QAction *menuDisplayThumbnails = nullptr;
    QAction *menuOptionDeleteRegistory = nullptr;
    QAction *menuOptionChangePanelLayout = nullptr;
    QAction *menuOptionAutoScale = nullptr;
    QAction *menuOptionLower = nullptr;
    QAction *menuOptionHigher = nullptr;
    QAction *menuHelpInEng = nullptr;
    QAction *menuHelpInJap = nullptr;
    QAction *menuHelpVersion = nullptr;
    QAction *menuOptionWaitTime = nullptr;
    QAction *menuOptionWaitTimeValue = nullptr;
    QTimer *timerWaitTime = nullptr;
    QWidget *panelCommand = nullptr;
    QGroupBox *radiogroupScale = nullptr;
    QRadioButton *radioAuto = nullptr;
    QRadioButton *radioOneToOne = nullptr;
    QPushButton *buttonHigher = nullptr;
    QPushButton *buttonLower = nullptr;
    QLineEdit *editCounter = nullptr;
    QPushButton *bitbtnEasyFilter = nullptr;
    DbNavigator *navigatorMove = nullptr;
    DbNavigator *navigatorStep = nullptr;
    DbNavigator *navigatorEdit = nullptr;
    QPushButton *bitbtnExit = nullptr;
    QScrollArea *scrollboxViewArea = nullptr;
    QLabel *imageViewArea = nullptr;
    QTableView *dbgridAlbum = nullptr;
    AlbumModel *datasourceAlbum = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void createPanel();
    void createGrid(QWidget *parent);
    void hookAlbumQuery();
    void LoadSettings();
    void SaveSettings();
    // Decodes the current record's photo into imageTmp and draws it fitted.
    void showCurrentRecord();
    void changeGridHeight(int delta);
    // Hands the photos of the `ahead` records after the current one to the look-ahead,
    // to be drawn fitted into `area`.
    void prepareNextRecord(QSize area, int ahead = 1);
    // The screen the slide covers: the one this window is on.
    QRect slideScreenArea() const;
    // SlideHost
    void showSlide(bool fitted) override;
    void closeSlide() override;
    void startWaitTimer() override;
    void prepareNext() override;
    // Draws the photo the show left current, which it decoded without drawing here.
    void drawPictureBehindShow();
    void followCurrentRecord();
    // Closes the Album Query and the keyword table, binds them to the directory and opens
    // them again, counting the records in between.
    void bindDatabase(const QString &directory);
    // A library an earlier version made is upgraded first if the user agrees to it; false
    // when it must not be opened.
    bool upgradeAsked(const QString &directory);
    void openAtStartup(const QString &directory);
    // False, after the warning "No database.", when no database is open.
    bool requireDatabase();
    // The same, and false after a warning that names the reason when the open library
    // cannot be written.
    bool requireWritableDatabase();
    // Runs a command inside the general error report; false when it failed.
    bool guard(const std::function<void()> &command);
    // Keyword windows.
    void createKeywordCommands(QMenu *display);
    void createAssistantButton(QLayout *panel);
    // While the assistant exists: brings it forward when asked and reloads its list.
    void reloadKeywordAssist(bool bringForward);

    Prompter &m_prompter;
    ScaleSwitch m_scale;
    QMenu *m_menuFileInport = nullptr;
    ImportWindow *m_selector = nullptr;
    QDialog *m_easyFilter = nullptr;
    QDialog *m_expertFilter = nullptr;
    QDialog *m_keywordList = nullptr;
    QDialog *m_keywordEdit = nullptr;
    std::function<KeywordAssistWindow *(QWidget *parent)> m_makeKeywordAssist;
    QPointer<KeywordAssistWindow> m_keywordAssist;
    SlideWindow *m_slide = nullptr;
    QWidget *m_thumbnailsWindow = nullptr;
    LookAheadDecoder m_lookAhead;
    ThumbnailCache m_thumbnails;
    Slideshow m_slideshow;
    // The current record's photo is decoded but not yet drawn here (a show covers it).
    bool m_pictureBehindShow = false;
    bool m_panelRight = true;
    int m_waitTime = 3;
    bool m_followingGrid = false;
    bool m_shownOnce = false;
    // The export's sidecar check box, as the user left it last.
    bool m_exportXmp = false;
    bool m_stopExport = false;
};

} // namespace pictavo
