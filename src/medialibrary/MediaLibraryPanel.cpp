// The panel's construction and layout, its settings, the two view modes, search, the index of
// new captures and the protected folders. Folder changes live in MediaLibraryPanel_Folders.cpp.

#include "MediaLibraryPanel.h"

#include "MediaImpl.h"
#include "MediaInfoStore.h"
#include "MediaLibScrollArea.h"
#include "MediaLibSortFilterModel.h"
#include "MediaLibTableModel.h"
#include "MediaLibTableView.h"
#include "MediaLibThumbnailView.h"
#include "MediaLibraryDatabase.h"
#include "MountListener.h"

#include <CaptureIntf.h>
#include <SettingIntf.h>

#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString ModeKey = QStringLiteral("medialibrary/mode");
const QString WidthKey = QStringLiteral("medialibrary/width");
const QString HeightKey = QStringLiteral("medialibrary/height");

// Narrow enough to leave the tool strip free on a 1280-pixel screen.
constexpr int DefaultWidth = 280;
constexpr int DefaultHeight = 600;
constexpr int MinimumWidth = 240;

QToolButton *toolButton(const char *name, const char *icon, const QString &toolTip)
{
    auto *button = new QToolButton;
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QStringLiteral(":/Image/pics/MediaLib/") + QLatin1String(icon)));
    button->setIconSize(QSize(20, 20));
    button->setAutoRaise(true);
    button->setToolTip(toolTip);
    return button;
}

} // namespace

MediaLibraryPanel::MediaLibraryPanel(QWidget *parent)
    : QFrame(parent)
    , settings(SettingIntf::getInstance())
    , store(MediaInfoStore::getInstance())
    , database(MediaLibraryDatabase::instance())
    , capture(CaptureIntf::getInstance())
{
    setObjectName(QStringLiteral("mediaLibraryPanel"));
    model = new MediaLibTableModel(this);
    sortModel = new MediaLibSortFilterModel(this);
    sortModel->setSourceModel(model);
    buildLayout();
    connectViews();
    connectModel(model);
    connectCapture();

    syncTimer.setInterval(SyncInterval);
    connect(&syncTimer, &QTimer::timeout, this, &MediaLibraryPanel::syncFileSystem);
    connect(this, &MediaLibraryPanel::updateRequest, this, &MediaLibraryPanel::updateFolder);
    connect(database, &MediaLibraryDatabase::fileNotExists, this,
            &MediaLibraryPanel::addToNonExistenceFileList);
    store->setWatcherCallback([this](bool resume, bool changed) { storeWriting(resume, changed); });

    resize(DefaultWidth, DefaultHeight);
    const QString folder = settings->getSavePath();
    // A media folder that cannot be made (a drive gone, no permission) is no reason for a
    // message box at start-up: the drive list is a place to start from too.
    if (QDir().mkpath(folder))
        showFolder(folder);
    else
        showDriveList();
    readSettings();
}

MediaLibraryPanel::~MediaLibraryPanel()
{
    store->setWatcherCallback({});
    syncTimer.stop();
    settings->setValue(ModeKey, mode);
    settings->setValue(WidthKey, width());
    settings->setValue(HeightKey, height());
    capture->release();
    database->release();
    store->release();
    settings->release();
}

