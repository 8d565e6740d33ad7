#include <CaptureIntf.h>
#include <DeleteInfoDialog.h>
#include <KivoscopeIntf.h>
#include <MediaLibScrollArea.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibThumbnailView.h>
#include <MediaLibraryDatabase.h>
#include <MediaLibraryPanel.h>
#include <MessageBox.h>
#include <SettingIntf.h>
#include <VeloraTest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QAbstractButton *button(const MediaLibraryPanel &panel, const char *name)
{
    return panel.findChild<QAbstractButton *>(QLatin1String(name));
}

/// The row of `path` as the views show it, through the sort model.
QModelIndex shown(const MediaLibraryPanel &panel, const QString &path)
{
    auto *sorted = qobject_cast<QSortFilterProxyModel *>(panel.tableView()->model());
    MediaLibTableModel *rows = panel.tableModel();
    return sorted->mapFromSource(rows->index(rows->rowOfPath(path), 0));
}

} // namespace

class TestMediaLibraryPanel : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    QStringList told;

private Q_SLOTS:
    void init()
    {
        const ComponentRef<SettingIntf> settings;
        for (const char *key : {"medialibrary/mode", "medialibrary/width", "medialibrary/height"})
            settings->setValue(QLatin1String(key), 0);
        told.clear();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            told << question.text;
            return QMessageBox::Yes;
        });
    }

    void cleanup() { MessageBox::setAnswerer({}); }

    void searchLeavesAndReturnsToTheFolder()
    {
        const QString folder = scratch.filePath(QStringLiteral("search"));
        QDir().mkpath(folder);
        touch(folder + QStringLiteral("/apple-tree.jpg"));
        touch(folder + QStringLiteral("/pear.png"));
        MediaLibraryPanel panel;
        QVERIFY(panel.showFolder(folder));
        QCOMPARE(panel.tableModel()->rowCount(), 2);

        auto *edit = panel.findChild<QLineEdit *>(QStringLiteral("searchEdit"));
        edit->setText(QStringLiteral("apple"));
        button(panel, "searchBtn")->click();
        QVERIFY(panel.isSearching());
        QCOMPARE(panel.pathText(), QStringLiteral("Search result: apple"));
        QCOMPARE(panel.tableView()->model()->rowCount(), 1);
        QVERIFY(edit->text().isEmpty());
        QVERIFY(!button(panel, "newFolderBtn")->isEnabled());
        QVERIFY(button(panel, "backBtn")->isEnabled());

        button(panel, "backBtn")->click();
        QVERIFY(!panel.isSearching());
        QCOMPARE(panel.pathText(), folder);
        QCOMPARE(panel.tableView()->model()->rowCount(), 2);
        QVERIFY(button(panel, "newFolderBtn")->isEnabled());
    }

    void newFilesAppearWithinOnePoll()
    {
        MediaLibraryPanel panel;
        const ComponentRef<CaptureIntf> capture;
        QString captured;
        QCOMPARE(capture->captureScreen(&captured), 0);
        QCOMPARE(QFileInfo(captured).absolutePath(), panel.currentFolder().absolutePath());
        // Indexed as it was written, before the folder is looked at again.
        MediaLibraryDatabase *index = MediaLibraryDatabase::instance();
        QVERIFY(index->search(parseKeywords(QFileInfo(captured).completeBaseName()))
                        .contains(captured));
        index->release();
        QTRY_VERIFY_WITH_TIMEOUT(panel.tableModel()->rowOfPath(captured) >= 0, 5000);

        // Without the event loop no watcher can tell: the poll alone finds the new entries and
        // lists only the media among them.
        const QString picture = panel.currentFolder().filePath(QStringLiteral("polled.jpg"));
        const QString notes = panel.currentFolder().filePath(QStringLiteral("notes.txt"));
        touch(picture);
        touch(notes);
        panel.syncFileSystem();
        QVERIFY(panel.tableModel()->rowOfPath(picture) >= 0);
        QCOMPARE(panel.tableModel()->rowOfPath(notes), -1);
    }

    void vanishedFolderGoesToItsParentAndTheHomeGoesToTheDrives()
    {
        const QString parent = scratch.filePath(QStringLiteral("parent"));
        QDir().mkpath(parent + QStringLiteral("/gone/deeper"));
        MediaLibraryPanel panel;
        QSignalSpy moved(&panel, &MediaLibraryPanel::curDirChanged);
        QVERIFY(panel.showFolder(parent + QStringLiteral("/gone/deeper")));
        QVERIFY(QDir(parent + QStringLiteral("/gone")).removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(panel.currentFolder().absolutePath(), parent, 5000);
        QCOMPARE(moved.last().at(0).toString(), parent);
        QVERIFY(told.isEmpty());

        QVERIFY(panel.showFolder(QDir::homePath()));
        button(panel, "backBtn")->click();
        QVERIFY(panel.isAtMyComputer());
        QCOMPARE(panel.pathText(), QStringLiteral("My Computer"));
        QVERIFY(panel.tableModel()->rowOfPath(QDir::homePath()) >= 0);
        QVERIFY(!button(panel, "backBtn")->isEnabled());
        QVERIFY(!button(panel, "newFolderBtn")->isEnabled());
    }

    void timeLapseFolderRefusesTheGridsDeleteAndRenameUntilItEnds()
    {
        MediaLibraryPanel panel;
        panel.resize(400, 500);
        panel.show();
        const ComponentRef<CaptureIntf> capture;
        const ComponentRef<KivoscopeIntf> camera;
        QTRY_VERIFY_WITH_TIMEOUT(camera->isConnected(), 5000);
        QSignalSpy shots(capture.get(), &CaptureIntf::oneTimeLapseImageCaptured);
        QCOMPARE(capture->setTimeLapseParams(3600, 600), 0);
        QCOMPARE(capture->startTimeLapseCapture(), 0);
        const QString lapse = QFileInfo(shots.last().at(0).toString()).path();
        QCOMPARE(panel.protectedPaths(), QStringList{lapse.toLower()});
        QTRY_VERIFY(panel.tableModel()->rowOfPath(lapse) >= 0);
        panel.changeViewMode();
        MediaLibThumbnailView *grid = panel.thumbnailView();
        QVERIFY(grid->isVisible());
        grid->setCurrentIndex(shown(panel, lapse));

        QTest::keyClick(grid, Qt::Key_Delete);
        QTest::keyClick(grid, Qt::Key_F2);
        QCOMPARE(told, QStringList(2, QStringLiteral("This folder is in use")));
        QVERIFY(!grid->findChild<QLineEdit *>());
        QVERIFY(QFileInfo(lapse).isDir());

        // Once the time lapse ends, the grid renames in place and deletes.
        QCOMPARE(capture->stopTimeLapseCapture(), 0);
        QVERIFY(panel.protectedPaths().isEmpty());
        QTest::keyClick(grid, Qt::Key_F2);
        auto *editor = grid->findChild<QLineEdit *>();
        QVERIFY(editor && editor->isVisible());
        editor->setText(QStringLiteral("Done"));
        QTest::keyClick(editor, Qt::Key_Return);
        const QString done = panel.currentFolder().filePath(QStringLiteral("Done"));
        QVERIFY(QFileInfo(done).isDir());
        QTRY_VERIFY(panel.tableModel()->rowOfPath(done) >= 0);
        grid->setCurrentIndex(shown(panel, done));
        QTimer::singleShot(0, &panel, [&panel] {
            if (auto *summary = panel.findChild<DeleteInfoDialog *>())
                summary->accept();
        });
        QTest::keyClick(grid, Qt::Key_Delete);
        QVERIFY(!QFileInfo::exists(done));
    }

    void newFoldersAreNumbered()
    {
        const QString folder = scratch.filePath(QStringLiteral("numbered"));
        QDir().mkpath(folder);
        MediaLibraryPanel panel;
        QVERIFY(panel.showFolder(folder));
        button(panel, "newFolderBtn")->click();
        panel.createNewFolder();
        QCOMPARE(QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("NewFolder"), QStringLiteral("NewFolder_0")}));
        QTRY_VERIFY(panel.tableModel()->rowOfPath(folder + QStringLiteral("/NewFolder_0")) >= 0);
        QVERIFY(told.isEmpty());
    }

    void modeAndSizeOutliveThePanel()
    {
        QSize left;
        {
            MediaLibraryPanel panel;
            QCOMPARE(panel.viewMode(), 0);
            QCOMPARE(button(panel, "modeBtn")->text(), QStringLiteral("View"));
            button(panel, "modeBtn")->click();
            QCOMPARE(panel.findChild<QStackedWidget *>()->currentWidget(),
                     panel.findChild<MediaLibScrollArea *>());
            // Dragging the grip widens the panel.
            auto *grip = panel.findChild<QWidget *>(QStringLiteral("resizeGrip"));
            QSignalSpy resized(&panel, &MediaLibraryPanel::resized);
            const int before = panel.width();
            for (auto [type, x] :
                 {std::pair{QEvent::MouseButtonPress, 0}, std::pair{QEvent::MouseMove, 60}}) {
                QMouseEvent event(type, QPointF(2, 2), QPointF(x, 2), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(grip, &event);
            }
            QCOMPARE(panel.width(), before + 60);
            QCOMPARE(resized.size(), 1);
            panel.resize(panel.width(), 480);
            left = panel.size();
        }
        MediaLibraryPanel again;
        QCOMPARE(again.viewMode(), 1);
        QCOMPARE(button(again, "modeBtn")->text(), QStringLiteral("List"));
        QCOMPARE(again.size(), left);
        again.changeViewMode();
        QCOMPARE(again.findChild<QStackedWidget *>()->currentWidget(), again.tableView());
    }

    void manyRecordingsOpenBeforeTheirDurationsAreKnown()
    {
        const QString folder = scratch.filePath(QStringLiteral("recordings"));
        QDir().mkpath(folder);
        const QString first = folder + QStringLiteral("/rec-0.avi");
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"),
                                   QStringLiteral("-loglevel error -f lavfi -i "
                                                  "testsrc=size=64x48:rate=5:duration=2 "
                                                  "-c:v mpeg4 -y")
                                                   .split(u' ')
                                           << first),
                 0);
        for (int i = 1; i < 500; ++i)
            QVERIFY(QFile::copy(first, folder + QStringLiteral("/rec-%1.avi").arg(i)));

        MediaLibraryPanel panel;
        panel.show();
        QElapsedTimer clock;
        qint64 lastTick = 0, longestGap = 0;
        QTimer ticker;
        ticker.setInterval(5);
        connect(&ticker, &QTimer::timeout, this, [&] {
            longestGap = qMax(longestGap, clock.elapsed() - lastTick);
            lastTick = clock.elapsed();
        });
        ticker.start();
        clock.start();
        QVERIFY(panel.showFolder(folder));
        const auto durations = [&panel] {
            QStringList texts;
            for (int row = 0; row < panel.tableModel()->rowCount(); ++row)
                texts << panel.tableModel()
                                 ->index(row, MediaLibTableModel::DurationColumn)
                                 .data()
                                 .toString();
            return texts;
        };
        QCOMPARE(durations(), QStringList(500, QString()));
        QTRY_COMPARE_WITH_TIMEOUT(durations(), QStringList(500, QStringLiteral("00:00:02")), 60000);
        qInfo("Longest gap between 5 ms ticks while 500 recordings opened: %lld ms", longestGap);
    }
};

VELORA_TEST_MAIN(TestMediaLibraryPanel)
#include "tst_medialibrarypanel.moc"
