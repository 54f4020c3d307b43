#pragma once

#include <QDialog>
#include <QList>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QVBoxLayout;

namespace pictavo {

class Prompter;

// What the two filter windows share: a caption without title-bar buttons, a menu bar, a
// bottom panel whose row of buttons stays centred, a status bar, the first position in
// the middle of the screen, and every command run under the general error report.
class FilterWindow : public QDialog
{
    Q_OBJECT

public:
    // Runs each time the window is shown by the program.
    virtual void FormShow() = 0;
    // Keeps the row of buttons centred in the bottom panel: half the panel's width minus
    // half the row's (each half rounded toward zero), never left of 0.
    void FormResize();

    QMenuBar *menuBar = nullptr;
    QWidget *panelBottom = nullptr;
    QWidget *panelButtons = nullptr;
    QStatusBar *barStatus = nullptr;

protected:
    FilterWindow(const QString &objectName, const QString &caption, Prompter &prompter,
                 QWidget *parent);

    // The window's column: menu bar above, then what the window adds, then the bottom.
    QVBoxLayout *column() const { return m_column; }
    QAction *addCommand(QMenu *menu, const QString &caption, std::function<void()> handler);
    // A button for the bottom row, left to right in the order they are made.
    QPushButton *addButton(const QString &caption, const QString &objectName,
                           std::function<void()> handler);
    // Puts the bottom panel with the buttons made so far, then the status bar, under
    // what the window has added to its column.
    void finishBottom();
    bool guard(const std::function<void()> &command);

    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    Prompter &m_prompter;

private:
    QVBoxLayout *m_column = nullptr;
    QList<QPushButton *> m_buttons;
};

} // namespace pictavo
