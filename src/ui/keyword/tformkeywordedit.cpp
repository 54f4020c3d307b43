#include "keyword/tformkeywordedit.h"

#include "album/album_host.h"
#include "base/prompter.h"
#include "db/query.h"
#include "keyword/keyword_replace.h"
#include "keyword/keyword_table.h"
#include "widgets/form_placement.h"
#include "widgets/help_menu.h"

#include <QAction>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace pictavo {

namespace {

const QString kNotFunctional = QStringLiteral("Not functional.  Sorry.");

QPushButton *button(const QString &caption, const QString &objectName, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(objectName);
    b->setMinimumWidth(88);
    b->setAutoDefault(false); // Enter in the new keyword's box replaces nothing by itself
    return b;
}

QListWidget *keywordList(const QString &objectName, const QString &accessibleName, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setAccessibleName(accessibleName);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

} // namespace

TformKeywordEdit::TformKeywordEdit(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_album(album), m_prompter(prompter), m_commands(prompter)
{
    setObjectName(QStringLiteral("formKeywordEdit"));
    setWindowTitle(QStringLiteral("Keyword Edit"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    tableKeyWord.setTableName(QStringLiteral("KEYWORD.DB"));
    tableAlbum.setTableName(QStringLiteral("PHOTODB.DB"));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    createMenus();
    column->setMenuBar(menuBar);

    auto *body = new QWidget(this);
    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->addWidget(createReplaceGroup(), 0, 0, 2, 1);
    grid->addWidget(createAppendGroup(), 0, 1);
    grid->addWidget(createRemoveGroup(), 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    bitbtnClose = button(QStringLiteral("Close"), QStringLiteral("bitbtnClose"), body);
    connect(bitbtnClose, &QPushButton::clicked, this,
            [this] { m_commands.run([this] { menuFileCloseClick(); }); });
    grid->addWidget(bitbtnClose, 2, 0, 1, 2, Qt::AlignHCenter);
    column->addWidget(body, 1);
    createStatusBar();
    column->addWidget(statusbarBottom);
    resize(520, 380);
}

void TformKeywordEdit::createMenus()
{
    menuBar = new QMenuBar(this);
    auto command = [this](QMenu *menu, const QString &caption,
                          void (TformKeywordEdit::*handler)()) {
        QAction *action = menu->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, handler] { m_commands.run([this, handler] { (this->*handler)(); }); });
        return action;
    };
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileAppend =
        command(file, QStringLiteral("Append(&A)"), &TformKeywordEdit::menuFileAppendClick);
    menuFileRemove =
        command(file, QStringLiteral("Remove(&R)"), &TformKeywordEdit::menuFileRemoveClick);
    menuFileReplace =
        command(file, QStringLiteral("Replace(&R)"), &TformKeywordEdit::menuFileReplaceClick);
    file->addSeparator();
    menuFileClose =
        command(file, QStringLiteral("Close(&C)"), &TformKeywordEdit::menuFileCloseClick);
    QMenu *editMenu = menuBar->addMenu(QStringLiteral("Edit(&E)"));
    menuEditAllClear = editMenu->addAction(QStringLiteral("All Clear(&C)")); // does nothing
    addHelpMenu(menuBar, m_prompter, QStringLiteral("keywordedit"));
}

QGroupBox *TformKeywordEdit::createReplaceGroup()
{
    groupboxReplace = new QGroupBox(QStringLiteral("Replace Keyword"), this);
    groupboxReplace->setObjectName(QStringLiteral("groupboxReplace"));
    auto *layout = new QVBoxLayout(groupboxReplace);
    labelOldKeyword = new QLabel(QStringLiteral("Old Keyword in the Database:"), groupboxReplace);
    labelOldKeyword->setObjectName(QStringLiteral("labelOldKeyword"));
    listboxOldKeyword = keywordList(QStringLiteral("listboxOldKeyword"),
                                    QStringLiteral("Old Keyword in the Database"), groupboxReplace);
    labelOldKeyword->setBuddy(listboxOldKeyword);
    labelNewKeyowrd = new QLabel(QStringLiteral("New Keyword:"), groupboxReplace);
    labelNewKeyowrd->setObjectName(QStringLiteral("labelNewKeyowrd"));
    editNewKeyword = new QLineEdit(groupboxReplace);
    editNewKeyword->setObjectName(QStringLiteral("editNewKeyword"));
    editNewKeyword->setAccessibleName(QStringLiteral("New Keyword"));
    labelNewKeyowrd->setBuddy(editNewKeyword);
    bitbtnReplace =
        button(QStringLiteral("Replace"), QStringLiteral("bitbtnReplace"), groupboxReplace);
    connect(bitbtnReplace, &QPushButton::clicked, this,
            [this] { m_commands.run([this] { menuFileReplaceClick(); }); });
    layout->addWidget(labelOldKeyword);
    layout->addWidget(listboxOldKeyword, 1);
    layout->addWidget(labelNewKeyowrd);
    layout->addWidget(editNewKeyword);
    layout->addWidget(bitbtnReplace, 0, Qt::AlignRight);
    return groupboxReplace;
}

QGroupBox *TformKeywordEdit::createAppendGroup()
{
    groupboxAppend = new QGroupBox(QStringLiteral("Append Keyword"), this);
    groupboxAppend->setObjectName(QStringLiteral("groupboxAppend"));
    auto *layout = new QHBoxLayout(groupboxAppend);
    editAppendKeyword = new QLineEdit(groupboxAppend);
    editAppendKeyword->setObjectName(QStringLiteral("editAppendKeyword"));
    editAppendKeyword->setAccessibleName(QStringLiteral("Append Keyword"));
    bitbtnAppend = button(QStringLiteral("Append"), QStringLiteral("bitbtnAppend"), groupboxAppend);
    connect(bitbtnAppend, &QPushButton::clicked, this,
            [this] { m_commands.run([this] { menuFileAppendClick(); }); });
    layout->addWidget(editAppendKeyword, 1);
    layout->addWidget(bitbtnAppend);
    return groupboxAppend;
}

QGroupBox *TformKeywordEdit::createRemoveGroup()
{
    groupboxRemove = new QGroupBox(QStringLiteral("Remove Keyowrd"), this);
    groupboxRemove->setObjectName(QStringLiteral("groupboxRemove"));
    auto *layout = new QVBoxLayout(groupboxRemove);
    listboxRemoveKeyword = keywordList(QStringLiteral("listboxRemoveKeyword"),
                                       QStringLiteral("Remove Keyword"), groupboxRemove);
    bitbtnRemove = button(QStringLiteral("Remove"), QStringLiteral("bitbtnRemove"), groupboxRemove);
    connect(bitbtnRemove, &QPushButton::clicked, this,
            [this] { m_commands.run([this] { menuFileRemoveClick(); }); });
    layout->addWidget(listboxRemoveKeyword, 1);
    layout->addWidget(bitbtnRemove, 0, Qt::AlignRight);
    return groupboxRemove;
}

void TformKeywordEdit::createStatusBar()
{
    statusbarBottom = new QStatusBar(this);
    statusbarBottom->setObjectName(QStringLiteral("statusbarBottom"));
    statusbarBottom->setSizeGripEnabled(false);
    // Two panels, 300 and 50 pixels wide; the progress bar stands on the first.
    progressbarProcessing = new QProgressBar(statusbarBottom);
    progressbarProcessing->setObjectName(QStringLiteral("progressbarProcessing"));
    progressbarProcessing->setAccessibleName(QStringLiteral("Replace progress"));
    progressbarProcessing->setFixedWidth(300);
    progressbarProcessing->setTextVisible(false);
    progressbarProcessing->setRange(0, 100);
    progressbarProcessing->setValue(0);
    auto *second = new QLabel(statusbarBottom);
    second->setFixedWidth(50);
    statusbarBottom->addWidget(progressbarProcessing);
    statusbarBottom->addWidget(second);
}

bool TformKeywordEdit::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        m_commands.activated([this] { FormActivate(); });
    return QDialog::event(e);
}

void TformKeywordEdit::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    // In the middle of the screen, not of the main window.
    CentreOnScreen(this);
}

void TformKeywordEdit::FormActivate()
{
    const QString directory = m_album.albumQuery().databaseName();
    tableAlbum.close();
    tableKeyWord.close();
    // Without an open database there is nothing to bind to; the lists keep their entries
    // and a replace finds no record.
    if (!m_album.albumQuery().active())
        return;
    tableAlbum.setDatabaseName(directory);
    tableAlbum.open();
    tableKeyWord.setDatabaseName(directory);
    const QStringList keywords = readAllKeywords(tableKeyWord);
    fillList(listboxOldKeyword, keywords);
    fillList(listboxRemoveKeyword, keywords);
}

void TformKeywordEdit::fillList(QListWidget *list, const QStringList &keywords)
{
    if (!keywords.isEmpty()) {
        // The selection stays between showings as long as its keyword is still listed.
        const QListWidgetItem *selected = list->currentItem();
        const QString chosen = selected && selected->isSelected() ? selected->text() : QString();
        list->clear();
        list->addItems(keywords);
        const qsizetype row = chosen.isEmpty() ? -1 : keywords.indexOf(chosen);
        if (row >= 0)
            list->setCurrentRow(int(row));
    }
    list->viewport()->update();
}

void TformKeywordEdit::menuFileAppendClick()
{
    m_prompter.message(Prompter::Kind::Information, kNotFunctional, Prompter::Ok);
}

void TformKeywordEdit::menuFileRemoveClick()
{
    m_prompter.message(Prompter::Kind::Information, kNotFunctional, Prompter::Ok);
}

void TformKeywordEdit::menuFileReplaceClick()
{
    const QList<QListWidgetItem *> selected = listboxOldKeyword->selectedItems();
    if (selected.isEmpty()) {
        m_prompter.warning(QStringLiteral("Old Keyword is not selected."));
        return;
    }
    const QString newText = editNewKeyword->text();
    if (newText.isEmpty()) {
        m_prompter.warning(QStringLiteral("New Keyword is empty."));
        return;
    }
    const int records = tableAlbum.active() ? tableAlbum.recordCount() : 0;
    if (records == 0) {
        m_prompter.warning(QStringLiteral("No record."));
        return;
    }
    const QString oldText = selected.first()->text();

    progressbarProcessing->setRange(0, records);
    progressbarProcessing->setValue(0);
    // A disabled button loses the keyboard focus; it goes back where it was.
    const QPointer<QWidget> focused = focusWidget();
    enableButtons(false);
    // However the replace ends, a failure included, the window can be used again.
    const auto idle = qScopeGuard([this, focused] {
        progressbarProcessing->setValue(0);
        enableButtons(true);
        if (focused)
            focused->setFocus();
    });
    replaceKeywordInPhotoTable(tableAlbum.databaseName(), oldText, newText,
                               [this, records](int visited) {
                                   progressbarProcessing->setValue(std::min(visited, records));
                               });
    progressbarProcessing->setValue(0);

    // The main window shows the changed Keyword Strings from its first record. Its record
    // set may have changed with them (a filter on the old keyword), and so its count.
    Query &album = m_album.albumQuery();
    album.close();
    album.open();
    m_album.showRecordCount();
}

void TformKeywordEdit::menuFileCloseClick()
{
    reject();
}

void TformKeywordEdit::enableButtons(bool enabled)
{
    for (QPushButton *b : {bitbtnReplace, bitbtnAppend, bitbtnRemove, bitbtnClose})
        b->setEnabled(enabled);
}

} // namespace pictavo