void MediaLibraryPanel::buildLayout()
{
    setFrameShape(QFrame::StyledPanel);
    // The main window's centre is black behind the pictures, and a child inherits that; the
    // panel keeps the desktop's own background so that its texts stay readable.
    QPalette own = palette();
    own.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    setPalette(own);
    setAutoFillBackground(true);
    setMinimumWidth(MinimumWidth);

    searchEdit = new QLineEdit;
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchEdit->setToolTip(QStringLiteral("Enter keyword to search"));
    searchEdit->setPlaceholderText(QStringLiteral("Search"));
    searchEdit->setClearButtonEnabled(true);
    searchButton = toolButton("searchBtn", "search.png",
                              QStringLiteral("Press to search from all traversed media files"));
    // Shown once there is an upload manager to launch.
    uploadButton = toolButton("uploadBtn", "upload.png", QStringLiteral("Launch upload manager"));
    uploadButton->setEnabled(false);
    uploadButton->hide();
    closeButton
            = toolButton("closeBtn", "close.png", QStringLiteral("Minimize Media Library panel"));

    backButton = toolButton("backBtn", "back.png", QStringLiteral("Return to previous directory"));
    pathLabel = new QLabel;
    pathLabel->setObjectName(QStringLiteral("pathLabel"));
    pathLabel->setMinimumWidth(40);
    pathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    newFolderButton = toolButton("newFolderBtn", "new_folder.png",
                                 QStringLiteral("Add new folder under current directory"));
    modeButton = new QPushButton(QStringLiteral("View"));
    modeButton->setObjectName(QStringLiteral("modeBtn"));
    modeButton->setToolTip(QStringLiteral("Switch between view/list mode"));

    table = new MediaLibTableView;
    table->setObjectName(QStringLiteral("mediaTable"));
    table->setModel(sortModel);
    tableEditTriggers = table->editTriggers();
    thumbnailArea = new MediaLibScrollArea;
    thumbnails = new MediaLibThumbnailView(table, thumbnailArea);
    thumbnailArea->setView(thumbnails);
    stack = new QStackedWidget;
    stack->addWidget(table);
    stack->addWidget(thumbnailArea);

    grip = new QLabel;
    grip->setObjectName(QStringLiteral("resizeGrip"));
    grip->setPixmap(QPixmap(QStringLiteral(":/Image/pics/MediaLib/grip.png")).scaled(12, 12));
    grip->setAlignment(Qt::AlignCenter);
    grip->setFixedWidth(12);
    grip->setCursor(Qt::SizeHorCursor);
    grip->setToolTip(QStringLiteral("Drag to resize Media Library panel"));
    grip->installEventFilter(this);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(searchEdit, 1);
    searchRow->addWidget(searchButton);
    searchRow->addWidget(uploadButton);
    searchRow->addWidget(closeButton);
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(backButton);
    pathRow->addWidget(pathLabel, 1);
    pathRow->addWidget(newFolderButton);
    pathRow->addWidget(modeButton);
    auto *content = new QVBoxLayout;
    content->addLayout(searchRow);
    content->addLayout(pathRow);
    content->addWidget(stack, 1);
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(6, 6, 0, 6);
    outer->setSpacing(2);
    outer->addLayout(content, 1);
    outer->addWidget(grip);
}

void MediaLibraryPanel::connectViews()
{
    connect(searchEdit, &QLineEdit::returnPressed, this,
            &MediaLibraryPanel::createSearchResultView);
    connect(searchButton, &QToolButton::clicked, this, &MediaLibraryPanel::createSearchResultView);
    connect(closeButton, &QToolButton::clicked, this, &MediaLibraryPanel::closeRequested);
    connect(backButton, &QToolButton::clicked, this, &MediaLibraryPanel::returnPreFolder);
    connect(newFolderButton, &QToolButton::clicked, this, &MediaLibraryPanel::createNewFolder);
    connect(modeButton, &QPushButton::clicked, this, &MediaLibraryPanel::changeViewMode);

    connect(table, &QAbstractItemView::doubleClicked, this, &MediaLibraryPanel::openIndex);
    connect(table, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { shownModel()->clickedOnInfoCol(index); });
    connect(table, &MediaLibTableView::contentChanged, this, &MediaLibraryPanel::updateFolder);
    // A rename reports from inside the name editor's commit: reading the folder again at once
    // would delete the editor the view is still closing.
    connect(table, &MediaLibTableView::fileContentChanged, this, &MediaLibraryPanel::updateFile,
            Qt::QueuedConnection);
    connect(table, &MediaLibTableView::newFolderRequest, this, &MediaLibraryPanel::createNewFolder);
    connect(table, &MediaLibTableView::fileRemoved, this, &MediaLibraryPanel::onfileRemoved);

    connect(thumbnails, &MediaLibThumbnailView::itemOpened, this, &MediaLibraryPanel::openIndex);
    connect(thumbnails, &MediaLibThumbnailView::fileContentChanged, this,
            &MediaLibraryPanel::updateFile, Qt::QueuedConnection);
    connect(thumbnails, &MediaLibThumbnailView::newFolderRequest, this,
            &MediaLibraryPanel::createNewFolder);
    connect(thumbnails, &MediaLibThumbnailView::videoThumbnailReloaded, model,
            &MediaLibTableModel::reloadMediaObj);
}

