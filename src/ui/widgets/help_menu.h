#pragma once

#include "info/help_launcher.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace pictavo {

class Prompter;

struct HelpMenuItems
{
    QMenu *menu = nullptr;
    QAction *english = nullptr;
    QAction *japanese = nullptr;
};

// Adds the Help menu of the window whose page is given ("main", "inportfile", "easyfilter",
// "expertfilter", "keywordlist", "keywordedit", "keywordassist", "thumbnails") to its menu
// bar: the window's own caption, "in English(&E)" and "in Japanese(&J)" named as that
// window names them, each opening the page and reporting a failure through
// CheckShellExecute.
HelpMenuItems addHelpMenu(QMenuBar *menuBar, Prompter &prompter, const QString &page);

// Opens one page as a help item does; returns the result code.
int runHelpCommand(Prompter &prompter, const QString &relativePath);

// While it lives, help items open pages through the given opener and look for them in the
// given places instead of the desktop's and the program's.
class HelpEnvironmentOverride
{
public:
    HelpEnvironmentOverride(DocumentOpener &opener, const HelpLocations &locations);
    ~HelpEnvironmentOverride();
    HelpEnvironmentOverride(const HelpEnvironmentOverride &) = delete;
    HelpEnvironmentOverride &operator=(const HelpEnvironmentOverride &) = delete;
};

} // namespace pictavo
