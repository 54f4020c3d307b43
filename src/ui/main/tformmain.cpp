#include "main/tformmain.h"

#include "base/prompter.h"
#include "base/regutl.h"
#include "info/version_info.h"
#include "widgets/album_columns.h"
#include "widgets/album_model.h"
#include "widgets/db_navigator.h"
#include "widgets/draw_picture.h"
#include "widgets/error_report.h"
#include "widgets/file_drop.h"
#include "widgets/form_placement.h"
#include "widgets/help_menu.h"
#include "widgets/main_logo.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace pictavo {

namespace {

constexpr int kPanelWidth = 152;
constexpr int kDesignGridHeight = 124;
const QString kFormKey = regutl::formKey(regutl::kSettingsKey, QStringLiteral("formMain"));

QFont panelFont()
{
    QFont font(QStringLiteral("Times New Roman"));
    font.setBold(true);
    font.setPixelSize(15);
    return font;
}

} // namespace

TformMain::TformMain(Prompter &prompter, QWidget *parent)
    : QMainWindow(parent), m_prompter(prompter),
      m_scale([this](const std::function<void()> &command) { return guard(command); },
              [this](bool autoMode) {
                  DrawPicture(imageTmp, imageViewArea, scrollboxViewArea, autoMode);
              }),
      m_slideshow(queryAlbum, *this, prompter)
{
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("Pictavo"));
    queryAlbum.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    tableKeyword.setTableName(QStringLiteral("KEYWORD.DB"));

    createMenus();
    timerWaitTime = new QTimer(this);
    timerWaitTime->setObjectName(QStringLiteral("timerWaitTime"));
    connect(timerWaitTime, &QTimer::timeout, this, &TformMain::timerWaitTimeTimer);
    imageTmp.setLookAhead(&m_lookAhead);
    m_lookAhead.setDrawStep(prepareFittedDraw);
    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    createPanel();

    auto *body = new QWidget(central);
    auto *column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    scrollboxViewArea = new QScrollArea(body);
    scrollboxViewArea->setObjectName(QStringLiteral("scrollboxViewArea"));
    scrollboxViewArea->setFrameShape(QFrame::NoFrame);
    scrollboxViewArea->setBackgroundRole(QPalette::Mid);
    imageViewArea = new QLabel;
    imageViewArea->setObjectName(QStringLiteral("imageViewArea"));
    imageViewArea->setCursor(Qt::PointingHandCursor);
    setUpPictureArea(scrollboxViewArea, imageViewArea);
    // The area changes size with the window and the grid: the photo is fitted again.
    scrollboxViewArea->installEventFilter(this);
    // A click on the photo or the grey around it shows the slide.
    for (QObject *clickable : {static_cast<QObject *>(scrollboxViewArea->viewport()),
                               static_cast<QObject *>(scrollboxViewArea->widget()),
                               static_cast<QObject *>(imageViewArea)})
        clickable->installEventFilter(this);
    createGrid(body);
    column->addWidget(scrollboxViewArea, 1);
    column->addWidget(dbgridAlbum);
    column->addSpacing(4);

    row->addWidget(body, 1);
    row->addWidget(panelCommand);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    hookAlbumQuery();
    acceptFileDrops(
        this, [this](const QStringList &paths) { guard([this, &paths] { filesDropped(paths); }); });

    // The design bounds are what a missing placement value falls back on.
    setGeometry(144, 35, 541, 502);
    RecordModified = false;
    if (regutl::KeyExists(kFormKey)) {
        LoadFormPlacement(this, regutl::kSettingsKey);
        LoadSettings();
    } else {
        PlaceAtFirstStart(this, QSize(640, 480));
        SetWaitTime(3);
    }
}

