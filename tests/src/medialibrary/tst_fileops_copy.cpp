#include <MediaFileTransfer.h>
#include <MediaImpl.h>
#include <MediaInfoStore.h>
#include <MediaLibDrop.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MediaLibraryDatabase.h>
#include <MessageBox.h>
#include <MoveFileDialog.h>
#include <ShownMediaRecord.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

using namespace Qt::StringLiterals;
using VeloraTest::touch;

namespace {

QString folder(const QString &name)
{
    const QString path = VeloraTest::homePath() + u'/' + name;
    QDir().mkpath(path);
    return path;
}

// A tmpfs of `size` bytes at the folder `name`.
QString volume(const QString &name, const QString &size)
{
    const QString path = folder(name);
    if (QProcess::execute(u"mount"_s,
                          {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size="_s + size, u"velora"_s, path})
        != 0)
        qFatal("cannot mount %s", qPrintable(path));
    return path;
}

// True when this run only started a copy of itself in a mount namespace of its own, so that the
// machine never sees the volumes the test mounts.
bool startedWithOwnMounts()
{
    if (VeloraTest::inRerun())
        return false;
    if (!VeloraTest::rerunCurrentTest(u"unshare --mount --propagation private"_s.split(u' ')))
        QTest::qFail("the copy with its own mounts failed", __FILE__, __LINE__);
    return true;
}

QStringList entries(const QString &path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestFileOpsCopy : public QObject
{
    Q_OBJECT

    MediaInfoStore *store = nullptr;
    QStringList boxes; // "title: text (reason)"
    QMessageBox::StandardButton answer = QMessageBox::Ok;

private Q_SLOTS:
    void initTestCase()
    {
        store = MediaInfoStore::getInstance();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            boxes << question.title + u": "_s + question.text
                            + (question.informativeText.isEmpty()
                                       ? QString()
                                       : u" ("_s + question.informativeText + u')');
            return answer;
        });
    }
    void init() { boxes.clear(); }
    void cleanupTestCase() { store->release(); }

    void copyTakesTheFirstFreeName()
    {
        const QString file = touch(folder(u"pics"_s) + u"/a.jpg"_s);
        const QString other = folder(u"other"_s);
        QVERIFY(MediaFileTransfer::copyFile(file, folder(u"pics"_s)));
        QVERIFY(MediaFileTransfer::copyFile(file, file));
        QVERIFY(MediaFileTransfer::copyFile(file, other + u"/b.jpg"_s));
        QCOMPARE(entries(folder(u"pics"_s)),
                 QStringList({u"Copy0-a.jpg"_s, u"Copy1-a.jpg"_s, u"a.jpg"_s}));
        QCOMPARE(entries(other), QStringList{u"a.jpg"_s});
        QFile copy(other + u"/a.jpg"_s);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), "ppppppp"_ba);
        QCOMPARE(boxes, QStringList(3, u"Information: Completed"_s));

        // 239 characters of path are the most a target may have: "<home>/d/dd…d/a.jpg" has 240.
        const QString deep
                = folder(u"d/"_s + QString(240 - VeloraTest::homePath().size() - 9, u'd'));
        QVERIFY(!MediaFileTransfer::copyFile(file, deep));
        QCOMPARE(boxes.last(), u"Error: Path is invalid"_s);
        QCOMPARE(entries(deep), QStringList());
    }

