#include "app/qt_prompter.h"
#include "app/regutl.h"
#include "main/tformmain.h"

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
    // database before any other window exists. Closing it ends the program.
    TformMain formMain(prompter);
    formMain.show();
    return QApplication::exec();
}
