#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace pictavo {

class Prompter;
class TformEasyFilter;
class TformMain;

// The expert filter: shows the Album Query's statement as text and runs an edited one.
class TformExpertFilter : public QDialog
{
    Q_OBJECT

public:
    TformExpertFilter(TformMain &formMain, TformEasyFilter &easyFilter, Prompter &prompter,
                      QWidget *parent = nullptr);

    // The editor's lines; none when the editor is empty. A blank line is a line.
    QStringList editorLines() const;

    void FormShow();
    void FormResize();
    void menuFileResetClick();
    void menuFileExecuteClick();
    void menuFileCloseClick();

    QMenuBar *menuBar = nullptr;
    QAction *menuFileReset = nullptr;
    QAction *menuFileExecute = nullptr;
    QAction *menuFileClose = nullptr;
    QWidget *panelTop = nullptr;
    QLabel *labelExample = nullptr;
    QLabel *labelSQL = nullptr;
    QPlainTextEdit *memoSQL = nullptr;
    QWidget *panelBottom = nullptr;
    QWidget *panelButtons = nullptr;
    QPushButton *bitbtnReset = nullptr;
    QPushButton *bitbtnExecute = nullptr;
    QPushButton *bitbtnClose = nullptr;
    QStatusBar *barStatus = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createButtons();
    bool guard(const std::function<void()> &command);

    TformMain &m_formMain;
    TformEasyFilter &m_easyFilter;
    Prompter &m_prompter;
};

} // namespace pictavo
