#include "keyword/tformkeywordassist.h"

#include "album/album_host.h"
#include "base/regutl.h"
#include "db/query.h"
#include "keyword/keyword_table.h"
#include "widgets/form_placement.h"
#include "widgets/help_menu.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

namespace pictavo {

namespace {

const QString kFormName = QStringLiteral("formKeywordAssist");
constexpr int kPanelHeight = 65;

} // namespace

TformKeywordAssist::TformKeywordAssist(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : KeywordAssistWindow(parent), m_album(album), m_commands(prompter)
{
    setObjectName(kFormName);
    setWindowTitle(QStringLiteral("Keyword Entry Assistant"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    tableKeyWord.setTableName(QStringLiteral("KEYWORD.DB"));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    menuBar = new QMenuBar(this);
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileEnter = file->addAction(QStringLiteral("Enter(&U)")); // does nothing
    menuFileClose = file->addAction(QStringLiteral("Close(&C)"));
    connect(menuFileClose, &QAction::triggered, this,
            [this] { m_commands.run([this] { menuFileCloseClick(); }); });
    addHelpMenu(menuBar, prompter, QStringLiteral("keywordassist"));
    column->setMenuBar(menuBar);

    checklistboxKeywords = new QListWidget(this);
    checklistboxKeywords->setObjectName(QStringLiteral("checklistboxKeywords"));
    checklistboxKeywords->setAccessibleName(QStringLiteral("Keywords"));
    column->addWidget(checklistboxKeywords, 1);

    // The buttons are placed by FormResize rather than by a layout, one above the other.
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(kPanelHeight);
    bitbtnEnter = new QPushButton(QStringLiteral("Enter"), Panel1);
    bitbtnEnter->setObjectName(QStringLiteral("bitbtnEnter"));
    bitbtnClose = new QPushButton(QStringLiteral("Close"), Panel1);
    bitbtnClose->setObjectName(QStringLiteral("bitbtnClose"));
    for (QPushButton *button : {bitbtnEnter, bitbtnClose}) {
        button->setFixedSize(88, 26);
        button->setAutoDefault(false);
    }
    bitbtnEnter->move(0, 5);
    bitbtnClose->move(0, 34);
    bitbtnEnter->setDefault(true);
    connect(bitbtnEnter, &QPushButton::clicked, this,
            [this] { m_commands.run([this] { bitbtnEnterClick(); }); });
    connect(bitbtnClose, &QPushButton::clicked, this,
            [this] { m_commands.run([this] { menuFileCloseClick(); }); });
    column->addWidget(Panel1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    column->addWidget(StatusBar1);

    FormCreate();
}

TformKeywordAssist::~TformKeywordAssist()
{
    // A settings file that cannot be written is reported, never thrown out of here.
    m_commands.run([this] { FormDestroy(); });
}

void TformKeywordAssist::FormCreate()
{
    if (regutl::KeyExists(regutl::formKey(regutl::kSettingsKey, kFormName))) {
        LoadFormPlacement(this, regutl::kSettingsKey);
    } else {
        PlaceAtFirstStart(this, QSize(240, 280));
    }
}

void TformKeywordAssist::FormDestroy()
{
    if (regutl::KeyExists(regutl::kSettingsKey))
        SaveFormPlacement(this, regutl::kSettingsKey);
}

bool TformKeywordAssist::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        m_commands.activated([this] { LoadKeywordToListBox(); });
    return QDialog::event(e);
}

void TformKeywordAssist::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        m_commands.run([this] { LoadKeywordToListBox(); });
}

void TformKeywordAssist::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    FormResize();
}

void TformKeywordAssist::FormResize()
{
    // Half the outer width, less half the button's, each rounded toward zero; never left
    // of the edge.
    const int half = frameGeometry().width() / 2;
    for (QPushButton *button : {bitbtnEnter, bitbtnClose})
        button->move(std::max(0, half - button->width() / 2), button->y());
}

void TformKeywordAssist::LoadKeywordToListBox()
{
    const Query &album = m_album.albumQuery();
    // Without an open database there is no Keyword Table and no current record: the list
    // stays as it is.
    if (!album.active())
        return;
    tableKeyWord.close();
    tableKeyWord.setDatabaseName(album.databaseName());
    const QStringList keywords = readAllKeywords(tableKeyWord);
    setEntries(loadAssistEntries(entries(), keywords, album.asString(QStringLiteral("KEYWORD"))));
}

AssistEntries TformKeywordAssist::entries() const
{
    AssistEntries list;
    list.reserve(checklistboxKeywords->count());
    for (int row = 0; row < checklistboxKeywords->count(); ++row) {
        const QListWidgetItem *item = checklistboxKeywords->item(row);
        list.append({item->text(), item->checkState() == Qt::Checked});
    }
    return list;
}

void TformKeywordAssist::setEntries(const AssistEntries &list)
{
    // Moving from record to record mostly changes check marks only: the items are kept then.
    bool sameTexts = list.size() == checklistboxKeywords->count();
    for (int row = 0; sameTexts && row < list.size(); ++row)
        sameTexts = checklistboxKeywords->item(row)->text() == list[row].text;
    if (!sameTexts) {
        checklistboxKeywords->clear();
        for (const AssistEntry &entry : list) {
            auto *item = new QListWidgetItem(entry.text, checklistboxKeywords);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        }
    }
    for (int row = 0; row < list.size(); ++row)
        checklistboxKeywords->item(row)->setCheckState(list[row].checked ? Qt::Checked
                                                                         : Qt::Unchecked);
    checklistboxKeywords->viewport()->update();
}

void TformKeywordAssist::bitbtnEnterClick()
{
    // Through the Album Query, so its post runs the new-keyword check like any other.
    Query &album = m_album.albumQuery();
    const QString keywordString = assistKeywordString(entries());
    album.edit();
    album.setValue(QStringLiteral("KEYWORD"), keywordString);
    album.post();
}

void TformKeywordAssist::menuFileCloseClick()
{
    close();
}

void TformKeywordAssist::closeEvent(QCloseEvent *e)
{
    // Not QDialog's, which would hide the window through reject() and keep it.
    e->accept();
}

void TformKeywordAssist::reject()
{
    close();
}

} // namespace pictavo
