#include "thumbnails/tformthumbnails.h"

#include "album/album_host.h"
#include "base/regutl.h"
#include "db/query.h"
#include "thumbnails/thumbnail_delegate.h"
#include "thumbnails/thumbnail_model.h"
#include "widgets/error_report.h"
#include "widgets/form_placement.h"
#include "widgets/help_menu.h"

#include <QKeyEvent>
#include <QListView>
#include <QMenuBar>
#include <QScrollBar>
#include <QVBoxLayout>

namespace pictavo {

namespace {

const QString kFormName = QStringLiteral("formThumbnails");
// A key held down repeats faster than this: the main window moves once it is let go of,
// and the grid alone follows each step.
constexpr int kKeyMoveDelayMs = 60;

} // namespace

TformThumbnails::TformThumbnails(AlbumHost &album, Prompter &prompter, QWidget *parent)
    : QWidget(parent, Qt::Window), m_album(album), m_prompter(prompter)
{
    setObjectName(kFormName);
    setWindowTitle(QStringLiteral("Thumbnails"));
    ThumbnailCache *cache = album.thumbnails();
    if (cache == nullptr) {
        m_ownCache = std::make_unique<ThumbnailCache>();
        cache = m_ownCache.get();
    }

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    menuBar = new QMenuBar(this);
    addHelpMenu(menuBar, prompter, QStringLiteral("thumbnails"));
    column->setMenuBar(menuBar);

    listviewThumbnails = new QListView(this);
    listviewThumbnails->setObjectName(QStringLiteral("listviewThumbnails"));
    listviewThumbnails->setAccessibleName(QStringLiteral("Thumbnails"));
    // A grid of equal cells, laid out by arithmetic: nothing is asked of a record that is
    // not on screen.
    listviewThumbnails->setViewMode(QListView::ListMode);
    listviewThumbnails->setFlow(QListView::LeftToRight);
    listviewThumbnails->setWrapping(true);
    listviewThumbnails->setResizeMode(QListView::Adjust);
    listviewThumbnails->setMovement(QListView::Static);
    listviewThumbnails->setUniformItemSizes(true);
    listviewThumbnails->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    listviewThumbnails->setSelectionMode(QAbstractItemView::SingleSelection);
    listviewThumbnails->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_delegate = new ThumbnailDelegate(listviewThumbnails);
    listviewThumbnails->setItemDelegate(m_delegate);
    listviewThumbnails->setGridSize(ThumbnailDelegate::cellSize(listviewThumbnails->fontMetrics()));
    listviewThumbnails->verticalScrollBar()->setSingleStep(listviewThumbnails->gridSize().height() /
                                                           4);
    m_model = new ThumbnailModel(album.albumQuery(), *cache, this);
    listviewThumbnails->setModel(m_model);
    column->addWidget(listviewThumbnails, 1);

    m_move.setObjectName(QStringLiteral("timerMoveAlbum"));
    m_visible.setObjectName(QStringLiteral("timerVisibleRows"));
    m_move.setSingleShot(true);
    connect(&m_move, &QTimer::timeout, this, &TformThumbnails::moveAlbum);
    m_visible.setSingleShot(true);
    connect(&m_visible, &QTimer::timeout, this, &TformThumbnails::updateVisibleRows);
    const auto visibleChanged = [this] { m_visible.start(0); };
    connect(listviewThumbnails->verticalScrollBar(), &QScrollBar::valueChanged, this,
            visibleChanged);
    connect(listviewThumbnails->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            visibleChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, visibleChanged);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, visibleChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, visibleChanged);
    connect(m_model, &ThumbnailModel::currentRowChanged, this, &TformThumbnails::followAlbum);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        followAlbum(m_album.albumQuery().active() ? m_album.albumQuery().recNo() : -1);
    });
    connect(listviewThumbnails->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TformThumbnails::viewCurrentChanged);
    connect(listviewThumbnails, &QAbstractItemView::doubleClicked, this,
            &TformThumbnails::showSlide);
    listviewThumbnails->installEventFilter(this);
    listviewThumbnails->viewport()->installEventFilter(this);

    FormCreate();
}

