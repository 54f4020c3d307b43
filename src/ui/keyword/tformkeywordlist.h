#pragma once

#include "db/query.h"

#include <QDialog>

class QAction;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QTableView;

namespace pictavo {

class AlbumModel;
class DbNavigator;
class Prompter;
class AlbumHost;
class TformUpdateKeyword;

// The Keyword Table as an editable grid of keywords and counts, ordered by keyword or by
// count, with the rebuild on command. A row that enters edit loses its count (it is
// typed anew or is 0); a refused post says so before the engine's own text.
class TformKeywordList : public QDialog
{
    Q_OBJECT

public:
    TformKeywordList(AlbumHost &album, Prompter &prompter, QWidget *parent = nullptr);
    ~TformKeywordList() override;

    // The rebuild window "Update Keyword(&U)" shows; the command is there only once it is
    // set.
    void setUpdateKeyword(TformUpdateKeyword *form);

    void FormCreate();
    void FormShow();
    void FormResize();
    void menuFileUpdateKeywordClick();
    void menuFileCloseClick();
    void menuOptionOrderByKeywordClick();
    void menuOptionOrderByCountClick();
    void bitbtnCloseClick();

    Query queryKeyword;

    QMenuBar *menuBar = nullptr;
    QAction *menuFileUpdateKeyword = nullptr;
    QAction *menuFileClose = nullptr;
    QAction *menuOptionOrderByKeyword = nullptr;
    QAction *menuOptionOrderByCount = nullptr;
    QTableView *dbgridKeyword = nullptr;
    AlbumModel *datasourceKeyword = nullptr;
    QWidget *panelBottom = nullptr;
    QWidget *panelButtons = nullptr;
    DbNavigator *dbnavigatorKeyword = nullptr;
    QPushButton *bitbtnClose = nullptr;
    QStatusBar *statusbarBottom = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createGrid();
    void createBottom();
    void hookQuery();
    // Closes the list, binds it to the main window's database and opens it again.
    void reopen();
    void chooseOrder(bool byCount);
    void followCurrentRecord();
    bool guard(const std::function<void()> &command);

    AlbumHost &m_album;
    Prompter &m_prompter;
    TformUpdateKeyword *m_updateKeyword = nullptr;
    bool m_followingGrid = false;
};

} // namespace pictavo
