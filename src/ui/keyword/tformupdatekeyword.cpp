#include "keyword/tformupdatekeyword.h"

#include "album/album_host.h"
#include "db/query.h"
#include "widgets/error_report.h"
#include "widgets/form_placement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QVBoxLayout>

namespace pictavo {

namespace {

QProgressBar *addPhase(QVBoxLayout *column, QWidget *parent, const QString &caption,
                       const QString &labelName, const QString &barName, QLabel *&label)
{
    label = new QLabel(caption, parent);
    label->setObjectName(labelName);
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(barName);
    bar->setAccessibleName(caption);
    bar->setTextVisible(false);
    label->setBuddy(bar);
    column->addWidget(label);
    column->addWidget(bar);
    column->addSpacing(6);
    return bar;
}

} // namespace

TformUpdateKeyword::TformUpdateKeyword(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_album(album), m_prompter(prompter)
{
    setObjectName(QStringLiteral("formUpdateKeyword"));
    setWindowTitle(QStringLiteral("Update Keyword List"));
    // A dialog border with a caption and no title-bar buttons: OK is the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(16, 14, 16, 12);
    column->setSpacing(4);
    progressbarRecord =
        addPhase(column, this, QStringLiteral("Phase 1: Extracting keyword in each record."),
                 QStringLiteral("labelPhase1"), QStringLiteral("progressbarRecord"), labelPhase1);
    progressbarUnique =
        addPhase(column, this, QStringLiteral("Phase 2: Copying unique keyword."),
                 QStringLiteral("labelPhase2"), QStringLiteral("progressbarUnique"), labelPhase2);
    progressbarKeywordCount = addPhase(
        column, this, QStringLiteral("Phase 3: Counting each keyword in the database."),
        QStringLiteral("labelPhase3"), QStringLiteral("progressbarKeywordCount"), labelPhase3);
    bitbtnOK = new QPushButton(QStringLiteral("OK"), this);
    bitbtnOK->setObjectName(QStringLiteral("bitbtnOK"));
    bitbtnOK->setMinimumWidth(88);
    bitbtnOK->setDefault(true);
    connect(bitbtnOK, &QPushButton::clicked, this, &TformUpdateKeyword::bitbtnOKClick);
    column->addWidget(bitbtnOK, 0, Qt::AlignHCenter);
    resize(420, sizeHint().height());
}

QProgressBar *TformUpdateKeyword::bar(Phase phase) const
{
    switch (phase) {
    case Extracting:
        return progressbarRecord;
    case Copying:
        return progressbarUnique;
    case Counting:
        return progressbarKeywordCount;
    }
    return progressbarRecord;
}

void TformUpdateKeyword::setRange(Phase phase, int steps)
{
    // A range of 0 to 0 would make the bar a busy indicator; a phase with nothing to do
    // shows an empty bar instead.
    bar(phase)->setRange(0, std::max(1, steps));
    bar(phase)->setValue(0);
}

void TformUpdateKeyword::setPosition(Phase phase, int position)
{
    bar(phase)->setValue(position);
    bar(phase)->repaint();
    QCoreApplication::processEvents();
}

void TformUpdateKeyword::UpdateKeyword()
{
    if (m_running)
        return;
    m_running = true;
    bitbtnOK->setEnabled(false);
    for (QProgressBar *phaseBar : {progressbarRecord, progressbarUnique, progressbarKeywordCount})
        phaseBar->setValue(0);
    // Whatever happens, the window can be closed afterwards.
    const auto done = qScopeGuard([this] {
        m_running = false;
        bitbtnOK->setEnabled(true);
        bitbtnOK->setFocus();
    });
    QCoreApplication::processEvents(); // the window is painted before the work starts
    runGuarded(m_prompter, [this] {
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);
        const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        rebuildKeywordTable(m_album.albumQuery().databaseName(), this);
        for (QProgressBar *phaseBar :
             {progressbarRecord, progressbarUnique, progressbarKeywordCount})
            phaseBar->setValue(phaseBar->maximum());
        // The main window's keyword table reads the new rows, not the ones it had.
        m_album.keywordTableChanged();
    });
}

void TformUpdateKeyword::bitbtnOKClick()
{
    accept();
}

void TformUpdateKeyword::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    bitbtnOK->setEnabled(false);
    // Queued, so that it runs inside the loop that shows the window (exec's), once per
    // showing: a rebuild run again on every activation would start anew each time its own
    // error box closed.
    QMetaObject::invokeMethod(this, &TformUpdateKeyword::UpdateKeyword, Qt::QueuedConnection);
}

void TformUpdateKeyword::closeEvent(QCloseEvent *event)
{
    if (m_running)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TformUpdateKeyword::reject()
{
    // Esc while the rebuild runs would leave it running behind a closed window.
    if (!m_running && bitbtnOK->isEnabled())
        QDialog::reject();
}

} // namespace pictavo