TformMain::~TformMain()
{
    // The assistant reads the Album Query: it goes while the query is still there.
    delete m_keywordAssist;
    // A settings file that cannot be written is reported, never thrown out of here.
    guard([this] {
        if (!regutl::KeyExists(regutl::kSettingsKey))
            return;
        SaveFormPlacement(this, regutl::kSettingsKey);
        SaveSettings();
    });
    // The grid's model and the navigators listen to the Album Query, a member that goes
    // before the child widgets.
    queryAlbum.afterScroll = nullptr;
    dbgridAlbum->setModel(nullptr);
    delete datasourceAlbum;
    delete panelCommand;
}

void TformMain::createMenus()
{
    auto command = [this](QMenu *menu, const QString &caption, void (TformMain::*handler)()) {
        QAction *action = menu->addAction(caption);
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([this, handler] { (this->*handler)(); }); });
        return action;
    };
    QMenu *file = menuBar()->addMenu(QStringLiteral("File(&F)"));
    menuFileNew =
        command(file, QStringLiteral("New Database(&N)..."), &TformMain::menuFileNewClick);
    menuFileOpen =
        command(file, QStringLiteral("Open Database(&O)..."), &TformMain::menuFileOpenClick);
    menuFileBackup =
        command(file, QStringLiteral("Backup Database(&B)..."), &TformMain::menuFileBackupClick);
    file->addSeparator();
    m_menuFileInport = file->addMenu(QStringLiteral("Inport(&I)"));
    menuFileInportFile = command(m_menuFileInport, QStringLiteral("File(&F)..."),
                                 &TformMain::menuFileInportFileClick);
    m_menuFileInport->menuAction()->setVisible(false);
    menuFileDelete =
        command(file, QStringLiteral("Delete(&D)..."), &TformMain::menuFileDeleteClick);
    QMenu *exportMenu = file->addMenu(QStringLiteral("Export(&E)"));
    menuFileExportCurrent = command(exportMenu, QStringLiteral("Current photo(&C)..."),
                                    &TformMain::menuFileExportCurrentClick);
    menuFileExportSet = command(exportMenu, QStringLiteral("All photos of the set(&A)..."),
                                &TformMain::menuFileExportSetClick);
    file->addSeparator();
    menuFileExit = command(file, QStringLiteral("Exit(&X)"), &TformMain::menuFileExitClick);

    QMenu *display = menuBar()->addMenu(QStringLiteral("Display(&V)"));
    menuDisplayEasyFilter =
        command(display, QStringLiteral("Easy Filter(&E)"), &TformMain::menuDisplayEasyFilterClick);
    menuDisplayExpertFilter = command(display, QStringLiteral("Expert Filter(&P)"),
                                      &TformMain::menuDisplayExpertFilterClick);
    menuDisplayRefresh =
        command(display, QStringLiteral("Refresh(&R)"), &TformMain::menuDisplayRefreshClick);
    menuDisplayEasyFilter->setVisible(false);
    menuDisplayExpertFilter->setVisible(false);
    createKeywordCommands(display);

    // Keyword list: appears once the window exists (setKeywordList).
    menuDisplayKeywordList = command(display, QStringLiteral("Keyword List(&L)"),
                                     &TformMain::menuDisplayKeywordListClick);
    menuDisplayKeywordList->setVisible(false);
    display->addSeparator();
    menuDisplaySlide =
        command(display, QStringLiteral("Slide(&S)"), &TformMain::menuDisplaySlideClick);
    menuDisplaySlideshow =
        command(display, QStringLiteral("Slideshow(&W)"), &TformMain::menuDisplaySlideshowClick);
    menuDisplaySlide->setVisible(false);
    menuDisplaySlideshow->setVisible(false);
    menuDisplayThumbnails =
        command(display, QStringLiteral("Thumbnails(&T)"), &TformMain::menuDisplayThumbnailsClick);
    menuDisplayThumbnails->setVisible(false);

    QMenu *option = menuBar()->addMenu(QStringLiteral("Option(&O)"));
    menuOptionDeleteRegistory = command(option, QStringLiteral("Delete Registory(&R)"),
                                        &TformMain::menuOptionDeleteRegistoryClick);
    option->addSeparator();
    menuOptionChangePanelLayout = command(option, QStringLiteral("Change Panel Layout(&L)"),
                                          &TformMain::menuOptionChangePanelLayoutClick);
    menuOptionAutoScale =
        command(option, QStringLiteral("Auto Scale(&A)"), &TformMain::menuOptionAutoScaleClick);
    m_scale.setMenuItem(menuOptionAutoScale);
    QMenu *height = option->addMenu(QStringLiteral("Table Height(&H)"));
    menuOptionLower =
        command(height, QStringLiteral("Lower(&L)"), &TformMain::menuOptionLowerClick);
    menuOptionHigher =
        command(height, QStringLiteral("Higher(&H)"), &TformMain::menuOptionHigherClick);
    menuOptionWaitTime = command(option, QStringLiteral("Slideshow Wait Time(&T)..."),
                                 &TformMain::menuOptionWaitTimeClick);
    option->addSeparator();
    menuOptionWaitTimeValue = option->addAction(QString());
    menuOptionWaitTimeValue->setEnabled(false);

    const HelpMenuItems help = addHelpMenu(menuBar(), m_prompter, QStringLiteral("main"));
    menuHelpInEng = help.english;
    menuHelpInJap = help.japanese;
    help.menu->addSeparator();
    menuHelpVersion = command(help.menu, QStringLiteral("Version Informations(&A)"),
                              &TformMain::menuHelpVersionClick);
    menuHelpVersion->setObjectName(QStringLiteral("menuHelpVersion"));
}

