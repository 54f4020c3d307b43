#pragma once

#include "filter/filter_window.h"

#include <QStringList>

class QAction;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace pictavo {

class AlbumHost;

// The expert filter: shows the Album Query's statement as text and runs an edited one.
class TformExpertFilter : public FilterWindow
{
    Q_OBJECT

public:
    TformExpertFilter(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);

    // The editor's lines; none when the editor is empty. A blank line is a line.
    QStringList editorLines() const;

    void FormShow() override;
    void menuFileResetClick();
    void menuFileExecuteClick();
    void menuFileCloseClick();

    QAction *menuFileReset = nullptr;
    QAction *menuFileExecute = nullptr;
    QAction *menuFileClose = nullptr;
    QAction *menuHelpInEng = nullptr;
    QAction *menuHelpInJap = nullptr;
    QWidget *panelTop = nullptr;
    QLabel *labelExample = nullptr;
    QLabel *labelSQL = nullptr;
    QPlainTextEdit *memoSQL = nullptr;
    QPushButton *bitbtnReset = nullptr;
    QPushButton *bitbtnExecute = nullptr;
    QPushButton *bitbtnClose = nullptr;

private:
    void createMenus();
    void createButtons();

    AlbumHost &m_album;
};

} // namespace pictavo