void MediaLibraryPanel::connectModel(MediaLibTableModel *rows)
{
    connect(rows, &MediaLibTableModel::showImageRequested, this,
            &MediaLibraryPanel::showImageRequested);
    connect(rows, &MediaLibTableModel::playVideoRequested, this,
            &MediaLibraryPanel::playVideoRequested);
    connect(rows, &MediaLibTableModel::showMediaInfo, this, &MediaLibraryPanel::showMediaInfo);
    // A search result keeps no row of a file found gone; a folder is corrected by its poll.
    connect(rows, &MediaLibTableModel::fileDoesNotExist, this, &MediaLibraryPanel::onfileRemoved);
}

void MediaLibraryPanel::connectCapture()
{
    connect(capture, &CaptureIntf::docCamImageCaptured, this, &MediaLibraryPanel::addToDatabase);
    connect(capture, &CaptureIntf::fullScreenImageCaptured, this,
            &MediaLibraryPanel::addToDatabase);
    connect(capture, &CaptureIntf::oneTimeLapseImageCaptured, this,
            &MediaLibraryPanel::addToDatabase);
    connect(capture, &CaptureIntf::oneTimeLapseImageCaptured, this,
            qOverload<const QString &>(&MediaLibraryPanel::appendProtectedFolder));
    connect(capture, &CaptureIntf::timeLapseImageCaptureCompleted, this,
            qOverload<const QList<QString> &>(&MediaLibraryPanel::removeProtectedFolder));
    connect(capture, &CaptureIntf::timeLapseImageCaptureAborted, this,
            qOverload<const QList<QString> &>(&MediaLibraryPanel::removeProtectedFolder));
}

void MediaLibraryPanel::readSettings()
{
    mode = settings->value(ModeKey, ListMode).toInt() == ThumbnailMode ? ThumbnailMode : ListMode;
    const int storedWidth = settings->value(WidthKey, 0).toInt();
    const int storedHeight = settings->value(HeightKey, 0).toInt();
    if (storedWidth > 0 && storedHeight > 0) {
        resize(storedWidth, storedHeight);
    } else {
        settings->setValue(WidthKey, width());
        settings->setValue(HeightKey, height());
    }
    applyMode();
}

MediaLibTableModel *MediaLibraryPanel::shownModel() const
{
    return searchModel ? searchModel : model;
}

void MediaLibraryPanel::openIndex(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    if (index.data(MediaLibTableModel::KindRole).toInt() == MediaIntf::Folder)
        showFolder(index.data(MediaLibTableModel::PathRole).toString());
    else
        shownModel()->doubleClickedOnMediaLib(index);
}

void MediaLibraryPanel::changeViewMode()
{
    mode = mode == ListMode ? ThumbnailMode : ListMode;
    applyMode();
}

void MediaLibraryPanel::applyMode()
{
    if (mode == ThumbnailMode)
        showCurrentOrder();
    stack->setCurrentWidget(mode == ThumbnailMode ? static_cast<QWidget *>(thumbnailArea)
                                                  : static_cast<QWidget *>(table));
    modeButton->setText(mode == ThumbnailMode ? QStringLiteral("List") : QStringLiteral("View"));
}

void MediaLibraryPanel::showCurrentOrder()
{
    thumbnails->changeOrderFromSortModel(searchSortModel ? searchSortModel : sortModel);
}

void MediaLibraryPanel::createSearchResultView()
{
    const QString text = searchEdit->text();
    if (text.trimmed().isEmpty())
        return;
    const QStringList found = database->search(parseKeywords(text));
    setPathText(QStringLiteral("Search result: %1").arg(text), QStringLiteral("Search result"));
    searchEdit->clear();

    dropSearch();
    searchModel = new MediaLibTableModel(this);
    connectModel(searchModel);
    searchModel->loadFiles(found);
    searchSortModel = new MediaLibSortFilterModel(this);
    searchSortModel->setSourceModel(searchModel);
    table->setModel(searchSortModel);
    table->doSorting();
    // Results come from many folders: they may be dragged out, but nothing lands among them.
    table->setDragDropMode(QAbstractItemView::DragOnly);
    table->setAcceptDrops(false);
    newFolderButton->setEnabled(false);
    backButton->setEnabled(true);
    showCurrentOrder();
}

