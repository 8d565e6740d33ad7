#include "MediaLibThumbnailView.h"

#include "DriveList.h"
#include "MediaInfoStore.h"
#include "MediaIntf.h"
#include "MediaLibDrop.h"
#include "MediaLibTableModel.h"
#include "MediaLibTableView.h"
#include "MediaThumbnailCreator.h"
#include "ThreadManager.h"
#include "VideoThumbnailGenerator.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSortFilterProxyModel>

namespace {

constexpr int CachedThumbnails = 1000;
constexpr int NameHeight = 20;

/// A picture of the resources, read once per process and shared by every tile.
QPixmap resourcePicture(const QString &name)
{
    const QString path = QStringLiteral(":/Image/pics/MediaLib/") + name;
    QPixmap picture;
    if (!QPixmapCache::find(path, &picture)) {
        picture.load(path);
        QPixmapCache::insert(path, picture);
    }
    return picture;
}

QPixmap drivePicture(int kind)
{
    switch (Drive::Kind(kind)) {
    case Drive::Kind::Home:
        return resourcePicture(QStringLiteral("drive_home.png"));
    case Drive::Kind::Removable:
        return resourcePicture(QStringLiteral("drive_usb.png"));
    case Drive::Kind::CdRom:
        return resourcePicture(QStringLiteral("drive_cdrom.png"));
    case Drive::Kind::Remote:
        return resourcePicture(QStringLiteral("drive_remote.png"));
    case Drive::Kind::Fixed:
        break;
    }
    return resourcePicture(QStringLiteral("drive_hdd.png"));
}

QPixmap defaultPicture(int kind)
{
    switch (kind) {
    case MediaIntf::Image:
        return resourcePicture(QStringLiteral("picture_thumbnail.png"));
    case MediaIntf::Video:
        return resourcePicture(QStringLiteral("video_thumbnail.png"));
    default:
        return resourcePicture(QStringLiteral("folder.png"));
    }
}

} // namespace

