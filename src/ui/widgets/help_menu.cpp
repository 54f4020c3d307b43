#include "widgets/help_menu.h"

#include "info/help_page.h"
#include "widgets/desktop_opener.h"
#include "widgets/error_report.h"

#include <QMenuBar>
#include <optional>

namespace pictavo {

namespace {

DocumentOpener *g_opener = nullptr;
std::optional<HelpLocations> g_locations;

} // namespace

int runHelpCommand(Prompter &prompter, const QString &relativePath)
{
    DesktopOpener desktop;
    DocumentOpener &opener = g_opener ? *g_opener : desktop;
    const int code = openHelpPage(
        relativePath, g_locations ? *g_locations : HelpLocations::ofThisProgram(), opener);
    CheckShellExecute(prompter, code, relativePath);
    return code;
}

HelpMenuItems addHelpMenu(QMenuBar *menuBar, Prompter &prompter, const QString &page)
{
    const HelpMenuSpec *spec = helpMenuSpec(page);
    Q_ASSERT(spec);
    HelpMenuItems items;
    items.menu = menuBar->addMenu(spec->menuCaption);
    auto item = [&](HelpLanguage language, const QString &name) {
        QAction *action = items.menu->addAction(helpItemCaption(language));
        action->setObjectName(name);
        const QString path = helpPagePath(page, language);
        QObject::connect(action, &QAction::triggered, menuBar, [&prompter, path] {
            runGuarded(prompter, [&prompter, &path] { runHelpCommand(prompter, path); });
        });
        return action;
    };
    items.english = item(HelpLanguage::English, spec->englishName);
    items.japanese = item(HelpLanguage::Japanese, spec->japaneseName);
    return items;
}

HelpEnvironmentOverride::HelpEnvironmentOverride(DocumentOpener &opener,
                                                 const HelpLocations &locations)
{
    g_opener = &opener;
    g_locations = locations;
}

HelpEnvironmentOverride::~HelpEnvironmentOverride()
{
    g_opener = nullptr;
    g_locations.reset();
}

} // namespace pictavo
