#include "filter/tformexpertfilter.h"

#include "album/album_host.h"
#include "base/prompter.h"
#include "db/engine_error.h"
#include "db/query.h"
#include "widgets/help_menu.h"

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

namespace pictavo {

TformExpertFilter::TformExpertFilter(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : FilterWindow(QStringLiteral("formExpertFilter"), QStringLiteral("Expert Filter"), prompter,
                   parent),
      m_album(album)
{
    createMenus();

    panelTop = new QWidget(this);
    panelTop->setObjectName(QStringLiteral("panelTop"));
    auto *top = new QVBoxLayout(panelTop);
    labelExample = new QLabel(QStringLiteral("Example:"), panelTop);
    labelExample->setObjectName(QStringLiteral("labelExample"));
    labelSQL = new QLabel(QStringLiteral("select * from photodb.db where KEYWORD like \"%girl%\";"),
                          panelTop);
    labelSQL->setObjectName(QStringLiteral("labelSQL"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setBold(true);
    labelSQL->setFont(fixed);
    labelSQL->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(labelExample);
    top->addWidget(labelSQL);
    column()->addWidget(panelTop);

    memoSQL = new QPlainTextEdit(this);
    memoSQL->setObjectName(QStringLiteral("memoSQL"));
    memoSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoSQL->setTabChangesFocus(true);
    column()->addWidget(memoSQL, 1);

    createButtons();
    resize(520, 300);
}

void TformExpertFilter::createMenus()
{
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileReset = addCommand(file, QStringLiteral("Reset(&S)"), [this] { menuFileResetClick(); });
    menuFileExecute =
        addCommand(file, QStringLiteral("Execute(&E)"), [this] { menuFileExecuteClick(); });
    file->addSeparator();
    menuFileClose = addCommand(file, QStringLiteral("Close(&X)"), [this] { menuFileCloseClick(); });

    const HelpMenuItems help = addHelpMenu(menuBar, m_prompter, QStringLiteral("expertfilter"));
    menuHelpInEng = help.english;
    menuHelpInJap = help.japanese;
}

void TformExpertFilter::createButtons()
{
    bitbtnReset = addButton(QStringLiteral("Reset"), QStringLiteral("bitbtnReset"),
                            [this] { menuFileResetClick(); });
    bitbtnExecute = addButton(QStringLiteral("Execute"), QStringLiteral("bitbtnExecute"),
                              [this] { menuFileExecuteClick(); });
    bitbtnClose = addButton(QStringLiteral("Close"), QStringLiteral("bitbtnClose"),
                            [this] { menuFileCloseClick(); });
    finishBottom();
    // Close is both the default and the cancel button: Enter outside the editor and Esc
    // both close the window.
    bitbtnReset->setAutoDefault(false);
    bitbtnExecute->setAutoDefault(false);
    bitbtnClose->setDefault(true);
}

QStringList TformExpertFilter::editorLines() const
{
    // A plain-text editor always holds one block; only an empty document counts as none.
    const QString text = memoSQL->toPlainText();
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

void TformExpertFilter::FormShow()
{
    memoSQL->clear();
    const QStringList &lines = m_album.albumQuery().sql();
    if (!lines.isEmpty())
        memoSQL->setPlainText(lines.join(QLatin1Char('\n')));
    memoSQL->setFocus();
}

void TformExpertFilter::menuFileResetClick()
{
    memoSQL->setPlainText(QStringLiteral("select * from PHOTODB.DB;"));
    memoSQL->viewport()->update();
}

void TformExpertFilter::menuFileExecuteClick()
{
    const QStringList lines = editorLines();
    if (lines.isEmpty()) {
        m_prompter.warning(QStringLiteral("No SQL statement."));
        return;
    }
    Query &album = m_album.albumQuery();
    // Only a query that did not open is a wrong statement. One that opened but whose
    // first photo could not be shown ran well; that error is reported after the count.
    std::exception_ptr displayError;
    try {
        album.openInstead(lines);
    } catch (const QueryStopped &stopped) {
        // Stopped by the user, not refused: the records shown before are back, and the
        // easy filter's entries still describe them.
        m_album.showRecordCount();
        m_prompter.information(stopped.text());
        return;
    } catch (...) {
        if (album.active()) {
            displayError = std::current_exception();
        } else {
            m_album.hidePicture();
            m_prompter.warning(QStringLiteral("Wrong SQL statement."));
        }
    }
    m_album.showRecordCount();
    m_album.clearEasyFilter();
    if (displayError)
        std::rethrow_exception(displayError);
}

void TformExpertFilter::menuFileCloseClick()
{
    reject();
}

} // namespace pictavo
