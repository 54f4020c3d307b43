#include "app/directory_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>

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

QCheckBox *DirectoryDialog::addOption(const QString &caption, bool ticked)
{
    auto *box = new QCheckBox(caption, this);
    box->setChecked(ticked);
    // Qt's own dialog lays itself out on a grid: the box takes a row of its own at the foot.
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    else
        layout()->addWidget(box);
    return box;
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
