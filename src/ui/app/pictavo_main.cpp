#include "app/qt_prompter.h"
#include "base/regutl.h"
#include "filter/tformeasyfilter.h"
#include "filter/tformexpertfilter.h"
#include "import/tformselector.h"
#include "keyword/tformkeywordassist.h"
#include "keyword/tformkeywordedit.h"
#include "keyword/tformkeywordlist.h"
#include "keyword/tformupdatekeyword.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "picture/picture_memory.h"
#include "slide/tformslide.h"
#include "slide/tformsplash.h"
#include "thumbnails/tformthumbnails.h"
#include "widgets/program_icon.h"
#include "widgets/tformprocessing.h"

#include <QApplication>
#include <QScopeGuard>

namespace {

int run(pictavo::Prompter &prompter)
{
    using namespace pictavo;
    // The main window is created first: it reads its settings and opens the saved
    // database before any other window exists. Closing it ends the program. The other
    // windows stay hidden until a command shows them; being declared after it, they are
    // destroyed (and write their settings) before it.
    TformMain formMain(prompter);
    // The other windows see the main window through this seam only. The import has one
    // of its own, which repaints it along with the main window after each photo stored.
    MainWindowAlbum album(formMain);
    MainWindowAlbum importAlbum(formMain);
    TformSelector formSelector(importAlbum, prompter, &formMain);
    importAlbum.setStoringWindow(&formSelector);
    TformEasyFilter formEasyFilter(album, prompter, &formMain);
    TformExpertFilter formExpertFilter(album, prompter, &formMain);
    album.easyFilterReset = [&formEasyFilter] { formEasyFilter.ClearAll(); };
    TformSlide formSlide(prompter, &formMain);
    formMain.setSlide(&formSlide);
    // Keyword table rebuild and keyword list.
    TformUpdateKeyword formUpdateKeyword(album, prompter, &formMain);
    TformKeywordList formKeywordList(album, prompter, &formMain);
    formKeywordList.setUpdateKeyword(&formUpdateKeyword);
    formMain.setKeywordList(&formKeywordList);

    formMain.setSelector(&formSelector);
    formMain.setEasyFilter(&formEasyFilter);
    formMain.setExpertFilter(&formExpertFilter);
    TformKeywordEdit formKeywordEdit(album, prompter, &formMain);
    formMain.setKeywordEdit(&formKeywordEdit);
    formMain.setKeywordAssist(
        [&](QWidget *parent) { return new TformKeywordAssist(album, prompter, parent); });
    TformThumbnails formThumbnails(album, prompter, &formMain);
    formMain.setThumbnails(&formThumbnails);
    importAlbum.easyFilterReset = album.easyFilterReset;
    // The busy window is created last and stays hidden, unless a query of the main
    // window runs long: it then offers to stop it.
    TformProcessing formProcessing(&formMain);
    formMain.queryAlbum.setWatcher(&formProcessing);
    const auto unwatch = qScopeGuard([&formMain] { formMain.queryAlbum.setWatcher(nullptr); });
    formMain.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    using namespace pictavo;
    KeepPictureBuffersForReuse();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(programIcon());
    // The splash covers the rest of start-up and goes by itself once the program waits.
    TformSplash::showAtStartup();
    QtPrompter prompter;
    // A settings file that cannot be read or written is reported here, and the program
    // goes on with its settings in memory.
    regutl::PrepareSettingsKey(prompter);
    QApplication::setApplicationName(QStringLiteral("Pictavo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pictavo"));
    const int status = run(prompter);
    // Settings that could first not be saved at the end of the run are reported too.
    regutl::ReportSettingsProblem(prompter);
    return status;
}
