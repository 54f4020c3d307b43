#include "main/tformmain.h"

#include "app/error_report.h"
#include "app/form_placement.h"
#include "app/prompter.h"
#include "app/regutl.h"
#include "main/album_model.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace pictavo {

namespace {

constexpr int kPanelWidth = 152;
constexpr int kDesignGridHeight = 124;
const QString kFormKey = regutl::formKey(regutl::kSettingsKey, QStringLiteral("formMain"));

} // namespace

TformMain::TformMain(Prompter &prompter, QWidget *parent)
    : QMainWindow(parent), m_prompter(prompter)
{
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("Pictavo"));
    queryAlbum.setSql({QStringLiteral("select * from PHOTODB.DB ;")});
    tableKeyword.setTableName(QStringLiteral("KEYWORD.DB"));

    createMenus();
    auto *central = new QWidget(this);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    createPanel();

    m_body = new QWidget(central);
    auto *column = new QVBoxLayout(m_body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    scrollboxViewArea = new QScrollArea(m_body);
    scrollboxViewArea->setObjectName(QStringLiteral("scrollboxViewArea"));
    scrollboxViewArea->setFrameShape(QFrame::NoFrame);
    scrollboxViewArea->setBackgroundRole(QPalette::Mid);
    imageViewArea = new QLabel;
    imageViewArea->setObjectName(QStringLiteral("imageViewArea"));
    imageViewArea->hide();
    scrollboxViewArea->setWidget(imageViewArea);
    scrollboxViewArea->setWidgetResizable(false);

    dbgridAlbum = new QTableView(m_body);
    dbgridAlbum->setObjectName(QStringLiteral("dbgridAlbum"));
    datasourceAlbum = new AlbumModel(queryAlbum,
                                     {{QStringLiteral("Prefix"), QStringLiteral("PREFIX")},
                                      {QStringLiteral("Name"), QStringLiteral("NAME")},
                                      {QStringLiteral("Size"), QStringLiteral("IMAGE_SIZE")},
                                      {QStringLiteral("Keyword"), QStringLiteral("KEYWORD")}},
                                     this);
    dbgridAlbum->setModel(datasourceAlbum);
    // A fixed row height lets the grid work out what is on screen without asking for
    // every record.
    dbgridAlbum->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgridAlbum->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    dbgridAlbum->verticalHeader()->hide();
    dbgridAlbum->horizontalHeader()->setStretchLastSection(true);
    dbgridAlbum->setColumnWidth(0, 134);
    dbgridAlbum->setColumnWidth(1, 146);
    dbgridAlbum->setFixedHeight(kDesignGridHeight);
    column->addWidget(scrollboxViewArea, 1);
    column->addWidget(dbgridAlbum);
    column->addSpacing(4);

    row->addWidget(m_body, 1);
    row->addWidget(panelCommand);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    hookAlbumQuery();

    // The design bounds are what a missing placement value falls back on.
    setGeometry(144, 35, 541, 502);
    RecordModified = false;
    if (regutl::KeyExists(kFormKey)) {
        LoadFormPlacement(this, regutl::kSettingsKey);
        LoadSettings();
    } else {
        resize(640, 480);
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        SetWaitTime(3);
    }
}

TformMain::~TformMain()
{
    // A settings file that cannot be written is reported, never thrown out of here.
    guard([this] {
        if (!regutl::KeyExists(regutl::kSettingsKey))
            return;
        SaveFormPlacement(this, regutl::kSettingsKey);
        SaveSettings();
    });
    // The grid's model listens to the Album Query, a member that goes before the children.
    dbgridAlbum->setModel(nullptr);
    delete datasourceAlbum;
}

void TformMain::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("File(&F)"));
    menuFileNew = file->addAction(QStringLiteral("New Database(&N)..."));
    menuFileOpen = file->addAction(QStringLiteral("Open Database(&O)..."));
    file->addSeparator();
    menuFileExit = file->addAction(QStringLiteral("Exit(&X)"));
    connect(menuFileNew, &QAction::triggered, this, [this] { guard([this] { menuFileNewClick(); }); });
    connect(menuFileOpen, &QAction::triggered, this, [this] { guard([this] { menuFileOpenClick(); }); });
    connect(menuFileExit, &QAction::triggered, this, &TformMain::menuFileExitClick);

    QMenu *option = menuBar()->addMenu(QStringLiteral("Option(&O)"));
    menuOptionDeleteRegistory = option->addAction(QStringLiteral("Delete Registory(&R)"));
    connect(menuOptionDeleteRegistory, &QAction::triggered, this,
            [this] { guard([this] { menuOptionDeleteRegistoryClick(); }); });
    option->addSeparator();
    menuOptionWaitTimeLine = option->addAction(QString());
    menuOptionWaitTimeLine->setEnabled(false);
}