    void moveChecksTheFileAndTheDestination_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("moved");
        QTest::newRow("queued for upload")
                << u"queued"_s << 0 << u"File error: This file is in Upload queue"_s << false;
        for (const QString &use : {u"playing"_s, u"recorded"_s})
            QTest::newRow(qPrintable(use))
                    << use << 0 << u"File error: This file is in use"_s << false;
        const QString replace = u"Move file: Destination file exists. Do you want to replace?"_s;
        QTest::newRow("replace refused") << u"exists"_s << int(QMessageBox::No) << replace << false;
        QTest::newRow("replaced") << u"exists"_s << int(QMessageBox::Yes) << replace << true;
        QTest::newRow("write protected")
                << u"protected"_s << 0
                << u"File error: Destination file exists and is write protected"_s << false;
        QTest::newRow("free") << QString() << 0 << QString() << true;
    }
    void moveChecksTheFileAndTheDestination()
    {
        QFETCH(QString, state);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(bool, moved);
        // Root may replace any file: only an ordinary user meets a write-protected one.
        if (state == u"protected"_s && !VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        const QString target = folder(u"target/"_s + QTest::currentDataTag());
        const QString file = touch(folder(u"source"_s) + u"/v.avi"_s, 11);
        const auto busy = store->shownMedia();
        busy->setUploadQueue(state == u"queued"_s ? QSet{file} : QSet<QString>());
        busy->setPlayingVideo(state == u"playing"_s ? file : QString());
        busy->setRecordingFile(state == u"recorded"_s ? file : QString());
        const bool exists = state == u"exists"_s || state == u"protected"_s;
        if (exists)
            touch(target + u"/v.avi"_s, 3);
        if (state == u"protected"_s)
            QVERIFY(QFile::setPermissions(target + u"/v.avi"_s, QFile::ReadOwner));
        this->answer = QMessageBox::StandardButton(answer);

        QCOMPARE(MediaFileTransfer::mayMove(file, target)
                         && MediaFileTransfer::moveFile(file, target),
                 moved);
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(QFileInfo::exists(file), !moved);
        QCOMPARE(QFileInfo(target + u"/v.avi"_s).size(), moved ? 11 : exists ? 3 : 0);
        busy->setPlayingVideo(QString());
        busy->setRecordingFile(QString());
    }

    void moveCarriesTheInformation_data()
    {
        QTest::addColumn<bool>("acrossVolumes");
        QTest::newRow("within a volume") << false;
        QTest::newRow("across volumes") << true;
    }
    void moveCarriesTheInformation()
    {
        QFETCH(bool, acrossVolumes);
        if (acrossVolumes && startedWithOwnMounts())
            return;
        const QString from = acrossVolumes ? volume(u"stick"_s, u"1m"_s) : folder(u"here"_s);
        const QString to = acrossVolumes ? volume(u"disk"_s, u"1m"_s) : folder(u"there"_s);
        MediaImpl media(touch(from + u"/p.jpg"_s), MediaIntf::Image);
        media.setTitle(u"kept"_s);
        media.setKeywords({u"lighthouse"_s});
        QVERIFY(store->writeInformation(media));
        touch(store->thumbnailPath(media.path()));

        QVERIFY(MediaFileTransfer::moveFile(media.path(), to));
        const QString moved = to + u"/p.jpg"_s;
        QCOMPARE(entries(from), QStringList());
        QCOMPARE(QFileInfo(moved).size(), 7);
        MediaImpl read(moved, MediaIntf::Image);
        store->readInformation(read);
        QCOMPARE(read.title(), u"kept"_s);
        MediaLibraryDatabase *index = MediaLibraryDatabase::instance();
        QCOMPARE(index->search(parseKeywords(u"lighthouse"_s)), QStringList{moved});
        index->release();
        QVERIFY(QFileInfo::exists(store->thumbnailPath(moved)));
        QVERIFY(!QFileInfo::exists(store->thumbnailPath(media.path())));
    }

    void dropMovesOntoAFolderAndCopiesOntoEmptySpace()
    {
        // The offscreen platform cannot carry a drag: the drop is handed on as a view does.
        const QString shown = folder(u"dnd/sub"_s).chopped(4);
        const QList<QUrl> dragged{QUrl::fromLocalFile(touch(shown + u"/a.jpg"_s))};
        MediaLibTableModel model;
        model.loadFolder(QDir(shown)); // sub, a.jpg
        MediaLibTableView view;
        view.setModel(&model);
        auto *drop = view.findChild<MediaLibDrop *>();
        QSignalSpy changed(&view, &MediaLibTableView::contentChanged);
        QVERIFY(!drop->take(dragged, model.index(1, 0), shown));
        QVERIFY(drop->take(dragged, QModelIndex(), shown));
        QVERIFY(changed.wait());
        QVERIFY(drop->take(dragged, model.index(0, 0), shown));
        QVERIFY(changed.wait());
        QCOMPARE(entries(shown), QStringList{u"Copy0-a.jpg"_s});
        QCOMPARE(entries(shown + u"/sub"_s), QStringList{u"a.jpg"_s});
    }

    void cancelledCopyLeavesNothing()
    {
        // Sparse: a gigabyte to copy that costs the disk nothing.
        const QString source = folder(u"big"_s) + u"/film.avi"_s;
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(1LL << 30));
        file.close();
        const QString target = folder(u"bigcopy"_s) + u"/film.avi"_s;
        MoveFileDialog dialog(source, target, MoveFileDialog::Copy);
        QTimer::singleShot(0, &dialog, &QProgressDialog::cancel);
        QVERIFY(!dialog.run());
        QCOMPARE(entries(folder(u"bigcopy"_s)), QStringList());
        QCOMPARE(QFileInfo(source).size(), 1LL << 30);
        QCOMPARE(boxes, QStringList());
    }

    void fullDiskLeavesNothing_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("box");
        QTest::newRow("copy") << false << u"File error: Copy file failed"_s;
        QTest::newRow("move") << true << u"File error: Move Copy file failed"_s;
    }
    void fullDiskLeavesNothing()
    {
        QFETCH(bool, move);
        QFETCH(QString, box);
        if (startedWithOwnMounts())
            return;
        const QString full = volume(u"full"_s, u"1m"_s);
        const QString source = touch(folder(u"four"_s) + u"/film.avi"_s, 4 << 20);
        // The move replaces a file, which stays as it was.
        if (move)
            touch(full + u"/film.avi"_s, 3);
        QVERIFY(!(move ? MediaFileTransfer::moveFile(source, full)
                       : MediaFileTransfer::copyFile(source, full)));
        QCOMPARE(boxes, QStringList{box + u" (No space left on device)"_s});
        QCOMPARE(entries(full), move ? QStringList{u"film.avi"_s} : QStringList());
        QCOMPARE(QFileInfo(full + u"/film.avi"_s).size(), move ? 3 : 0);
        QCOMPARE(QFileInfo(source).size(), 4 << 20);
    }
};

VELORA_TEST_MAIN(TestFileOpsCopy)
#include "tst_fileops_copy.moc"
