#pragma once

#include "filter/tformeasyfilter.h"
#include "filter/tformexpertfilter.h"
#include "main/main_window_album.h"
#include "main/tformmain.h"
#include "support/photo_db_fixture.h"
#include "support/scripted_prompter.h"
#include "widgets/tformprocessing.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace pictavo::test {

// The main window on a new photo database, shown, with both filter windows and the busy
// window registered the way start-up does it. Settings live in a temporary directory.
class FilterWindows
{
public:
    FilterWindows();
    ~FilterWindows();

    // Photos with JPEG pictures of their own, stored before open() is called.
    void addPhoto(const QString &prefix, const QString &name, const QString &keywords);
    // Shows the main window on the database.
    void open();

    // What the main window lists: NAME of every row of its grid, and the counter.
    QStringList gridNames() const;
    QString counter() const;

    ScriptedPrompter prompter;
    PhotoDbFixture db;
    std::unique_ptr<TformMain> formMain;
    std::unique_ptr<MainWindowAlbum> album;
    std::unique_ptr<TformEasyFilter> formEasyFilter;
    std::unique_ptr<TformExpertFilter> formExpertFilter;
    std::unique_ptr<TformProcessing> formProcessing; // watches the Album Query

private:
    QTemporaryDir m_settings;
    int m_seed = 1;
};

} // namespace pictavo::test
