#pragma once

#include <QList>
#include <QString>

namespace pictavo {

class Prompter;

enum class HelpLanguage
{
    English,
    Japanese
};

// One window's Help menu: its caption, the object names of its two items, and the page
// both items open. The captions and names differ between windows and are kept as they are.
struct HelpMenuSpec
{
    QString page;
    QString menuCaption;
    QString englishName;
    QString japaneseName;
};

// The Help menus of the eight windows that have one.
const QList<HelpMenuSpec> &helpMenuSpecs();
// The menu of the window whose page is given; nullptr for a page no window has.
const HelpMenuSpec *helpMenuSpec(const QString &page);

QString helpItemCaption(HelpLanguage language);

// The page's path relative to the program's current directory, as the program has always
// named it: "..\manual\pv-main.html", "..\manual\pv-main-j.html".
QString helpPagePath(const QString &page, HelpLanguage language);

// The result code of an open request that did not happen: the page was found nowhere.
constexpr int kHelpNotFound = 2;
// The desktop has no program that opens the page.
constexpr int kHelpNoOpener = 31;
// Any code above this one is success.
constexpr int kHelpLastFailure = 32;
constexpr int kHelpOpened = 33;

// Warns with the path and the code when the code is a failure (32 or less); otherwise
// does nothing.
void CheckShellExecute(Prompter &prompter, int code, const QString &path);

} // namespace pictavo