void TformMain::menuHelpVersionClick()
{
    m_prompter.information(versionMessage());
}

void TformMain::createPanel()
{
    panelCommand = new QWidget;
    panelCommand->setObjectName(QStringLiteral("panelCommand"));
    panelCommand->setFixedWidth(kPanelWidth);
    panelCommand->setFont(panelFont());
    auto *layout = new QVBoxLayout(panelCommand);
    layout->setContentsMargins(6, 6, 6, 6);

    auto *logo = new QLabel(panelCommand);
    logo->setObjectName(QStringLiteral("imageLogo"));
    logo->setPixmap(mainLogo(kPanelWidth - 12));
    layout->addWidget(logo);

    radiogroupScale = m_scale.createGroup(panelCommand);
    radioAuto = m_scale.radioAuto();
    radioOneToOne = m_scale.radioOneToOne();
    layout->addWidget(radiogroupScale);

    auto *tableHeight = new QGroupBox(QStringLiteral("Table Height"), panelCommand);
    auto *heightButtons = new QHBoxLayout(tableHeight);
    buttonHigher = new QPushButton(QString::fromUtf8("\u25B2"), tableHeight);
    buttonLower = new QPushButton(QString::fromUtf8("\u25BC"), tableHeight);
    buttonHigher->setToolTip(QStringLiteral("Higher"));
    buttonLower->setToolTip(QStringLiteral("Lower"));
    connect(buttonHigher, &QPushButton::clicked, this,
            [this] { guard([this] { menuOptionHigherClick(); }); });
    connect(buttonLower, &QPushButton::clicked, this,
            [this] { guard([this] { menuOptionLowerClick(); }); });
    heightButtons->addWidget(buttonHigher);
    heightButtons->addWidget(buttonLower);
    layout->addWidget(tableHeight);

    auto *countRow = new QHBoxLayout;
    auto *labelCount = new QLabel(QStringLiteral("Count:"), panelCommand);
    editCounter = new QLineEdit(panelCommand);
    editCounter->setObjectName(QStringLiteral("editCounter"));
    editCounter->setReadOnly(true);
    editCounter->setFocusPolicy(Qt::NoFocus);
    QPalette grey = editCounter->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window).darker(112));
    editCounter->setPalette(grey);
    countRow->addWidget(labelCount);
    countRow->addWidget(editCounter, 1);
    layout->addLayout(countRow);
    bitbtnEasyFilter = new QPushButton(QStringLiteral("Easy Filter"), panelCommand);
    bitbtnEasyFilter->setObjectName(QStringLiteral("bitbtnEasyFilter"));
    bitbtnEasyFilter->setVisible(false);
    connect(bitbtnEasyFilter, &QPushButton::clicked, this,
            [this] { guard([this] { menuDisplayEasyFilterClick(); }); });
    layout->addWidget(bitbtnEasyFilter);
    createAssistantButton(layout);
    layout->addStretch(1);

    const auto navigatorGuard = [this](const std::function<void()> &command) { guard(command); };
    navigatorMove = new DbNavigator(queryAlbum, {DbNavigator::First, DbNavigator::Last},
                                    navigatorGuard, panelCommand);
    navigatorStep = new DbNavigator(queryAlbum, {DbNavigator::Prior, DbNavigator::Next},
                                    navigatorGuard, panelCommand);
    navigatorEdit = new DbNavigator(queryAlbum, {DbNavigator::Post, DbNavigator::Cancel},
                                    navigatorGuard, panelCommand);
    layout->addWidget(navigatorMove);
    layout->addWidget(navigatorStep);
    layout->addWidget(navigatorEdit);
    layout->addSpacing(8);

    bitbtnExit = new QPushButton(QStringLiteral("Exit"), panelCommand);
    bitbtnExit->setObjectName(QStringLiteral("bitbtnExit"));
    bitbtnExit->setDefault(true);
    connect(bitbtnExit, &QPushButton::clicked, this, &TformMain::menuFileExitClick);
    layout->addWidget(bitbtnExit);
}