void TformMain::createPanel()
{
    panelCommand = new QWidget;
    panelCommand->setObjectName(QStringLiteral("panelCommand"));
    panelCommand->setFixedWidth(kPanelWidth);
    auto *layout = new QVBoxLayout(panelCommand);
    QFont captions(QStringLiteral("Times New Roman"));
    captions.setBold(true);
    captions.setPixelSize(15);

    auto *countRow = new QHBoxLayout;
    auto *labelCount = new QLabel(QStringLiteral("Count:"), panelCommand);
    labelCount->setFont(captions);
    editCounter = new QLineEdit(panelCommand);
    editCounter->setObjectName(QStringLiteral("editCounter"));
    editCounter->setReadOnly(true);
    QPalette grey = editCounter->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window).darker(110));
    editCounter->setPalette(grey);
    countRow->addWidget(labelCount);
    countRow->addWidget(editCounter, 1);
    layout->addLayout(countRow);
    layout->addStretch(1);

    bitbtnExit = new QPushButton(QStringLiteral("Exit"), panelCommand);
    bitbtnExit->setObjectName(QStringLiteral("bitbtnExit"));
    bitbtnExit->setFont(captions);
    bitbtnExit->setDefault(true);
    connect(bitbtnExit, &QPushButton::clicked, this, &TformMain::menuFileExitClick);
    layout->addWidget(bitbtnExit);
}

void TformMain::hookAlbumQuery()
{
    queryAlbum.afterInsert = [this](DataSet &) { ShowRecordCount(); };
    queryAlbum.afterEdit = [this](DataSet &) { RecordModified = true; };
    queryAlbum.afterPost = [this](DataSet &) { RecordModified = false; };
    queryAlbum.afterCancel = [this](DataSet &) { RecordModified = false; };
    queryAlbum.afterDelete = [this](DataSet &) { ShowRecordCount(); };
}

void TformMain::guard(const std::function<void()> &command)
{
    runGuarded(m_prompter, command);
}

void TformMain::ShowRecordCount()
{
    const int count = queryAlbum.active() ? queryAlbum.recordCount() : 0;
    editCounter->setText(QString::number(count));
    if (count == 0)
        imageViewArea->hide();
}

void TformMain::SetWaitTime(int seconds)
{
    m_waitTime = seconds;
    menuOptionWaitTimeLine->setText(QStringLiteral("Wait Time: %1 sec.").arg(seconds));
}

void TformMain::setPanelDockedRight(bool right)
{
    m_panelRight = right;
    auto *row = static_cast<QHBoxLayout *>(centralWidget()->layout());
    row->removeWidget(panelCommand);
    row->insertWidget(right ? 1 : 0, panelCommand);
}

void TformMain::LoadSettings()
{
    setPanelDockedRight(regutl::ReadString(kFormKey, QStringLiteral("Panel_Layout"),
                                           QStringLiteral("Right")) == QLatin1String("Right"));
    dbgridAlbum->setFixedHeight(std::max(
        0, regutl::ReadInteger(kFormKey, QStringLiteral("Table_Height"), dbgridAlbum->height())));
    const QString directory = regutl::ReadString(kFormKey, QStringLiteral("Database_Name"), QString());
    // A wait time outside what the entry dialog accepts is brought back into range.
    SetWaitTime(std::clamp(regutl::ReadInteger(kFormKey, QStringLiteral("Wait_Time"), 3), 0, 10));
    openAtStartup(directory);
}

void TformMain::SaveSettings()
{
    regutl::WriteString(kFormKey, QStringLiteral("Panel_Layout"),
                        m_panelRight ? QStringLiteral("Right") : QStringLiteral("Left"));
    regutl::WriteInteger(kFormKey, QStringLiteral("Table_Height"), dbgridAlbum->height());
    regutl::WriteString(kFormKey, QStringLiteral("Database_Name"), queryAlbum.databaseName());
    regutl::WriteInteger(kFormKey, QStringLiteral("Wait_Time"), m_waitTime);
}

} // namespace pictavo
