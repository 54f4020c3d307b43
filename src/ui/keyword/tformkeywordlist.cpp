#include "keyword/tformkeywordlist.h"

#include "album/album_host.h"
#include "base/prompter.h"
#include "db/query.h"
#include "keyword/tformupdatekeyword.h"
#include "widgets/album_model.h"
#include "widgets/db_navigator.h"
#include "widgets/error_report.h"
#include "widgets/form_placement.h"
#include "widgets/help_menu.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace pictavo {

namespace {

constexpr int kPanelBottomHeight = 41;
constexpr int kPanelButtonsWidth = 345;
const QString kCountField = QStringLiteral("COUNT");
const QString kByKeyword = QStringLiteral("select * from KEYWORD.DB;");
const QString kByCount = QStringLiteral("select KEYWORD,KEYWORD.DB.\"COUNT\" from KEYWORD.DB order "
                                        "by KEYWORD.DB.\"COUNT\" desc,KEYWORD;");

} // namespace

TformKeywordList::TformKeywordList(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : QDialog(parent), m_album(album), m_prompter(prompter)
{
    setObjectName(QStringLiteral("formKeywordList"));
    setWindowTitle(QStringLiteral("Keyword List"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    queryKeyword.setSql({kByKeyword});
    hookQuery();

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    createMenus();
    column->setMenuBar(menuBar);
    createGrid();
    column->addWidget(dbgridKeyword, 1);
    createBottom();
    column->addWidget(panelBottom);
    statusbarBottom = new QStatusBar(this);
    statusbarBottom->setObjectName(QStringLiteral("statusbarBottom"));
    column->addWidget(statusbarBottom);
    resize(400, 360);
    FormCreate();
}

TformKeywordList::~TformKeywordList()
{
    // The grid's model and the navigator listen to the query, a member that goes before
    // the child widgets.
    dbgridKeyword->setModel(nullptr);
    delete datasourceKeyword;
    delete dbnavigatorKeyword;
}

void TformKeywordList::createMenus()
{
    menuBar = new QMenuBar(this);
    auto command = [this](QMenu *menu, const QString &caption,
                          void (TformKeywordList::*handler)()) {
        QAction *action = menu->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([this, handler] { (this->*handler)(); }); });
        return action;
    };
    QMenu *file = menuBar->addMenu(QStringLiteral("File(&F)"));
    menuFileUpdateKeyword = command(file, QStringLiteral("Update Keyword(&U)"),
                                    &TformKeywordList::menuFileUpdateKeywordClick);
    menuFileUpdateKeyword->setVisible(false);
    menuFileClose =
        command(file, QStringLiteral("Close(&C)"), &TformKeywordList::menuFileCloseClick);
    QMenu *option = menuBar->addMenu(QStringLiteral("Option(&O)"));
    menuOptionOrderByKeyword = command(option, QStringLiteral("Order by Keyword(&K)"),
                                       &TformKeywordList::menuOptionOrderByKeywordClick);
    menuOptionOrderByCount = command(option, QStringLiteral("Order by Count(&C)"),
                                     &TformKeywordList::menuOptionOrderByCountClick);
    menuOptionOrderByKeyword->setCheckable(true);
    menuOptionOrderByCount->setCheckable(true);
    addHelpMenu(menuBar, m_prompter, QStringLiteral("keywordlist"));
}

void TformKeywordList::createGrid()
{
    dbgridKeyword = new QTableView(this);
    dbgridKeyword->setObjectName(QStringLiteral("dbgridKeyword"));
    dbgridKeyword->setAccessibleName(QStringLiteral("Keywords"));
    datasourceKeyword =
        new AlbumModel(queryKeyword,
                       {{QStringLiteral("Keyword"), QStringLiteral("KEYWORD")},
                        {QStringLiteral("Count"), kCountField}},
                       [this](const std::function<void()> &command) { return guard(command); });
    dbgridKeyword->setModel(datasourceKeyword);
    dbgridKeyword->setItemDelegate(new AlbumDelegate(*datasourceKeyword, dbgridKeyword));
    dbgridKeyword->setEditTriggers(QAbstractItemView::AnyKeyPressed |
                                   QAbstractItemView::DoubleClicked |
                                   QAbstractItemView::EditKeyPressed);
    dbgridKeyword->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgridKeyword->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgridKeyword->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    dbgridKeyword->verticalHeader()->setFixedWidth(16);
    dbgridKeyword->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    dbgridKeyword->horizontalHeader()->setStretchLastSection(true);
    dbgridKeyword->setColumnWidth(0, 240);
    dbgridKeyword->installEventFilter(this);
    // Leaving a row posts its edit; a refused post keeps the record current.
    connect(dbgridKeyword->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (m_followingGrid || !current.isValid() || !queryKeyword.active() ||
                    current.row() == queryKeyword.recNo())
                    return;
                if (!guard([&] { queryKeyword.moveTo(current.row()); }))
                    followCurrentRecord();
            });
    queryKeyword.addListener([this](const DataSet::Change &change) {
        if (change.kind == DataSet::Change::CurrentChanged || change.kind == DataSet::Change::Reset)
            followCurrentRecord();
    });
}