void MediaLibraryPanel::dropSearch()
{
    if (!searchModel)
        return;
    // The views let go of the search rows before they are deleted.
    table->setModel(sortModel);
    showCurrentOrder();
    // Possibly inside one of their own signals.
    searchSortModel->deleteLater();
    searchModel->deleteLater();
    searchSortModel = nullptr;
    searchModel = nullptr;
}

void MediaLibraryPanel::onfileRemoved(const QString &path)
{
    if (searchModel)
        searchModel->removePath(path);
}

bool MediaLibraryPanel::addToDatabase(const QString &path)
{
    const QFileInfo file(path);
    if (file.isDir() || !file.exists())
        return false;
    const int kind = MediaLibTableModel::kindOfPath(path);
    if (kind != MediaIntf::Image && kind != MediaIntf::Video)
        return false;
    return database->setFileKeywords(file, {});
}

bool MediaLibraryPanel::isFileProhibited(const QString &path)
{
    return path.size() >= MaxPathLength;
}

QString MediaLibraryPanel::protectedForm(const QString &path)
{
    return QFileInfo(path).absoluteFilePath().toLower();
}

QString MediaLibraryPanel::folderOf(const QString &path)
{
    const QFileInfo file(path);
    return file.isDir() ? file.absoluteFilePath() : file.absolutePath();
}

void MediaLibraryPanel::addProtected(const QString &path)
{
    const QString normal = protectedForm(path);
    if (protectedList.contains(normal))
        return;
    protectedList.append(normal);
    table->setProtectedPaths(protectedList);
}

void MediaLibraryPanel::removeProtected(const QString &path)
{
    if (protectedList.removeAll(protectedForm(path)) > 0)
        table->setProtectedPaths(protectedList);
}

void MediaLibraryPanel::appendProtectedFolder(const QString &path)
{
    addProtected(folderOf(path));
}

void MediaLibraryPanel::removeProtectedFolder(const QString &path)
{
    removeProtected(folderOf(path));
}

void MediaLibraryPanel::removeProtectedFolder(const QList<QString> &paths)
{
    for (const QString &path : paths)
        removeProtectedFolder(path);
}

void MediaLibraryPanel::appendProtectedPath(const QString &path)
{
    addProtected(path);
}

void MediaLibraryPanel::removeProtectedPath(const QString &path)
{
    removeProtected(path);
}

void MediaLibraryPanel::removeProtectedPath(const QList<QString> &paths)
{
    for (const QString &path : paths)
        removeProtected(path);
}

void MediaLibraryPanel::setPathText(const QString &text, const QString &toolTip)
{
    shownPath = text;
    pathLabel->setToolTip(toolTip);
    elidePath();
}

void MediaLibraryPanel::elidePath()
{
    pathLabel->setText(
            pathLabel->fontMetrics().elidedText(shownPath, Qt::ElideMiddle, pathLabel->width()));
}

void MediaLibraryPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    elidePath();
}

bool MediaLibraryPanel::eventFilter(QObject *watched, QEvent *event)
{
    const bool mouseEvent
            = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove;
    if (watched != grip || !mouseEvent)
        return QFrame::eventFilter(watched, event);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        gripStartX = qRound(mouse->globalPosition().x());
        gripStartWidth = width();
        return true;
    }
    if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton)) {
        const int widest = parentWidget() ? parentWidget()->width() : QWIDGETSIZE_MAX;
        const int wanted = gripStartWidth + qRound(mouse->globalPosition().x()) - gripStartX;
        const int newWidth = qBound(minimumWidth(), wanted, qMax(minimumWidth(), widest));
        if (newWidth != width()) {
            resize(newWidth, height());
            Q_EMIT resized();
        }
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
