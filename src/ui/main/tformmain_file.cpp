// The main window's commands on databases and on the settings store.
#include "album/create_database.h"
#include "album/photo_export.h"
#include "base/prompter.h"
#include "base/regutl.h"
#include "db/database.h"
#include "db/engine_error.h"
#include "db/schema.h"
#include "db/statement_watcher.h"
#include "main/tformmain.h"
#include "maintenance/library_upgrade.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QScopeGuard>

namespace pictavo {

bool TformMain::upgradeAsked(const QString &directory)
{
    bool outdated = false;
    try {
        outdated = libraryNeedsUpgrade(directory);
    } catch (const Error &) {
        return true; // the opening says what is wrong
    }
    if (!outdated)
        return true;
    if (m_prompter.message(Prompter::Kind::Confirmation, upgradeQuestionText(directory),
                           Prompter::Yes | Prompter::No) != Prompter::Yes)
        return false;
    // The busy window that watches long queries offers its Stop here too.
    StatementWatcher *watcher = queryAlbum.watcher();
    const auto finished = qScopeGuard([watcher] {
        if (watcher)
            watcher->finished();
    });
    QElapsedTimer clock;
    clock.start();
    upgradeLibrary(directory, [&](qint64, qint64) {
        if (watcher && !watcher->keepGoing(std::chrono::milliseconds(clock.elapsed())))
            throw Error(QStringLiteral("The upgrade was stopped; the library in \"%1\" was left "
                                       "as it was.")
                            .arg(directory));
    });
    return true;
}

void TformMain::bindDatabase(const QString &directory)
{
    if (!upgradeAsked(directory))
        return;
    // Both components name the new directory before anything can fail, so that a failed
    // opening never leaves new keywords going to the old database's Keyword Table.
    queryAlbum.close();
    tableKeyword.close();
    queryAlbum.setDatabaseName(directory);
    tableKeyword.setDatabaseName(directory);
    try {
        queryAlbum.open();
    } catch (...) {
        if (!queryAlbum.active())
            hidePicture();
        ShowRecordCount();
        // The set is open and only its first photo failed: its keywords still need a
        // Keyword Table.
        if (queryAlbum.active())
            tableKeyword.open();
        throw;
    }
    ShowRecordCount();
    tableKeyword.open();
}

void TformMain::menuFileNewClick()
{
    const std::optional<QString> directory =
        m_prompter.chooseDirectory(QStringLiteral("Select Directory"), QString(), true);
    if (!directory)
        return;
    // Whatever was created, the directory becomes the current database; one that holds
    // no Photo Table fails to open with the engine's error.
    CreateDatabase(*directory, m_prompter);
    bindDatabase(*directory);
}

void TformMain::menuFileOpenClick()
{
    if (RecordModified) {
        m_prompter.warning(
            QStringLiteral("Current record is modified.  Please update or cancel it first."));
        return;
    }
    const std::optional<QString> file =
        m_prompter.openFile(QStringLiteral("Open Database"), schema::kPhotoTableFile,
                            schema::kPhotoTableFile + u'|' + schema::kPhotoTableFile);
    if (!file)
        return;
    // The directory part, without a trailing separator except for the root.
    bindDatabase(QFileInfo(*file).absolutePath());
}

void TformMain::openAtStartup(const QString &directory)
{
    tableKeyword.close();
    tableKeyword.setDatabaseName(directory);
    queryAlbum.close();
    queryAlbum.setDatabaseName(directory);
    if (directory.isEmpty())
        return;
    // Whatever fails here fails again at every start until the settings change, so
    // nothing may escape: the program starts, without the library if need be.
    try {
        if (!upgradeAsked(directory))
            return;
    } catch (...) {
        guard([] { throw; });
        return;
    }
    try {
        tableKeyword.open();
    } catch (...) {
        tableKeyword.close();
        m_prompter.warning(
            QStringLiteral("Could not open Keyword Table in \"%1\".").arg(directory));
    }
    // A failure is shown by the general error report, from inside its handler.
    const auto report = [this] { guard([] { throw; }); };
    try {
        queryAlbum.open();
        ShowRecordCount();
        return;
    } catch (const Error &) {
        // The set opened and only its first photo failed: one damaged photo must not
        // lock the user out of the library, so it stays open, as a later opening keeps it.
        if (queryAlbum.active()) {
            ShowRecordCount();
            report();
            return;
        }
    } catch (...) {
        report(); // not the engine's: its own text says more than the warning
    }
    queryAlbum.close();
    hidePicture();
    ShowRecordCount();
    m_prompter.warning(QStringLiteral("Could not open Photo Table in \"%1\".").arg(directory));
}

bool TformMain::requireDatabase()
{
    if (queryAlbum.active())
        return true;
    m_prompter.warning(QStringLiteral("No database."));
    return false;
}

bool TformMain::requireWritableDatabase()
{
    if (!requireDatabase())
        return false;
    if (!queryAlbum.libraryReadOnly())
        return true;
    m_prompter.warning(readOnlyLibraryText(queryAlbum.databaseName()));
    return false;
}

void TformMain::setSelector(ImportWindow *form)
{
    m_selector = form;
    m_menuFileInport->menuAction()->setVisible(form != nullptr);
}

void TformMain::menuFileInportFileClick()
{
    if (m_selector && requireWritableDatabase())
        m_selector->exec();
}

void TformMain::menuFileDeleteClick()
{
    if (!requireWritableDatabase())
        return;
    if (m_prompter.message(Prompter::Kind::Confirmation,
                           QStringLiteral("The program will delete current image.\rAre you sure?"),
                           Prompter::Ok | Prompter::Cancel) != Prompter::Ok)
        return;
    // An empty set has nothing to delete; any other failure is the engine's to tell.
    if (queryAlbum.isEmpty() && queryAlbum.state() != DataSet::State::Insert) {
        m_prompter.warning(QStringLiteral("No record."));
        return;
    }
    queryAlbum.remove();
}

void TformMain::menuFileExportCurrentClick()
{
    ExportCurrentPhoto(queryAlbum, m_prompter);
}

void TformMain::menuFileExitClick()
{
    close();
}

void TformMain::menuOptionDeleteRegistoryClick()
{
    if (regutl::KeyExists(regutl::kSettingsKey)) {
        regutl::EraseKey(regutl::kSettingsKey);
        m_prompter.information(
            QStringLiteral("It is just deleted.\rIt will be re-create when program starts."));
    } else {
        m_prompter.information(QStringLiteral("Target registory is not existed."));
    }
}

} // namespace pictavo
