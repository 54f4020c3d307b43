// The main window's backup command, and files dropped on the window.
#include "base/prompter.h"
#include "import/tformselector.h"
#include "main/tformmain.h"
#include "maintenance/library_backup.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QProgressBar>
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

void TformMain::filesDropped(const QStringList &paths)
{
    if (!m_selector || !requireWritableDatabase())
        return;
    // Only selected: nothing is stored until the user presses "Inport" there.
    m_selector->selectDroppedFiles(paths);
    m_selector->exec();
}

} // namespace pictavo