MediaLibThumbnailView::MediaLibThumbnailView(MediaLibTableView *table, QWidget *parent)
    : QWidget(parent)
    , table(table)
    , store(MediaInfoStore::getInstance())
    , threads(ThreadManager::getInstance())
    , dropper(new MediaLibDrop(this))
    , thumbnails(CachedThumbnails)
    , videos(new VideoThumbnailGenerator(this))
{
    connect(videos, &VideoThumbnailGenerator::createThumbnailComplete, this,
            &MediaLibThumbnailView::reloadVideoThumbnails);
    connect(videos, &VideoThumbnailGenerator::durationWritten, this,
            [this] { durationsWritten = true; });
    setAcceptDrops(true);
    // The panel reads the folder again on the table's word, whichever view changed it.
    connect(dropper, &MediaLibDrop::contentChanged, table, &MediaLibTableView::contentChanged);
    setObjectName(QStringLiteral("thumbnailView"));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

MediaLibThumbnailView::~MediaLibThumbnailView()
{
    dropThumbnailRequests();
    threads->release();
    store->release();
}

void MediaLibThumbnailView::changeCurDir(const QString &path)
{
    folder = path;
    // Thumbnails made since the folder was last shown are found again; tiles left behind make
    // none.
    thumbnails.clear();
    dropThumbnailRequests();
    finishRename(false);
    current = QPersistentModelIndex();
    setOffset(0, Qt::Vertical);
    Q_EMIT scrollRequested(0, Qt::Vertical);
    update();
    videos->generateFolder(path);
}

void MediaLibThumbnailView::changeOrderFromSortModel(QSortFilterProxyModel *model)
{
    if (model != proxy) {
        for (const QMetaObject::Connection &connection : std::as_const(proxyConnections))
            disconnect(connection);
        proxyConnections.clear();
        finishRename(false);
        proxy = model;
        const auto reshaped = [this] {
            relayout();
        };
        proxyConnections << connect(model, &QAbstractItemModel::modelReset, this, reshaped)
                         << connect(model, &QAbstractItemModel::rowsInserted, this, reshaped)
                         << connect(model, &QAbstractItemModel::rowsRemoved, this, reshaped)
                         << connect(model, &QAbstractItemModel::layoutChanged, this, reshaped)
                         << connect(model, &QAbstractItemModel::dataChanged, this,
                                    qOverload<>(&QWidget::update));
    }
    // The row the table shows as current stays current in the grid.
    if (table->model() == proxy)
        current = table->currentIndex();
    relayout();
}

void MediaLibThumbnailView::reloadVideoThumbnails()
{
    // Only videos without a thumbnail are looked up again; the pictures stay as they are.
    const QStringList cached = thumbnails.keys();
    for (const QString &path : cached) {
        if (thumbnails.object(path)->isNull()
            && MediaLibTableModel::kindOfFileName(path) == MediaIntf::Video)
            thumbnails.remove(path);
    }
    update();
    if (std::exchange(durationsWritten, false))
        Q_EMIT videoThumbnailReloaded();
}

int MediaLibThumbnailView::columns() const
{
    return qMax(1, width() / TileWidth);
}

int MediaLibThumbnailView::leftMargin() const
{
    return qMax(0, (width() - columns() * TileWidth) / 2);
}

QRect MediaLibThumbnailView::tileRect(int row) const
{
    const int perLine = columns();
    return QRect(leftMargin() + row % perLine * TileWidth, row / perLine * TileHeight - top,
                 TileWidth, TileHeight);
}

int MediaLibThumbnailView::rowAt(const QPoint &pos) const
{
    if (!proxy || pos.x() < leftMargin())
        return -1;
    const int column = (pos.x() - leftMargin()) / TileWidth;
    const int line = (pos.y() + top) / TileHeight;
    const int row = line * columns() + column;
    return column < columns() && pos.y() + top >= 0 && row < proxy->rowCount() ? row : -1;
}

void MediaLibThumbnailView::relayout()
{
    const int rows = proxy ? proxy->rowCount() : 0;
    const int lines = (rows + columns() - 1) / columns();
    const int maximum = qMax(0, lines * TileHeight - height());
    if (top > maximum)
        top = maximum;
    Q_EMIT uiRangeChanged(0, maximum, Qt::Vertical);
    update();
}

void MediaLibThumbnailView::setOffset(int value, Qt::Orientation orientation)
{
    // Tiles wrap at the width: only the vertical offset moves them.
    if (orientation != Qt::Vertical || value == top)
        return;
    finishRename(false);
    top = value;
    dropUnseenRequests();
    update();
}

void MediaLibThumbnailView::ensureVisible(int row)
{
    const QRect tile = tileRect(row);
    int wanted = top;
    if (tile.top() < 0)
        wanted = top + tile.top();
    else if (tile.bottom() >= height())
        wanted = top + tile.bottom() + 1 - height();
    if (wanted != top) {
        setOffset(wanted, Qt::Vertical);
        Q_EMIT scrollRequested(wanted, Qt::Vertical);
    }
}

void MediaLibThumbnailView::setCurrentIndex(const QModelIndex &index)
{
    current = index;
    if (index.isValid())
        ensureVisible(index.row());
    update();
}

void MediaLibThumbnailView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    finishRename(false);
    relayout();
}

void MediaLibThumbnailView::paintEvent(QPaintEvent *event)
{
    if (!proxy)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int perLine = columns();
    const int rows = proxy->rowCount();
    const int firstLine = qMax(0, (event->rect().top() + top) / TileHeight);
    const int lastLine = (event->rect().bottom() + top) / TileHeight;
    for (int row = firstLine * perLine; row < qMin(rows, (lastLine + 1) * perLine); ++row)
        paintTile(painter, row);
}

void MediaLibThumbnailView::paintTile(QPainter &painter, int row)
{
    const QRect tile = tileRect(row).adjusted(3, 3, -3, -3);
    const QModelIndex index = proxy->index(row, MediaLibTableModel::NameColumn);
    if (current.isValid() && current.row() == row) {
        QColor highlight = palette().color(QPalette::Highlight);
        highlight.setAlpha(hasFocus() ? 90 : 50);
        painter.setPen(Qt::NoPen);
        painter.setBrush(highlight);
        painter.drawRoundedRect(tile, 6, 6);
    }
    const QRect pictureBox(tile.center().x() - PictureSize / 2, tile.top() + 2, PictureSize,
                           PictureSize);
    const QPixmap picture = pictureFor(index);
    if (!picture.isNull()) {
        // Small thumbnails keep their size; the default pictures fit the box.
        QSize shown = picture.size();
        if (shown.width() > PictureSize || shown.height() > PictureSize)
            shown.scale(pictureBox.size(), Qt::KeepAspectRatio);
        QRect target(QPoint(0, 0), shown);
        target.moveCenter(pictureBox.center());
        painter.drawPixmap(target, picture);
    }
    const QRect nameBox(tile.left(), tile.bottom() - NameHeight, tile.width(), NameHeight);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(nameBox, Qt::AlignCenter,
                     fontMetrics().elidedText(index.data().toString(), Qt::ElideMiddle,
                                              nameBox.width() - 4));
}