TformThumbnails::~TformThumbnails()
{
    // A settings file that cannot be written is reported, never thrown out of here.
    runGuarded(m_prompter, [this] { FormDestroy(); });
    listviewThumbnails->setModel(nullptr);
    delete m_model;
}

void TformThumbnails::FormCreate()
{
    if (regutl::KeyExists(regutl::formKey(regutl::kSettingsKey, kFormName))) {
        LoadFormPlacement(this, regutl::kSettingsKey);
    } else {
        PlaceAtFirstStart(this, QSize(900, 640));
    }
}

void TformThumbnails::FormDestroy()
{
    if (regutl::KeyExists(regutl::kSettingsKey))
        SaveFormPlacement(this, regutl::kSettingsKey);
}

void TformThumbnails::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    followAlbum(m_album.albumQuery().active() ? m_album.albumQuery().recNo() : -1);
    m_visible.start(0);
}

void TformThumbnails::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nothing on screen: nothing is loaded or made.
    m_visible.stop();
    m_model->setVisibleRows(0, -1);
}

bool TformThumbnails::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress)
        m_byKey = event->type() == QEvent::KeyPress;
    if (watched == listviewThumbnails->viewport() && event->type() == QEvent::Resize)
        m_visible.start(0);
    if (watched == listviewThumbnails && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            showSlide();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TformThumbnails::viewCurrentChanged()
{
    if (!m_following && !m_model->changingRows())
        m_move.start(m_byKey ? kKeyMoveDelayMs : 0);
}

void TformThumbnails::moveAlbum()
{
    m_move.stop();
    Query &album = m_album.albumQuery();
    const int row = listviewThumbnails->currentIndex().row();
    if (!album.active() || row < 0 || row == album.recNo())
        return;
    // Leaving a record posts its edit; a refused post keeps the record current.
    if (!runGuarded(m_prompter, [&] { album.moveTo(row); }))
        followAlbum(album.recNo());
}

void TformThumbnails::showSlide()
{
    moveAlbum();
    const QModelIndex current = listviewThumbnails->currentIndex();
    if (current.isValid() && current.row() == m_album.albumQuery().recNo())
        runGuarded(m_prompter, [this] { m_album.showSlide(); });
}

void TformThumbnails::followAlbum(int row)
{
    // The user's own choice on its way to the album stays, unless the rows changed under it.
    if (m_move.isActive() && !m_model->changingRows() &&
        listviewThumbnails->currentIndex().row() != row)
        return;
    m_move.stop();
    m_following = true;
    if (row < 0) {
        listviewThumbnails->setCurrentIndex(QModelIndex());
    } else {
        const QModelIndex index = m_model->index(row);
        listviewThumbnails->setCurrentIndex(index);
        listviewThumbnails->scrollTo(index);
    }
    m_following = false;
}

void TformThumbnails::updateVisibleRows()
{
    const int count = m_model->rowCount();
    if (!isVisible() || count == 0) {
        m_model->setVisibleRows(0, -1);
        return;
    }
    // Equal cells, line after line: the first cell gives where the lines are, the cells
    // of its line how many there are to a line.
    const QRect first = listviewThumbnails->visualRect(m_model->index(0));
    int columns = 1;
    while (columns < count &&
           listviewThumbnails->visualRect(m_model->index(columns)).top() == first.top())
        ++columns;
    const int lineHeight = std::max(1, listviewThumbnails->gridSize().height());
    const int height = listviewThumbnails->viewport()->height();
    const int firstLine = std::max(0, -first.top() / lineHeight);
    const int lastLine = std::max(firstLine, (height - 1 - first.top()) / lineHeight);
    m_model->setVisibleRows(firstLine * columns, std::min(count - 1, (lastLine + 1) * columns - 1));
}

} // namespace pictavo
