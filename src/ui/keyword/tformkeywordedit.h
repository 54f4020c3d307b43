#pragma once

#include "db/table.h"
#include "keyword/activation_reload.h"

#include <QDialog>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace pictavo {

class Prompter;
class AlbumHost;

// Keyword edit: replaces a keyword by another text in the Keyword Strings of all photo
// records. The Append and Remove groups only answer that they are not functional.
class TformKeywordEdit : public QDialog
{
    Q_OBJECT

public:
    TformKeywordEdit(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);

    // Binds both tables to the Album Query's database and refills both lists from the
    // Keyword Table; run each time the window becomes active.
    void FormActivate();

    void menuFileAppendClick();
    void menuFileRemoveClick();
    void menuFileReplaceClick();
    void menuFileCloseClick();

    // The Keyword Table, source of both lists, and the Photo Table the replace works on.
    Table tableKeyWord;
    Table tableAlbum;

    QMenuBar *menuBar = nullptr;
    QAction *menuFileAppend = nullptr;
    QAction *menuFileRemove = nullptr;
    QAction *menuFileReplace = nullptr;
    QAction *menuFileClose = nullptr;
    QAction *menuEditAllClear = nullptr;
    QGroupBox *groupboxReplace = nullptr;
    QLabel *labelOldKeyword = nullptr;
    QListWidget *listboxOldKeyword = nullptr;
    QLabel *labelNewKeyowrd = nullptr;
    QLineEdit *editNewKeyword = nullptr;
    QPushButton *bitbtnReplace = nullptr;
    QGroupBox *groupboxAppend = nullptr;
    QLineEdit *editAppendKeyword = nullptr;
    QPushButton *bitbtnAppend = nullptr;
    QGroupBox *groupboxRemove = nullptr;
    QListWidget *listboxRemoveKeyword = nullptr;
    QPushButton *bitbtnRemove = nullptr;
    QPushButton *bitbtnClose = nullptr;
    QStatusBar *statusbarBottom = nullptr;
    QProgressBar *progressbarProcessing = nullptr;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createMenus();
    QGroupBox *createReplaceGroup();
    QGroupBox *createAppendGroup();
    QGroupBox *createRemoveGroup();
    void createStatusBar();
    // The four buttons are enabled or disabled together.
    void enableButtons(bool enabled);
    void fillList(QListWidget *list, const QStringList &keywords);

    AlbumHost &m_album;
    Prompter &m_prompter;
    ActivationReload m_commands;
};

} // namespace pictavo