QPixmap MediaLibThumbnailView::pictureFor(const QModelIndex &index)
{
    const QVariant driveKind = index.data(MediaLibTableModel::DriveKindRole);
    if (driveKind.isValid() && driveKind.toInt() >= 0)
        return drivePicture(driveKind.toInt());
    const int kind = index.data(MediaLibTableModel::KindRole).toInt();
    if (kind == MediaIntf::Image || kind == MediaIntf::Video) {
        const QString path = index.data(MediaLibTableModel::PathRole).toString();
        QPixmap thumbnail;
        if (const QPixmap *cached = thumbnails.object(path)) {
            thumbnail = *cached;
        } else {
            // Looked up when the tile first comes into sight, not when the folder is listed.
            const QString file = store->thumbnailPath(path);
            if (QFileInfo::exists(file))
                thumbnail.load(file, "PNG");
            thumbnails.insert(path, new QPixmap(thumbnail));
        }
        if (!thumbnail.isNull())
            return thumbnail;
        if (kind == MediaIntf::Image && !asked.contains(path))
            requestThumbnail(path);
    }
    return defaultPicture(kind);
}

void MediaLibThumbnailView::requestThumbnail(const QString &path)
{
    auto *creator = new MediaThumbnailCreator(*store, this);
    creator->setPath(path);
    creators.insert(path, creator);
    asked.insert(path);
    connect(
            creator, &MediaThumbnailCreator::thumbnailCreated, this,
            [this, path, creator](const QString &thumbnail) {
                retire(path, creator);
                thumbnailArrived(path, thumbnail);
            },
            Qt::QueuedConnection);
    // The path stays asked: an unreadable picture is not tried again while the folder is shown.
    connect(
            creator, &MediaThumbnailCreator::createThumbnailFromImageFailed, this,
            [this, path, creator] { retire(path, creator); }, Qt::QueuedConnection);
    threads->addThread(creator);
}

void MediaLibThumbnailView::thumbnailArrived(const QString &path, const QString &thumbnail)
{
    QPixmap picture;
    if (!picture.load(thumbnail, "PNG"))
        return;
    thumbnails.insert(path, new QPixmap(picture));
    // Only a tile in sight is painted again; one scrolled away finds the picture in the cache.
    const auto [first, last] = rowsInSight();
    for (int row = first; row < last; ++row) {
        if (proxy->index(row, 0).data(MediaLibTableModel::PathRole).toString() == path)
            update(tileRect(row));
    }
}

void MediaLibThumbnailView::retire(const QString &path, MediaThumbnailCreator *creator)
{
    // Compared, not looked into: an answer from a folder left behind may name a creator that is
    // gone, or a path asked for again since.
    if (creators.value(path) != creator)
        return;
    // Its work is done: a folder of thousands keeps no thread object per tile.
    creators.remove(path);
    threads->removeThread(creator);
    creator->deleteLater();
}

std::pair<int, int> MediaLibThumbnailView::rowsInSight() const
{
    if (!proxy)
        return {0, 0};
    const int first = qMax(0, top / TileHeight * columns());
    const int last = qMin(proxy->rowCount(), ((top + height() - 1) / TileHeight + 1) * columns());
    return {first, qMax(first, last)};
}

void MediaLibThumbnailView::dropUnseenRequests()
{
    QSet<QString> inSight;
    const auto [first, last] = rowsInSight();
    for (int row = first; row < last; ++row)
        inSight.insert(proxy->index(row, 0).data(MediaLibTableModel::PathRole).toString());
    for (auto request = creators.begin(); request != creators.end();) {
        if (!inSight.contains(request.key()) && threads->withdraw(request.value())) {
            asked.remove(request.key());
            delete request.value();
            request = creators.erase(request);
        } else {
            ++request;
        }
    }
}

void MediaLibThumbnailView::dropThumbnailRequests()
{
    for (MediaThumbnailCreator *creator : std::as_const(creators)) {
        threads->removeThread(creator);
        creator->disconnect(this);
        creator->requestInterruption();
        // Connected before asking, so that a creator ending in between is still deleted.
        connect(creator, &QThread::finished, creator, &QObject::deleteLater);
        if (!creator->isRunning())
            delete creator;
    }
    creators.clear();
    asked.clear();
}

