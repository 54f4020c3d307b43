#include "filter/tformexpertfilter.h"

#include "app/error_report.h"
#include "app/prompter.h"
#include "filter/filter_window_parts.h"
#include "filter/tformeasyfilter.h"
#include "main/tformmain.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>
#include <exception>

namespace pictavo {

TformExpertFilter::TformExpertFilter(TformMain &formMain, TformEasyFilter &easyFilter,
                                     Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_formMain(formMain), m_easyFilter(easyFilter), m_prompter(prompter)
{
    setUpFilterWindow(this, QStringLiteral("formExpertFilter"), QStringLiteral("Expert Filter"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    createMenus();
    column->setMenuBar(menuBar);

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
    column->addWidget(panelTop);

    memoSQL = new QPlainTextEdit(this);
    memoSQL->setObjectName(QStringLiteral("memoSQL"));
    memoSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoSQL->setTabChangesFocus(true);
    column->addWidget(memoSQL, 1);

    createButtons();
    barStatus = new QStatusBar(this);
    barStatus->setObjectName(QStringLiteral("barStatus"));
    barStatus->setSizeGripEnabled(false);
    column->addWidget(barStatus);
    resize(520, 300);
}

void TformExpertFilter::createMenus()
{
    menuBar = new QMenuBar(this);
    auto command = [this](QMenu *menu, const QString &caption,
                          void (TformExpertFilter::*handler)()) {
        QAction *action = menu->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([this, handler] { (this->*handler)(); }); });
        return action;
    };
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileReset =
        command(file, QStringLiteral("Reset(&S)"), &TformExpertFilter::menuFileResetClick);
    menuFileExecute =
        command(file, QStringLiteral("Execute(&E)"), &TformExpertFilter::menuFileExecuteClick);
    file->addSeparator();
    menuFileClose =
        command(file, QStringLiteral("Close(&X)"), &TformExpertFilter::menuFileCloseClick);
}

void TformExpertFilter::createButtons()
{
    bitbtnReset = new QPushButton(QStringLiteral("Reset"));
    bitbtnReset->setObjectName(QStringLiteral("bitbtnReset"));
    bitbtnExecute = new QPushButton(QStringLiteral("Execute"));
    bitbtnExecute->setObjectName(QStringLiteral("bitbtnExecute"));
    bitbtnClose = new QPushButton(QStringLiteral("Close"));
    bitbtnClose->setObjectName(QStringLiteral("bitbtnClose"));
    const ButtonPanel panel = makeButtonPanel(this, {bitbtnReset, bitbtnExecute, bitbtnClose});
    panelBottom = panel.panelBottom;
    panelButtons = panel.panelButtons;
    // Close is both the default and the cancel button: Enter outside the editor and Esc
    // both close the window.
    bitbtnReset->setAutoDefault(false);
    bitbtnExecute->setAutoDefault(false);
    bitbtnClose->setDefault(true);
    connect(bitbtnReset, &QPushButton::clicked, this,
            [this] { guard([this] { menuFileResetClick(); }); });
    connect(bitbtnExecute, &QPushButton::clicked, this,
            [this] { guard([this] { menuFileExecuteClick(); }); });
    connect(bitbtnClose, &QPushButton::clicked, this,
            [this] { guard([this] { menuFileCloseClick(); }); });
    panelBottom->installEventFilter(this);
    layout()->addWidget(panelBottom);
}

bool TformExpertFilter::guard(const std::function<void()> &command)
{
    return runGuarded(m_prompter, command);
}

void TformExpertFilter::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    centreOnScreen(this);
    guard([this] { FormShow(); });
}

bool TformExpertFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panelBottom && event->type() == QEvent::Resize)
        FormResize();
    return QDialog::eventFilter(watched, event);
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
    const QStringList &lines = m_formMain.queryAlbum.sql();
    if (!lines.isEmpty())
        memoSQL->setPlainText(lines.join(QLatin1Char('\n')));
    memoSQL->setFocus();
}

void TformExpertFilter::FormResize()
{
    centreButtonPanel(panelBottom, panelButtons);
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
    Query &album = m_formMain.queryAlbum;
    album.setSql(lines);
    album.close();
    // Only a query that did not open is a wrong statement. One that opened but whose
    // first photo could not be shown ran well; that error is reported after the count.
    std::exception_ptr displayError;
    try {
        album.open();
    } catch (...) {
        if (album.active()) {
            displayError = std::current_exception();
        } else {
            m_formMain.imageViewArea->hide();
            m_prompter.warning(QStringLiteral("Wrong SQL statement."));
        }
    }
    m_formMain.ShowRecordCount();
    m_easyFilter.ClearAll();
    if (displayError)
        std::rethrow_exception(displayError);
}

void TformExpertFilter::menuFileCloseClick()
{
    reject();
}

} // namespace pictavo
