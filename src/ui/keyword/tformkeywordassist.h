#pragma once

#include "db/table.h"
#include "keyword/activation_reload.h"
#include "keyword/keyword_assist_list.h"
#include "widgets/window_seams.h"

class QAction;
class QListWidget;
class QMenuBar;
class QPushButton;
class QStatusBar;

namespace pictavo {

class Prompter;
class AlbumHost;

// The keyword entry assistant: every keyword of the Keyword Table with a check box, the
// keywords of the main window's current record checked; Enter writes the checked ones into
// that record. Made on demand by the main window and destroyed by its own Close; it keeps
// its position and size in the settings under its name.
class TformKeywordAssist : public KeywordAssistWindow
{
    Q_OBJECT

public:
    TformKeywordAssist(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);
    ~TformKeywordAssist() override;

    void LoadKeywordToListBox() override;
    // Keeps the two buttons centred.
    void FormResize();

    void bitbtnEnterClick();
    void menuFileCloseClick();

    // The entries as the list holds them, in its order.
    AssistEntries entries() const;

    Table tableKeyWord;

    QMenuBar *menuBar = nullptr;
    QAction *menuFileEnter = nullptr;
    QAction *menuFileClose = nullptr;
    QListWidget *checklistboxKeywords = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *bitbtnEnter = nullptr;
    QPushButton *bitbtnClose = nullptr;
    QStatusBar *StatusBar1 = nullptr;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormDestroy();
    void setEntries(const AssistEntries &entries);
    // Esc and every other way of dismissing the window close it, and so destroy it.
    void reject() override;

    AlbumHost &m_album;
    ActivationReload m_commands;
};

} // namespace pictavo