void MediaLibThumbnailView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    pressedAt = event->position().toPoint();
    const int row = rowAt(event->position().toPoint());
    setCurrentIndex(row < 0 ? QModelIndex() : proxy->index(row, 0));
}

void MediaLibThumbnailView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int row = rowAt(event->position().toPoint());
    if (row >= 0)
        Q_EMIT itemOpened(proxy->index(row, 0));
}

void MediaLibThumbnailView::keyPressEvent(QKeyEvent *event)
{
    if (!proxy || proxy->rowCount() == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int last = proxy->rowCount() - 1;
    const int row = current.isValid() ? current.row() : -1;
    int next = row;
    switch (event->key()) {
    case Qt::Key_Left:
        next = row - 1;
        break;
    case Qt::Key_Right:
        next = row + 1;
        break;
    case Qt::Key_Up:
        next = row < 0 ? 0 : row - columns();
        break;
    case Qt::Key_Down:
        next = row + columns();
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = last;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current.isValid())
            Q_EMIT itemOpened(current);
        return;
    case Qt::Key_F2:
        renameCurObj();
        return;
    case Qt::Key_Delete:
        deleteCurObj();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentIndex(proxy->index(qBound(0, next, last), 0));
}

void MediaLibThumbnailView::contextMenuEvent(QContextMenuEvent *event)
{
    const int row = rowAt(event->pos());
    if (row >= 0)
        setCurrentIndex(proxy->index(row, 0));
    QMenu menu(this);
    menu.addAction(QStringLiteral("Delete"), this, &MediaLibThumbnailView::deleteCurObj)
            ->setEnabled(row >= 0);
    menu.addAction(QStringLiteral("Rename"), this, &MediaLibThumbnailView::renameCurObj)
            ->setEnabled(row >= 0);
    menu.addAction(QStringLiteral("Add new Folder"), this,
                   &MediaLibThumbnailView::requestToNewFolder)
            ->setEnabled(!folder.isEmpty());
    menu.exec(event->globalPos());
}

bool MediaLibThumbnailView::selectInTable()
{
    if (!current.isValid() || table->model() != proxy)
        return false;
    table->setCurrentIndex(current.sibling(current.row(), MediaLibTableModel::NameColumn));
    return true;
}

void MediaLibThumbnailView::deleteCurObj()
{
    if (selectInTable())
        table->deleteCurObj();
}

void MediaLibThumbnailView::renameCurObj()
{
    if (!selectInTable())
        return;
    // A protected file: the table refuses and tells why, as it would in list mode.
    if (table->isProtected(current.data(MediaLibTableModel::PathRole).toString())) {
        table->renameCurObj();
        return;
    }
    finishRename(false);
    renamed = current.sibling(current.row(), MediaLibTableModel::NameColumn);
    ensureVisible(renamed.row());
    const QRect tile = tileRect(renamed.row());
    nameEditor = new QLineEdit(renamed.data(Qt::EditRole).toString(), this);
    nameEditor->setGeometry(tile.left(), tile.bottom() - NameHeight - 4, tile.width(),
                            NameHeight + 4);
    nameEditor->installEventFilter(this);
    nameEditor->selectAll();
    nameEditor->show();
    nameEditor->setFocus();
}

bool MediaLibThumbnailView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == nameEditor) {
        // Taken here rather than from returnPressed: the line edit passes Return on to the
        // grid, which would open the tile just renamed.
        const int key
                = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event)->key() : 0;
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
            finishRename(key != Qt::Key_Escape);
            return true;
        }
        if (event->type() == QEvent::FocusOut)
            finishRename(true);
    }
    return QWidget::eventFilter(watched, event);
}

void MediaLibThumbnailView::finishRename(bool commit)
{
    if (!nameEditor)
        return;
    // Taken first: the rename may show a message box, which takes the focus from the editor.
    QLineEdit *editor = std::exchange(nameEditor, nullptr);
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    const QPersistentModelIndex index = renamed;
    const QString text = editor->text();
    if (commit && index.isValid() && text != index.data(Qt::EditRole).toString()
        && proxy->setData(index, text, Qt::EditRole))
        Q_EMIT fileContentChanged(index.data(MediaLibTableModel::PathRole).toString());
    setFocus();
}

void MediaLibThumbnailView::requestToNewFolder()
{
    if (!folder.isEmpty())
        Q_EMIT newFolderRequest(QDir(folder));
}
