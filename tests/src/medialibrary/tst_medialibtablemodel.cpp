#include <DeleteInfoDialog.h>
#include <MediaImpl.h>
#include <MediaInfoStore.h>
#include <MediaLibSortFilterModel.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MessageBox.h>
#include <VeloraTest.h>

#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

/// A fresh folder below the home with these entries: "name" an empty file, "name=bytes" a file
/// of that size, "name/" a folder.
QString folderWith(const QString &name, const QStringList &entries)
{
    const QString folder = VeloraTest::homePath() + u'/' + name;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (const QString &entry : entries) {
        const QStringList parts = entry.split(u'=');
        QDir().mkpath(QFileInfo(folder + u'/' + entry).path());
        if (entry.endsWith(u'/'))
            QDir().mkpath(folder + u'/' + entry);
        else if (QFile file(folder + u'/' + parts[0]);
                 !file.open(QIODevice::WriteOnly) || !file.resize(parts.value(1).toLongLong()))
            qFatal("cannot write %s", qPrintable(file.fileName()));
    }
    return folder;
}

/// A column's texts, top to bottom, between blanks.
QString shown(const QAbstractItemModel &model, int column, int role = Qt::DisplayRole)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data(role).toString();
    return texts.join(u' ');
}

} // namespace

class TestMediaLibTableModel : public QObject
{
    Q_OBJECT

