#include "app/qt_prompter.h"
#include "app/regutl.h"
#include "filter/tformeasyfilter.h"
#include "filter/tformexpertfilter.h"
#include "import/tformselector.h"
#include "main/tformmain.h"
#include "view/tformslide.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    using namespace pictavo;
    if (!regutl::KeyExists(regutl::kSettingsKey))
        regutl::MakeKey(regutl::kSettingsKey);
    QApplication::setApplicationName(QStringLiteral("Pictavo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pictavo"));

    QtPrompter prompter;
    // The main window is created first: it reads its settings and opens the saved
    // database before any other window exists. Closing it ends the program. The other
    // windows stay hidden until a command shows them; being declared after it, they are
    // destroyed (and write their settings) before it.
    TformMain formMain(prompter);
    TformSelector formSelector(formMain, prompter, &formMain);
    TformEasyFilter formEasyFilter(formMain, prompter, &formMain);
    TformExpertFilter formExpertFilter(formMain, formEasyFilter, prompter, &formMain);
    TformSlide formSlide(prompter, &formMain);
    formMain.setSlide(&formSlide);
    formMain.setSelector(&formSelector);
    formMain.setEasyFilter(&formEasyFilter);
    formMain.setExpertFilter(&formExpertFilter);
    formSelector.setEasyFilterReset([&formEasyFilter] { formEasyFilter.ClearAll(); });
    formMain.show();
    return QApplication::exec();
}
