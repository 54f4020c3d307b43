#include "app/directory_dialog.h"

#include <QFileInfo>

namespace pictavo {

DirectoryDialog::DirectoryDialog(QWidget *parent, const QString &title, const QString &start,
                                 bool acceptMissing)
    : QFileDialog(parent, title), m_acceptMissing(acceptMissing)
{
    // The widget dialog, so that typed paths behave the same on every desktop.
    setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
    setFileMode(QFileDialog::Directory);
    if (!start.isEmpty())
        setDirectory(start);
}

void DirectoryDialog::accept()
{
    // selectedFiles() holds the typed text made absolute against the shown directory (with
    // "~" expanded), or the selected entry, or the shown directory itself.
    m_chosen = selectedFiles().value(0);
    if (m_acceptMissing && !m_chosen.isEmpty() && !QFileInfo::exists(m_chosen))
        QDialog::accept();
    else
        QFileDialog::accept();
}

} // namespace pictavo