void TformMain::createGrid(QWidget *parent)
{
    dbgridAlbum = new QTableView(parent);
    dbgridAlbum->setObjectName(QStringLiteral("dbgridAlbum"));
    datasourceAlbum = new AlbumModel(
        queryAlbum,
        {{QStringLiteral("Prefix"), QStringLiteral("PREFIX")},
         {QStringLiteral("Name"), QStringLiteral("NAME")},
         {QStringLiteral("Size"), QStringLiteral("IMAGE_SIZE")},
         {QStringLiteral("Keyword"), QStringLiteral("KEYWORD")}},
        [this](const std::function<void()> &command) { return guard(command); }, this);
    dbgridAlbum->setModel(datasourceAlbum);
    dbgridAlbum->setItemDelegate(new AlbumDelegate(*datasourceAlbum, dbgridAlbum));
    dbgridAlbum->setEditTriggers(QAbstractItemView::AnyKeyPressed |
                                 QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed);
    dbgridAlbum->setSelectionMode(QAbstractItemView::SingleSelection);
    // A fixed row height lets the grid work out what is on screen without asking for
    // every record.
    dbgridAlbum->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgridAlbum->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    dbgridAlbum->verticalHeader()->setFixedWidth(16);
    dbgridAlbum->verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    dbgridAlbum->horizontalHeader()->setStretchLastSection(true);
    dbgridAlbum->setFixedHeight(kDesignGridHeight);
    dbgridAlbum->installEventFilter(this);
    dbgridAlbum->viewport()->installEventFilter(this);
    connect(dbgridAlbum->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (m_followingGrid || !current.isValid() || !queryAlbum.active() ||
                    current.row() == queryAlbum.recNo())
                    return;
                // Leaving a row posts its edit; a refused post keeps the record current.
                if (!guard([&] { queryAlbum.moveTo(current.row()); }))
                    followCurrentRecord();
            });
    queryAlbum.addListener([this](const DataSet::Change &change) {
        if (change.kind == DataSet::Change::CurrentChanged || change.kind == DataSet::Change::Reset)
            followCurrentRecord();
    });
}

void TformMain::followCurrentRecord()
{
    if (!queryAlbum.active() || queryAlbum.recNo() < 0)
        return;
    m_followingGrid = true;
    const int column = std::max(0, dbgridAlbum->currentIndex().column());
    dbgridAlbum->setCurrentIndex(datasourceAlbum->index(queryAlbum.recNo(), column));
    m_followingGrid = false;
}

