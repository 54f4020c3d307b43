// The main window's backup command, the export of the set, and files dropped on the window.
#include "album/set_export.h"
#include "base/prompter.h"
#include "main/tformmain.h"
#include "maintenance/library_backup.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>

namespace pictavo {

namespace {

// Keeps the window from taking commands while a long command lets events through, and
// gives it back on every way out.
class WindowBusy
{
public:
    explicit WindowBusy(QMainWindow *window) : m_window(window)
    {
        m_window->menuBar()->setEnabled(false);
        m_window->centralWidget()->setEnabled(false);
        m_window->setAcceptDrops(false);
    }
    ~WindowBusy()
    {
        m_window->menuBar()->setEnabled(true);
        m_window->centralWidget()->setEnabled(true);
        m_window->setAcceptDrops(true);
    }
    WindowBusy(const WindowBusy &) = delete;
    WindowBusy &operator=(const WindowBusy &) = delete;

private:
    QMainWindow *m_window;
};

} // namespace

void TformMain::menuFileBackupClick()
{
    if (!requireDatabase())
        return;
    const std::optional<QString> destination =
        m_prompter.chooseDirectory(QStringLiteral("Backup Database"), QString(), true);
    if (!destination)
        return;
    if (!progressbarBackup) {
        progressbarBackup = new QProgressBar(statusBar());
        progressbarBackup->setObjectName(QStringLiteral("progressbarBackup"));
        progressbarBackup->setAccessibleName(QStringLiteral("Backup progress"));
        progressbarBackup->setRange(0, 100);
        statusBar()->addWidget(progressbarBackup, 1);
    }
    progressbarBackup->setValue(0);
    progressbarBackup->show();
    BackupResult result;
    {
        const WindowBusy busy(this);
        const auto hideBar = qScopeGuard([this] { progressbarBackup->hide(); });
        result = backupLibrary(queryAlbum.databaseName(), *destination, [this](int percent) {
            progressbarBackup->setValue(percent);
            QCoreApplication::processEvents();
        });
    }
    QString text = QStringLiteral("Backup is completed in \"%1\".\r%2 photos are checked.")
                       .arg(result.destination)
                       .arg(result.check.photos);
    if (result.leftoversRemoved > 0)
        text += QLatin1Char('\r') + leftoversRemovedText(result);
    m_prompter.information(text);
}

void TformMain::menuFileExportSetClick()
{
    if (!requireDatabase())
        return;
    // What is exported is what is stored: an edit not posted yet would not be in it.
    if (RecordModified) {
        m_prompter.warning(
            QStringLiteral("Current record is modified.  Please update or cancel it first."));
        return;
    }
    if (queryAlbum.isEmpty()) {
        m_prompter.warning(QStringLiteral("No record."));
        return;
    }
    bool xmp = m_exportXmp;
    const std::optional<QString> destination = m_prompter.chooseDirectoryWithOption(
        QStringLiteral("Export All Photos"), QString(), true,
        QStringLiteral("Write the keywords to a sidecar file (.xmp) beside each photo"), xmp);
    if (!destination)
        return;
    m_exportXmp = xmp;
    SetExport photos(queryAlbum, *destination, xmp);
    bool replace = false;
    if (const QStringList existing = photos.existingFiles(); !existing.isEmpty()) {
        const Prompter::Button answer = m_prompter.message(
            Prompter::Kind::Confirmation,
            QStringLiteral("%1 of the files are already in \"%2\" (\"%3\" among them).\r"
                           "Do you overwrite them? No keeps them and writes the others.")
                .arg(existing.size())
                .arg(*destination, existing.first()),
            Prompter::Yes | Prompter::No | Prompter::Cancel);
        if (answer == Prompter::Cancel)
            return;
        replace = answer == Prompter::Yes;
    }
    if (!progressbarExport) {
        progressbarExport = new QProgressBar(statusBar());
        progressbarExport->setObjectName(QStringLiteral("progressbarExport"));
        progressbarExport->setAccessibleName(QStringLiteral("Export progress"));
        progressbarExport->setFormat(QStringLiteral("%v of %m"));
        bitbtnStopExport = new QPushButton(QStringLiteral("Stop"), statusBar());
        bitbtnStopExport->setObjectName(QStringLiteral("bitbtnStopExport"));
        connect(bitbtnStopExport, &QPushButton::clicked, this, &TformMain::bitbtnStopExportClick);
        statusBar()->addWidget(progressbarExport, 1);
        statusBar()->addWidget(bitbtnStopExport);
    }
    progressbarExport->setRange(0, photos.recordCount());
    progressbarExport->setValue(0);
    progressbarExport->show();
    bitbtnStopExport->show();
    m_stopExport = false;
    SetExportCounts counts;
    {
        const WindowBusy busy(this);
        const auto hideBar = qScopeGuard([this] {
            progressbarExport->hide();
            bitbtnStopExport->hide();
        });
        counts = photos.run(replace, [this](int done, int) {
            progressbarExport->setValue(done);
            QCoreApplication::processEvents();
            return !m_stopExport;
        });
    }
    m_prompter.message(counts.complete() ? Prompter::Kind::Information : Prompter::Kind::Warning,
                       photos.closingText(counts), Prompter::Ok);
}

void TformMain::filesDropped(const QStringList &paths)
{
    if (!m_selector || !requireWritableDatabase())
        return;
    // Only selected: nothing is stored until the user presses "Inport" there.
    m_selector->selectDroppedFiles(paths);
    m_selector->exec();
}

} // namespace pictavo
