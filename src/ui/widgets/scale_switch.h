#pragma once

#include <functional>

class QAction;
class QGroupBox;
class QRadioButton;
class QWidget;

namespace pictavo {

// The "Scale" choice of a window that shows one picture: the group with "Auto" and
// "1/1", and the Option menu's "Auto Scale(&A)" item, kept in step. The mode kept here
// decides; every command draws the picture again in the mode it ends in.
class ScaleSwitch
{
public:
    // Runs a command under the window's error report.
    using Guard = std::function<bool(const std::function<void()> &)>;
    // Draws the window's picture, fitted when autoMode is true, else at 1/1.
    using Draw = std::function<void(bool autoMode)>;

    ScaleSwitch(Guard guard, Draw draw) : m_guard(std::move(guard)), m_draw(std::move(draw)) {}

    // The group, named "radiogroupScale", Auto selected; a click on an item selects it.
    QGroupBox *createGroup(QWidget *parent);
    // The menu item: checkable, checked while Auto is the mode.
    void setMenuItem(QAction *autoScaleItem);

    bool autoScale() const { return m_autoScale; }
    QRadioButton *radioAuto() const { return m_radioAuto; }
    QRadioButton *radioOneToOne() const { return m_radioOneToOne; }

    // Sets the mode and the controls, without drawing.
    void setDisplayMode(bool autoMode);
    // The menu item's command: the other mode, drawn.
    void toggle();
    // Fitted again, as after a resize.
    void redrawAuto();

private:
    void choose(bool oneToOne);

    Guard m_guard;
    Draw m_draw;
    bool m_autoScale = true;
    QRadioButton *m_radioAuto = nullptr;
    QRadioButton *m_radioOneToOne = nullptr;
    QAction *m_menuItem = nullptr;
};

} // namespace pictavo