bool TformMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == scrollboxViewArea && event->type() == QEvent::Resize)
        guard([this] { m_scale.redrawAuto(); });
    if (watched == dbgridAlbum->viewport() && event->type() == QEvent::Resize)
        fitAlbumColumns(dbgridAlbum);
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
        (watched == imageViewArea || watched == scrollboxViewArea->viewport() ||
         watched == scrollboxViewArea->widget())) {
        guard([this] { menuDisplaySlideClick(); });
        return true;
    }
    // Esc reaching the grid itself (an open cell editor takes its own Esc first) cancels
    // the record's edit.
    if (watched == dbgridAlbum && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && queryAlbum.active() &&
        queryAlbum.state() != DataSet::State::Browse) {
        guard([this] { queryAlbum.cancel(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TformMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The keyboard works on the records from the start; the panel stays reachable by Tab.
    if (!m_shownOnce) {
        m_shownOnce = true;
        dbgridAlbum->setFocus(Qt::OtherFocusReason);
    }
}

bool TformMain::guard(const std::function<void()> &command)
{
    return runGuarded(m_prompter, command);
}

void TformMain::ShowRecordCount()
{
    const int count = queryAlbum.active() ? queryAlbum.recordCount() : 0;
    editCounter->setText(QString::number(count));
    // Every opening ends here: the status bar says once, and for as long as it holds,
    // that the library can only be read.
    const bool readOnly = queryAlbum.libraryReadOnly();
    if (readOnly && !labelReadOnly) {
        labelReadOnly = new QLabel(QStringLiteral("Read-only: this library's files cannot be "
                                                  "written."),
                                   statusBar());
        labelReadOnly->setObjectName(QStringLiteral("labelReadOnly"));
        labelReadOnly->setAccessibleName(labelReadOnly->text());
        statusBar()->addPermanentWidget(labelReadOnly);
    }
    if (labelReadOnly)
        labelReadOnly->setVisible(readOnly);
    if (count == 0)
        imageViewArea->hide();
}

void TformMain::SetWaitTime(int seconds)
{
    m_waitTime = seconds;
    menuOptionWaitTimeValue->setText(QStringLiteral("Wait Time: %1 sec.").arg(seconds));
    timerWaitTime->setInterval(seconds * 1000);
}

void TformMain::setPanelDockedRight(bool right)
{
    m_panelRight = right;
    DockPanel(static_cast<QHBoxLayout *>(centralWidget()->layout()), panelCommand, right);
}

void TformMain::LoadSettings()
{
    setPanelDockedRight(ReadPanelDockedRight(kFormKey));
    // Within the screens' height: a grid beyond it cannot be seen, and one of absurd
    // height cannot be drawn.
    const QRect desk = desktopArea();
    const int highest = desk.isValid() ? desk.height() : 4096;
    dbgridAlbum->setFixedHeight(std::clamp(
        regutl::ReadInteger(kFormKey, QStringLiteral("Table_Height"), dbgridAlbum->height()), 0,
        highest));
    const QString directory =
        regutl::ReadString(kFormKey, QStringLiteral("Database_Name"), QString());
    // A wait time outside what the entry dialog accepts is brought back into range.
    SetWaitTime(std::clamp(regutl::ReadInteger(kFormKey, QStringLiteral("Wait_Time"), 3), 0, 10));
    openAtStartup(directory);
}

void TformMain::SaveSettings()
{
    WritePanelDockedRight(kFormKey, m_panelRight);
    regutl::WriteInteger(kFormKey, QStringLiteral("Table_Height"), dbgridAlbum->height());
    regutl::WriteString(kFormKey, QStringLiteral("Database_Name"), queryAlbum.databaseName());
    regutl::WriteInteger(kFormKey, QStringLiteral("Wait_Time"), m_waitTime);
}

} // namespace pictavo
