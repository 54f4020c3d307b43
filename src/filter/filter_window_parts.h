#pragma once

#include <QList>

class QDialog;
class QPushButton;
class QString;
class QWidget;

namespace pictavo {

// What the two filter windows share: a caption without title-bar buttons, a bottom panel
// whose row of buttons stays centred, and the first position in the middle of the screen.

// Names the window, gives it its caption and removes the system menu and title-bar buttons.
void setUpFilterWindow(QDialog *window, const QString &objectName, const QString &caption);

struct ButtonPanel
{
    QWidget *panelBottom = nullptr;
    QWidget *panelButtons = nullptr;
};

// A bottom panel holding the buttons side by side, left to right, on a panel of their own
// size that is placed by centreButtonPanel rather than by a layout.
ButtonPanel makeButtonPanel(QWidget *parent, const QList<QPushButton *> &buttons);

// The button panel's left edge: half the bottom panel's width minus half its own (each
// half rounded toward zero), never left of 0.
void centreButtonPanel(QWidget *panelBottom, QWidget *panelButtons);

// Moves the window to the middle of the screen it is on (the primary one when unsure).
void centreOnScreen(QWidget *window);

} // namespace pictavo
