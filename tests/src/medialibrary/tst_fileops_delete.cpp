#include <DeleteInfoDialog.h>
#include <FolderDeletion.h>
#include <MediaImpl.h>
#include <MediaInfoStore.h>
#include <MediaLibTableModel.h>
#include <MediaLibTableView.h>
#include <MessageBox.h>
#include <ShownMediaRecord.h>
#include <VeloraTest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTimer>

using namespace Qt::StringLiterals;
using VeloraTest::touch;

class TestFileOpsDelete : public QObject
{
    Q_OBJECT

    MediaInfoStore *store = nullptr;
    QStringList asked;
    QString root;

    /// Deletes `name` of the folder `root` shows through the table view, answering the summary
    /// with `keep` unchecked; returns what the summary said.
    QStringList deleteThrough(const QString &name, int keep = 0)
    {
        MediaLibTableModel model;
        model.loadFolder(QDir(root));
        MediaLibTableView view;
        view.setModel(&model);
        view.setCurrentIndex(model.index(model.rowOfPath(root + u'/' + name), 0));
        QStringList summary;
        QTimer::singleShot(0, &view, [&] {
            auto *dialog = view.findChild<DeleteInfoDialog *>();
            for (FolderDeletion::Kind kind : FolderDeletion::Kinds) {
                QCheckBox *box = dialog->checkBox(kind);
                summary << u"%1%2%3"_s.arg(box->text(), box->isEnabled() ? u"on"_s : u"off"_s,
                                           box->isChecked() ? u"+"_s : u"-"_s);
                box->setChecked(box->isChecked() && !(kind & keep));
            }
            dialog->accept();
        });
        view.deleteCurObj();
        return summary;
    }

private Q_SLOTS:
    void initTestCase()
    {
        store = MediaInfoStore::getInstance();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked << question.title + u": "_s + question.text;
            return QMessageBox::Ok;
        });
    }

    void init()
    {
        asked.clear();
        root = VeloraTest::homePath() + u"/lib/"_s
                + QString::fromUtf8(QTest::currentTestFunction());
        QDir().mkpath(root);
    }

    void cleanupTestCase() { store->release(); }

    void question_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("asked");
        const QString start = u"Do you want to delete \""_s;
        // 23 characters before the name and one after: a name of 49 makes 73.
        QTest::newRow("short") << u"Trip"_s << start + u"Trip\""_s;
        QTest::newRow("73") << QString(49, u'a') << start + QString(49, u'a') + u'"';
        QTest::newRow("74") << QString(50, u'b') << start + QString(46, u'b') + u"...\""_s;
    }

    void question()
    {
        QFETCH(QString, name);
        QFETCH(QString, asked);
        QCOMPARE(DeleteInfoDialog::question(name), asked);
    }

    void readOnlyFileDeepInsideStopsTheDeletion()
    {
        // Root may write any file: only an ordinary user meets a read-only one.
        if (!VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        const QString trip = root + u"/Trip"_s;
        MediaImpl queued(touch(trip + u"/up.jpg"_s), MediaIntf::Image);
        queued.setQueueState(MediaIntf::Dropbox, MediaIntf::Queued);
        store->writeInformation(queued);
        const QStringList files{queued.path(), touch(trip + u"/b/notes.txt"_s),
                                touch(trip + u"/b/list.txt"_s), touch(trip + u"/.hidden.png"_s),
                                touch(trip + u"/b/c/deep.jpg"_s)};
        QVERIFY(QFile::setPermissions(files.last(), QFile::ReadOwner));
        touch(store->infoFilePath(files.at(3)));

        QCOMPARE(deleteThrough(u"Trip"_s),
                 QStringList({u"1 uploading file.\non+"_s, u"2 non-Media files.\non+"_s,
                              u"1 hidden Media file\non+"_s,
                              u"0 media files uploaded before.\noff-"_s,
                              u"1 read-only file.\non+"_s}));
        QCOMPARE(asked, QStringList{u"Delete: File: deep.jpg is read-only\n"_s});
        for (const QString &file : files)
            QVERIFY2(QFileInfo::exists(file), qPrintable(file));

        // Kept, the read-only and the queued file stay with their folders; the rest goes.
        asked.clear();
        deleteThrough(u"Trip"_s, FolderDeletion::ReadOnly | FolderDeletion::Uploading);
        QCOMPARE(asked, QStringList());
        QStringList left;
        for (const QString &file : files)
            left << QString(QFileInfo::exists(file) ? u'+' : u'-');
        QCOMPARE(left.join(QString()), u"+---+"_s);
        // Through the store: the information of a deleted picture goes with it.
        QVERIFY(!QFileInfo::exists(store->infoFilePath(files.at(3))));
    }

    void busyItemsAreRefused_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QString>("told");
        QTest::newRow("recorded file, delete")
                << u"rec/r.avi"_s << u"rec/r.avi"_s << false << u"Warning: This file is in use"_s;
        QTest::newRow("recorded file, rename")
                << u"rec/r.avi"_s << u"rec/r.avi"_s << true << u"Warning: This file is in use"_s;
        QTest::newRow("recorded part")
                << u"rec/r.avi"_s << u"rec/r_2.avi"_s << false << u"Warning: This file is in use"_s;
        QTest::newRow("folder of the recording")
                << u"rec/r.avi"_s << u"rec"_s << false << u"Warning: This folder is in use"_s;
        // Not the views' to know: the store refuses what the upload queue holds.
        QTest::newRow("queued for upload") << QString() << u"lapse/a.jpg"_s << false
                                           << u"File error: This file is in upload queue"_s;
    }

    void busyItemsAreRefused()
    {
        QFETCH(QString, record);
        QFETCH(QString, item);
        QFETCH(bool, rename);
        QFETCH(QString, told);
        for (const QString &name : {u"lapse/a.jpg"_s, u"rec/r.avi"_s, u"rec/r_2.avi"_s})
            touch(root + u'/' + name);
        const QString path = root + u'/' + item;
        store->shownMedia()->setRecordingFile(record.isEmpty() ? record : root + u'/' + record);
        store->shownMedia()->setUploadQueue(told.contains(u"upload"_s) ? QSet{path}
                                                                       : QSet<QString>());
        MediaLibTableModel model;
        model.loadFolder(QDir(QFileInfo(path).path()));
        MediaLibTableView view;
        view.setModel(&model);
        view.setCurrentIndex(model.index(model.rowOfPath(path), 0));
        if (rename)
            view.renameCurObj();
        else
            view.deleteCurObj();
        QCOMPARE(asked, QStringList{told});
        QVERIFY(QFileInfo::exists(path));

        // Past the views, the store itself refuses the recording.
        if (!record.isEmpty()) {
            asked.clear();
            MediaImpl media(path, MediaLibTableModel::kindOfPath(path));
            QVERIFY(!(rename ? store->rename(media, u"other"_s, true) : store->remove(media)));
            QCOMPARE(asked, QStringList{u"File error: This file is in use"_s});
        }
        store->shownMedia()->setRecordingFile(QString());
    }
};

VELORA_TEST_MAIN(TestFileOpsDelete)
#include "tst_fileops_delete.moc"