void TformKeywordList::createBottom()
{
    panelBottom = new QWidget(this);
    panelBottom->setObjectName(QStringLiteral("panelBottom"));
    panelBottom->setFixedHeight(kPanelBottomHeight);
    panelBottom->installEventFilter(this);
    // Placed by FormResize rather than by a layout.
    panelButtons = new QWidget(panelBottom);
    panelButtons->setObjectName(QStringLiteral("panelButtons"));
    panelButtons->setGeometry(0, 0, kPanelButtonsWidth, kPanelBottomHeight);
    auto *row = new QHBoxLayout(panelButtons);
    row->setContentsMargins(0, 6, 0, 6);
    dbnavigatorKeyword = new DbNavigator(
        queryKeyword,
        {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last,
         DbNavigator::Insert, DbNavigator::Delete, DbNavigator::Post, DbNavigator::Cancel},
        [this](const std::function<void()> &command) { guard(command); }, panelButtons);
    dbnavigatorKeyword->setObjectName(QStringLiteral("dbnavigatorKeyword"));
    dbnavigatorKeyword->confirmDelete = [this] {
        return m_prompter.message(Prompter::Kind::Confirmation, QStringLiteral("Delete record?"),
                                  Prompter::Ok | Prompter::Cancel) == Prompter::Ok;
    };
    bitbtnClose = new QPushButton(QStringLiteral("Close"), panelButtons);
    bitbtnClose->setObjectName(QStringLiteral("bitbtnClose"));
    bitbtnClose->setDefault(true);
    connect(bitbtnClose, &QPushButton::clicked, this, &TformKeywordList::bitbtnCloseClick);
    row->addWidget(dbnavigatorKeyword, 1);
    row->addSpacing(12);
    row->addWidget(bitbtnClose);
}

void TformKeywordList::hookQuery()
{
    queryKeyword.afterEdit = [](DataSet &query) { query.setValue(kCountField, 0); };
    queryKeyword.beforePost = [](DataSet &query) {
        if (query.isNull(kCountField))
            query.setValue(kCountField, 0);
    };
    queryKeyword.onPostError = [this](DataSet &, const Error &) {
        m_prompter.information(QStringLiteral("Could not post data.  Check the value of the "
                                              "\"Count\" field.  It must have the value."));
    };
}

void TformKeywordList::setUpdateKeyword(TformUpdateKeyword *form)
{
    m_updateKeyword = form;
    menuFileUpdateKeyword->setVisible(form != nullptr);
}

bool TformKeywordList::guard(const std::function<void()> &command)
{
    return runGuarded(m_prompter, command);
}

void TformKeywordList::FormCreate()
{
    menuOptionOrderByKeyword->setChecked(true);
    menuOptionOrderByCount->setChecked(false);
}

void TformKeywordList::reopen()
{
    queryKeyword.close();
    queryKeyword.setDatabaseName(m_album.albumQuery().databaseName());
    queryKeyword.open();
}

void TformKeywordList::FormShow()
{
    reopen();
}

void TformKeywordList::FormResize()
{
    const int left = panelBottom->width() / 2 - panelButtons->width() / 2;
    panelButtons->move(std::max(0, left), 0);
}

void TformKeywordList::menuFileUpdateKeywordClick()
{
    if (!m_updateKeyword)
        return;
    m_updateKeyword->exec();
    reopen();
}

void TformKeywordList::menuFileCloseClick()
{
    reject();
}

void TformKeywordList::bitbtnCloseClick()
{
    reject();
}

void TformKeywordList::chooseOrder(bool byCount)
{
    menuOptionOrderByKeyword->setChecked(!byCount);
    menuOptionOrderByCount->setChecked(byCount);
    queryKeyword.close();
    queryKeyword.setSql({byCount ? kByCount : kByKeyword});
    queryKeyword.open();
}

void TformKeywordList::menuOptionOrderByKeywordClick()
{
    chooseOrder(false);
}

void TformKeywordList::menuOptionOrderByCountClick()
{
    chooseOrder(true);
}

void TformKeywordList::followCurrentRecord()
{
    if (!queryKeyword.active() || queryKeyword.recNo() < 0)
        return;
    m_followingGrid = true;
    const int column = std::max(0, dbgridKeyword->currentIndex().column());
    dbgridKeyword->setCurrentIndex(datasourceKeyword->index(queryKeyword.recNo(), column));
    m_followingGrid = false;
}

void TformKeywordList::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CentreOnScreen(this);
    guard([this] { FormShow(); });
}

bool TformKeywordList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panelBottom && event->type() == QEvent::Resize)
        FormResize();
    // Esc on the grid drops the row's changes rather than closing the window.
    if (watched == dbgridKeyword && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && queryKeyword.active() &&
        queryKeyword.state() != DataSet::State::Browse) {
        guard([this] { queryKeyword.cancel(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace pictavo