    QStringList asked;

private Q_SLOTS:
    void initTestCase()
    {
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked << question.title + u": "_s + question.text;
            return QMessageBox::Yes;
        });
    }

    void init() { asked.clear(); }

    void displayTexts_data()
    {
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("duration");
        QTest::newRow("zero") << 0LL << u"0Bytes"_s << u"00:00:00"_s;
        QTest::newRow("just under 2 KB") << 2047LL << u"2047Bytes"_s << u"00:00:02"_s;
        QTest::newRow("2 KB") << 2048LL << u"2KB"_s << u"00:00:02"_s;
        QTest::newRow("grouped") << 1234LL * 1024 + 1023 << u"1,234KB"_s << u"00:21:04"_s;
        QTest::newRow("hours") << 3'723'999LL << u"3,636KB"_s << u"01:02:03"_s;
        QTest::newRow("long") << 360'000'000'000LL << u"351,562,500KB"_s << u"100000:00:00"_s;
    }

    void displayTexts()
    {
        QFETCH(qint64, value);
        QFETCH(QString, size);
        QFETCH(QString, duration);
        QCOMPARE(MediaLibTableModel::sizeText(value), size);
        QCOMPARE(MediaLibTableModel::durationText(value), duration);
    }

    void sorting_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("order");
        QTest::newRow("natural names, folders first")
                << QStringList{u"IMG10.jpg"_s, u"img9.jpg"_s,  u"shot10.png"_s, u"shot2.png"_s,
                               u"z1/"_s,       u"a1b10.jpg"_s, u"a1b2.jpg"_s}
                << int(MediaLibTableModel::NameColumn) << 0
                << u"z1 a1b2.jpg a1b10.jpg img9.jpg IMG10.jpg shot2.png shot10.png"_s;
        // Under 2 KB every size counts as nothing: the listing's name order stays.
        const QStringList sized{u"a.jpg=2000"_s, u"b.jpg=10"_s, u"c.jpg=1263616"_s,
                                u"d.jpg=1022976"_s, u"e/"_s};
        QTest::newRow("sizes") << sized << int(MediaLibTableModel::SizeColumn) << 1
                               << u"e a.jpg b.jpg d.jpg c.jpg"_s;
        QTest::newRow("sizes, second click") << sized << int(MediaLibTableModel::SizeColumn) << 2
                                             << u"c.jpg d.jpg a.jpg b.jpg e"_s;
    }

    void sorting()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(QString, order);
        MediaLibTableModel model;
        model.loadFolder(QDir(folderWith(u"sorting"_s, entries)));
        MediaLibSortFilterModel proxy;
        proxy.setSourceModel(&model);
        MediaLibTableView view;
        view.setModel(&proxy);
        view.doSorting();
        for (int click = 0; click < clicks; ++click)
            view.storeSortingInfo(column);
        QCOMPARE(shown(proxy, MediaLibTableModel::NameColumn), order);
    }

    void folderListing()
    {
        const QString folder
                = folderWith(u"listing"_s,
                             {u"b.TIFF=3000"_s, u"a.jpg=512"_s, u"c.avi"_s, u"d.WMV"_s,
                              u".hidden.jpg"_s, u"notes.txt"_s, u"sub/"_s, u".cache/"_s, u"jpg"_s});
        MediaLibTableModel model;
        model.loadFolder(QDir(folder));
        QCOMPARE(shown(model, MediaLibTableModel::NameColumn), u"sub a.jpg b.TIFF c.avi d.WMV"_s);
        QCOMPARE(shown(model, MediaLibTableModel::TypeColumn), u"Folder Image Image Video Video"_s);
        QCOMPARE(shown(model, MediaLibTableModel::SizeColumn), u" 512Bytes 2KB 0Bytes 0Bytes"_s);
        QCOMPARE(shown(model, 0, MediaLibTableModel::KindRole), u"0 1 1 2 2"_s);
        // The birth time where the file system keeps one, else the last change.
        const QFileInfo file(folder + u"/b.TIFF"_s);
        const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6));
        QFile written(file.filePath());
        QVERIFY(written.open(QIODevice::Append)
                && written.setFileTime(longAgo, QFileDevice::FileModificationTime));
        model.reloadMediaObj();
        QCOMPARE(model.index(2, MediaLibTableModel::DateColumn).data().toDateTime(),
                 file.birthTime().isValid() ? file.birthTime() : longAgo);
        QCOMPARE(model.index(1, 0).data(Qt::EditRole).toString(), u"a"_s);
        QVERIFY(model.flags(model.index(1, 0)) & Qt::ItemIsEditable);
        QVERIFY(!(model.flags(model.index(1, 1)) & Qt::ItemIsEditable));
        QVERIFY(model.index(0, MediaLibTableModel::InfoColumn).data(Qt::DecorationRole).isNull());
        QVERIFY(!model.index(1, MediaLibTableModel::InfoColumn).data(Qt::DecorationRole).isNull());

        QVERIFY(!model.addPath(folder + u"/notes.txt"_s));
        QVERIFY(!model.addPath(folder + u"/.hidden.jpg"_s));
        QVERIFY(QDir(folder).mkdir(u"new"_s) && model.addPath(folder + u"/new/"_s));
        QCOMPARE(model.rowOfPath(folder + u"/new"_s), 5);
        model.removePath(folder + u"/c.avi"_s);
        QCOMPARE(model.rowOfPath(folder + u"/d.WMV"_s), 3);

        // The slots take indexes of the sorted view as readily as their own.
        MediaLibSortFilterModel proxy;
        proxy.setSourceModel(&model);
        proxy.sort(MediaLibTableModel::NameColumn, Qt::DescendingOrder);
        QStringList emitted;
        const auto record = [&](const char *what) {
            return [&emitted, what, folder](const QString &path) {
                emitted << QString::fromLatin1(what) + path.mid(folder.size());
            };
        };
        connect(&model, &MediaLibTableModel::showImageRequested, this, record("image "));
        connect(&model, &MediaLibTableModel::playVideoRequested, this,
                [&](MediaIntf *media) { record("video ")(media->path()); });
        connect(&model, &MediaLibTableModel::showMediaInfo, this,
                [&](MediaImpl *media) { record("info ")(media->path()); });
        connect(&model, &MediaLibTableModel::fileDoesNotExist, this, record("missing "));
        const auto at = [&](const QString &name, int column) {
            return proxy.mapFromSource(model.index(model.rowOfPath(folder + name), column));
        };
        model.doubleClickedOnMediaLib(at(u"/a.jpg"_s, 1));
        model.doubleClickedOnMediaLib(at(u"/sub"_s, 1));
        model.doubleClickedOnMediaLib(at(u"/d.WMV"_s, 0));
        model.clickedOnInfoCol(at(u"/b.TIFF"_s, MediaLibTableModel::SizeColumn));
        model.clickedOnInfoCol(at(u"/b.TIFF"_s, MediaLibTableModel::InfoColumn));
        QFile::remove(folder + u"/a.jpg"_s);
        model.doubleClickedOnMediaLib(at(u"/a.jpg"_s, 1));
        QCOMPARE(emitted,
                 QStringList({u"image /a.jpg"_s, u"video /d.WMV"_s, u"info /b.TIFF"_s,
                              u"missing /a.jpg"_s}));

        model.loadDrives({{u"/media/stick"_s, Drive::Kind::Removable, u"vfat"_s}});
        QCOMPARE(model.index(0, 0).data().toString(), u"/media/stick"_s);
        QCOMPARE(model.index(0, 0).data(MediaLibTableModel::DriveKindRole).toInt(),
                 int(Drive::Kind::Removable));
    }

    void videoDurations()
    {
        const QString folder = folderWith(u"durations"_s, {u"broken.avi=100"_s, u"known.avi"_s});
        MediaInfoStore *store = MediaInfoStore::getInstance();
        const auto stored = [&](const QString &name) {
            MediaImpl media(folder + u'/' + name, MediaIntf::Video);
            store->readInformation(media);
            return media.duration();
        };
        MediaImpl known(folder + u"/known.avi"_s, MediaIntf::Video);
        known.setDuration(61'000);
        store->writeInformation(known);
        QCOMPARE(QProcess::execute(u"ffmpeg"_s,
                                   {u"-loglevel"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                    u"testsrc=duration=2.5:size=64x48:rate=10"_s, u"-c:v"_s,
                                    u"mpeg4"_s, folder + u"/clip.avi"_s}),
                 0);

        MediaLibTableModel model;
        model.loadFolder(QDir(folder));
        QSignalSpy changed(&model, &MediaLibTableModel::dataChanged);
        // Nothing while the length is being measured.
        QCOMPARE(shown(model, MediaLibTableModel::DurationColumn), u"  00:01:01"_s);
        QTRY_COMPARE(changed.size(), 2);
        for (const QList<QVariant> &cell : changed)
            QCOMPARE(cell.at(0), cell.at(1));
        QCOMPARE(shown(model, MediaLibTableModel::DurationColumn), u"00:00:00 00:00:02 00:01:01"_s);
        QTRY_COMPARE(stored(u"clip.avi"_s), 2500);
        QCOMPARE(stored(u"broken.avi"_s), 0);
        store->release();
    }

    void protectedPaths_data()
    {
        QTest::addColumn<QString>("protect");
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("refused");
        QTest::newRow("rename in a protected folder") << u"/lapse"_s << u"Lapse/1.jpg"_s << true
                                                      << u"Warning: This file is in use"_s << true;
        QTest::newRow("delete a protected folder") << u"/lapse"_s << u"Lapse"_s << false
                                                   << u"Warning: This folder is in use"_s << true;
        QTest::newRow("rename beside a protected folder")
                << u"/lapse2"_s << u"Lapse/1.jpg"_s << true << QString() << false;
        QTest::newRow("delete beside a protected folder")
                << u"/lapse2"_s << u"Lapse"_s << false << QString() << false;
    }

    void protectedPaths()
    {
        QFETCH(QString, protect);
        QFETCH(QString, item);
        QFETCH(bool, rename);
        QFETCH(QString, box);
        QFETCH(bool, refused);
        const QString folder = folderWith(u"protection"_s, {u"Lapse/1.jpg"_s, u"Lapse2/"_s});
        MediaLibTableModel model;
        model.loadFolder(QDir(folder + (item.contains(u'/') ? u"/Lapse"_s : u""_s)));
        MediaLibSortFilterModel proxy;
        proxy.setSourceModel(&model);
        MediaLibTableView view;
        view.setModel(&proxy);
        view.setProtectedPaths({(folder + protect).toLower()});
        QSignalSpy removed(&view, &MediaLibTableView::fileRemoved);
        QSignalSpy renamed(&view, &MediaLibTableView::fileContentChanged);
        const QString path = folder + u'/' + item;
        view.setCurrentIndex(proxy.mapFromSource(model.index(model.rowOfPath(path), 0)));
        if (rename) {
            view.renameCurObj();
            if (auto *editor = view.findChild<QLineEdit *>()) {
                QCOMPARE(editor->text(), u"1"_s);
                editor->setText(u"renamed"_s);
                QTest::keyClick(editor, Qt::Key_Return);
                QCoreApplication::processEvents(); // the delegate commits from a queued call
            }
        } else {
            QTimer::singleShot(0, &view, [&view] {
                if (auto *summary = view.findChild<DeleteInfoDialog *>())
                    summary->accept();
            });
            view.deleteCurObj();
        }
        QCOMPARE(asked, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(QFileInfo::exists(path), refused);
        QCOMPARE(model.rowOfPath(path) >= 0, refused);
        QCOMPARE(removed.size(), !refused && !rename ? 1 : 0);
        QCOMPARE(renamed.size(), !refused && rename ? 1 : 0);
        if (!renamed.isEmpty())
            QCOMPARE(renamed.first().first().toString(), folder + u"/Lapse/renamed.jpg"_s);
    }
};

VELORA_TEST_MAIN(TestMediaLibTableModel)
#include "tst_medialibtablemodel.moc"
