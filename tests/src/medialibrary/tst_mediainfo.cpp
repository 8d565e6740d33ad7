#include <MediaImpl.h>
#include <MediaInfoFile.h>
#include <MediaInfoModifiedPanel.h>
#include <MediaInfoStore.h>
#include <MediaLibraryDatabase.h>
#include <MessageBox.h>
#include <SettingIntf.h>
#include <ShownMediaRecord.h>
#include <VeloraTest.h>

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimeEdit>

using namespace Qt::StringLiterals;
using VeloraTest::touch;

namespace {

QString library()
{
    return VeloraTest::homePath() + u"/Documents/Velora/Media Library"_s;
}

QStringList indexed(const QString &keyword)
{
    MediaLibraryDatabase *index = MediaLibraryDatabase::instance();
    const QStringList found = index->search(parseKeywords(keyword));
    index->release();
    return found;
}

} // namespace

class TestMediaInfo : public QObject
{
    Q_OBJECT

    MediaInfoStore *store = nullptr;
    QList<MessageBox::Question> asked;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    QList<std::pair<bool, bool>> watched;

    // Each file made by fileWithInformation() has a keyword of its own.
    QString keyword;
    int files = 0;

    /// A file of `folder` with the title "kept", a thumbnail, a keyword no other file has, and
    /// `queued` as its YouTube queue state.
    QString fileWithInformation(const QString &folder, const QString &name,
                                int kind = MediaIntf::Image, int queued = 0)
    {
        MediaImpl media(touch(library() + u'/' + folder + u'/' + name), kind);
        media.setTitle(u"kept"_s);
        keyword = u"kw%1x"_s.arg(++files);
        media.setKeywords({keyword});
        media.setQueueState(MediaIntf::YouTube, queued);
        store->writeInformation(media);
        touch(store->thumbnailPath(media.path()));
        return media.path();
    }

    QString storedTitle(const QString &path)
    {
        MediaImpl media(path);
        store->readInformation(media);
        return media.title();
    }

private Q_SLOTS:
    void initTestCase()
    {
        store = MediaInfoStore::getInstance();
        MessageBox::setAnswerer([this](const MessageBox::Question &question) {
            asked << question;
            return answer;
        });
        store->setWatcherCallback([this](bool resume, bool changed) {
            watched.append({resume, changed});
        });
    }

    void init()
    {
        asked.clear();
        watched.clear();
        answer = QMessageBox::Ok;
    }

    void cleanupTestCase() { store->release(); }

    void informationFileKeepsEveryField()
    {
        // The same name in two folders: each file keeps its own information.
        const QString file = touch(library() + u"/trip/a.jpg"_s);
        const QString sibling = touch(library() + u"/trip2/a.jpg"_s);
        MediaImpl media(file, MediaIntf::Video);
        media.setTitle(u"Über \"quotes\" & <tags>"_s);
        media.setKeywords(MediaInfoFile::splitKeywords(u"a, b,,c"_s));
        media.setDuration(5'000'000'123); // beyond 32 bits
        media.setLink(MediaIntf::Site::Twitpic, QUrl(u"https://example.org/p?id=1&x=2"_s));
        media.setRemoteId(MediaIntf::Site::SchoolTube, u"st-9"_s);
        media.setQueueState(MediaIntf::Twitter, 3);
        QVERIFY(store->writeInformation(media));

        const QString base = VeloraTest::homePath() + u"/.local/share/Velora/Kivo"_s;
        QCOMPARE(store->thumbnailPath(u"/x/../../../etc/b:c.jpg"_s), base + u"/etc/bc.jpg.png"_s);
        QFile written(base + file + u".kvrd"_s);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(written.readAll());
        QVERIFY(xml.startsWith(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FileInformation>\n"
                               u"    <FileTitle>"_s));
        QVERIFY(xml.contains(u"<FileKeyWord>a,b,c</FileKeyWord>"_s));
        QStringList order;
        for (const auto &match : QRegularExpression(u"<(\\w+)>"_s).globalMatch(xml))
            order << match.captured(1);
        QCOMPARE(order.join(u' '),
                 u"FileInformation FileTitle FileAuthor FileKeyWord FileDuration FileType "
                 u"FileDescription picasaUrl youtubeUrl facebookUrl schooltubeUrl dropboxUrl "
                 u"twitpicUrl picasaID youtubeID facebookID schooltubeID dropboxID twitpicID "
                 u"youtubeQueued picasaQueued facebookQueued twitterQueued dropboxQueued"_s);

        MediaImpl read(file, MediaIntf::Image);
        store->readInformation(read);
        QCOMPARE(MediaInfoFile::write(read), MediaInfoFile::write(media));
        QVERIFY(storedTitle(sibling).isEmpty());
        QCOMPARE(indexed(u"b"_s), QStringList{file});

        // One waiting service puts the file in the queue; else a failure shows, else one not
        // queued, else all are done.
        QCOMPARE(read.uploadState(), 3);
        read.setQueueState(MediaIntf::Picasa, MediaIntf::Queued);
        QVERIFY(read.isInUploadQueue());
        for (MediaIntf::Service service : MediaIntf::Services)
            read.setQueueState(service, 2);
        QCOMPARE(read.uploadState(), 2);
        read.setQueueState(MediaIntf::Dropbox, 0);
        QCOMPARE(read.uploadState(), 0);
    }

    void readingDistrustsTheFile_data()
    {
        // How long texts and keyword lists are cut is checked on every input of the fuzz corpus.
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("read"); // title|keywords|kind
        QTest::newRow("any order, others and kinds of 3 or more ignored")
                << "<FileInformation><x>1</x><FileType>2</FileType><FileKeyWord> a, b,,c "
                   "</FileKeyWord><FileTitle>T</FileTitle><FileType>3</FileType></FileInformation>"_ba
                << u"T|a,b,c|2"_s;
        QTest::newRow("truncated keeps what was read")
                << "<FileInformation><FileTitle>T</FileTitle><FileKeyWord>a,b</FileKeyWord><Fi"_ba
                << u"T|a,b|1"_s;
        QTest::newRow("entities refused") << "<!DOCTYPE f [<!ENTITY a \"aaaa\">]><FileInformation>"
                                             "<FileTitle>&a;</FileTitle></FileInformation>"_ba
                                          << u"||1"_s;
    }

    void readingDistrustsTheFile()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, read);
        MediaImpl media(u"x.jpg"_s, MediaIntf::Image);
        MediaInfoFile::read(xml, media);
        QCOMPARE(u"%1|%2|%3"_s.arg(media.title(), media.keywords().join(u',')).arg(media.kind()),
                 read);
    }

    void changeFile_data()
    {
        // A new name renames, none removes; the message box as "title: text".
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("box");
        const QString playing = u"failed: This file is playing"_s;
        const QString tooLong
                = u"Rename failed: File name is limited to 255 characters in length"_s;
        QTest::newRow("rename in another case") << QString() << u"photo"_s << QString();
        QTest::newRow("rename with quotes and Unicode")
                << QString() << u"l'été «Ünïcødé» 日本 'x'"_s << QString();
        QTest::newRow("rename to the same name") << QString() << u"Photo"_s << QString();
        QTest::newRow("rename a folder to 255 characters")
                << u"folder"_s << QString(255, u'f') << QString();
        QTest::newRow("rename to 256 characters") << QString() << QString(256, u'f') << tooLong;
        QTest::newRow("rename too long for the information's name")
                << QString() << QString(247, u'f') << tooLong;
        QTest::newRow("rename with a forbidden character")
                << QString() << u"a?b"_s
                << u"Rename failed: File name cannot contain following characters:\n"
                   u"\" / \\ : * ? < > |"_s;
        QTest::newRow("rename shown") << u"shown"_s << u"n"_s << u"Rename "_s + playing;
        QTest::newRow("rename queued")
                << u"queued"_s << u"n"_s << u"File error: This file is in upload queue"_s;
        QTest::newRow("rename onto a file")
                << u"occupied"_s << u"n"_s << u"File error: Rename failed:\n"_s;
        QTest::newRow("rename read-only")
                << u"readonly"_s << u"n"_s << u"File error: This file is in use"_s;
        QTest::newRow("remove") << QString() << QString() << QString();
        QTest::newRow("remove a folder") << u"folder"_s << QString() << QString();
        QTest::newRow("remove vanished") << u"vanished"_s << QString() << QString();
        QTest::newRow("remove playing") << u"playing"_s << QString() << u"Remove "_s + playing;
        QTest::newRow("remove thumbnailed")
                << u"thumbnail"_s << QString()
                << u"Remove failed: Velora is generating thumbnail for this file"_s;
        QTest::newRow("remove undeletable")
                << u"locked"_s << QString()
                << u"File error: Delete file failed.\nThis file may be read-only or in use."_s;
    }

    void changeFile()
    {
        QFETCH(QString, state);
        QFETCH(QString, newName);
        QFETCH(QString, box);
        const bool asNobody = state == u"readonly" || state == u"locked";
        if (asNobody && !VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        const bool isFolder = state == u"folder";
        const QString file
                = fileWithInformation(QString::fromUtf8(QTest::currentDataTag()), u"Photo.jpg"_s,
                                      MediaIntf::Image, state == u"queued" ? MediaIntf::Queued : 0);
        const QDir folder = QFileInfo(file).dir();
        MediaImpl media(isFolder ? folder.path() : file,
                        isFolder ? MediaIntf::Folder : MediaIntf::Image);
        const QString path = media.path();
        const auto record = store->shownMedia();
        record->setShownImage(state == u"shown" ? path : QString());
        record->setPlayingVideo(state == u"playing" ? path : QString());
        record->setThumbnailInProgress(state == u"thumbnail" ? path : QString());
        if (state == u"vanished")
            QVERIFY(QFile::remove(file));
        if (state == u"occupied")
            touch(folder.filePath(u"n.jpg"_s));
        // The new name's stale information, from a file deleted outside, must not stay.
        if (box.isEmpty() && !isFolder && !newName.isEmpty() && newName != u"Photo")
            touch(store->infoFilePath(folder.filePath(newName + u".jpg"_s)));
        if (state == u"readonly" || state == u"locked")
            QVERIFY(QFile::setPermissions(state == u"locked" ? folder.path() : file,
                                          QFile::ReadOwner | QFile::ExeOwner));

        const bool done
                = newName.isEmpty() ? store->remove(media) : store->rename(media, newName, true);
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(asked.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty()) {
            const QString shown = asked.first().title + u": "_s + asked.first().text;
            QVERIFY2(shown.startsWith(box), qPrintable(shown));
            QCOMPARE(asked.first().icon, QMessageBox::Warning);
        }
        QCOMPARE(done, box.isEmpty() && newName != u"Photo");
        // Where the file is now, if anywhere; its information, thumbnail and index rows follow.
        const QString now = !done ? path
                : newName.isEmpty()
                ? QString()
                : QFileInfo(path).dir().filePath(newName + (isFolder ? u""_s : u".jpg"_s));
        const QString nowFile = isFolder && !now.isEmpty() ? now + u"/Photo.jpg"_s : now;
        QCOMPARE(media.path(), now.isEmpty() ? path : now);
        QCOMPARE(QFileInfo::exists(path), now == path && state != u"vanished");
        QCOMPARE(indexed(keyword), nowFile.isEmpty() ? QStringList() : QStringList{nowFile});
        QCOMPARE(storedTitle(file), nowFile == file ? u"kept"_s : QString());
        QCOMPARE(QFileInfo::exists(store->thumbnailPath(file)), nowFile == file);
        if (!nowFile.isEmpty())
            QVERIFY(storedTitle(nowFile) == u"kept"
                    && QFileInfo::exists(store->thumbnailPath(nowFile)));
        // The library stops watching around a rename and starts again, reloading on success.
        using Calls = QList<std::pair<bool, bool>>;
        const bool tried = done || box.startsWith(u"File error: Rename failed:") || asNobody;
        QCOMPARE(watched,
                 !tried || newName.isEmpty() ? Calls() : Calls({{false, false}, {true, done}}));
    }

    void informationDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("renamed and saved") << u"renamed"_s << QString() << 0 << QString();
        QTest::newRow("empty name")
                << QString() << QString() << 0 << u"File name cannot be empty."_s;
        QTest::newRow("vanished") << u"renamed"_s << u"vanished"_s << 0
                                  << u"File does not exist."_s;
        QTest::newRow("replace refused")
                << u"other"_s << u"occupied"_s << int(QMessageBox::No)
                << u"Destination file exists. Do you want to replace it?"_s;
        QTest::newRow("name leading elsewhere")
                << u"../dialog name leading elsewhere/other"_s << u"occupied"_s
                << int(QMessageBox::Yes) << u"File name cannot contain following characters:\n"_s;
        QTest::newRow("replace accepted")
                << u"other"_s << u"occupied"_s << int(QMessageBox::Yes)
                << u"Destination file exists. Do you want to replace it?"_s;
    }

    void informationDialog()
    {
        QFETCH(QString, name);
        QFETCH(QString, state);
        QFETCH(int, answer);
        QFETCH(QString, message);
        this->answer = QMessageBox::StandardButton(answer);
        const QString folder = u"dialog "_s + QString::fromUtf8(QTest::currentDataTag());
        const QString file = fileWithInformation(folder, u"clip.avi"_s, MediaIntf::Video);
        const QString other = touch(library() + u'/' + folder + u"/other.avi"_s);
        if (state != u"occupied")
            QVERIFY(QFile::remove(other));
        if (state == u"vanished")
            QVERIFY(QFile::remove(file));
        MediaImpl media(file, MediaIntf::Other);
        MediaInfoModifiedPanel information(&media, MediaInfoModifiedPanel::InformationForm);
        MediaInfoModifiedPanel panel(&media, MediaInfoModifiedPanel::PublishForm);
        const auto label = [](QDialog &dialog) -> QString {
            return dialog.windowTitle() + u", "_s
                    + dialog.findChild<QLabel *>(u"sectionLabel"_s)->text();
        };
        QCOMPARE(label(information), u"Delete video, Publish Information"_s);
        QCOMPARE(label(panel), u"Save/Publish video, Publish Setting"_s);
        QCOMPARE(panel.findChild<QLineEdit *>(u"title"_s)->text(), u"kept"_s);
        // Nothing may promise an upload while there is nobody to upload.
        QVERIFY(panel.findChild<QWidget *>(u"services"_s)->isHidden()
                && panel.findChild<QWidget *>(u"trashCan"_s)->isHidden());
        QCOMPARE(panel.findChild<QTimeEdit *>()->displayFormat(), u"hh:mm A"_s);
        QCOMPARE(panel.findChild<QDateEdit *>()->displayFormat(), u"MM/dd/yyyy"_s);

        const QDateTime when(QDate(2027, 3, 4), QTime(14, 30));
        panel.findChild<QLineEdit *>(u"fileName"_s)->setText(name);
        panel.findChild<QLineEdit *>(u"title"_s)->setText(u"Lab"_s);
        panel.findChild<QLineEdit *>(u"keywords"_s)->setText(u"a, b,,c"_s);
        panel.findChild<QTimeEdit *>()->setTime(when.time());
        panel.findChild<QDateEdit *>()->setDate(when.date());
        asked.clear();
        const bool saved = panel.save();
        QCOMPARE(asked.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY(asked.first().text.startsWith(message));
        QCOMPARE(saved,
                 message.isEmpty() || (message.startsWith(u"Dest") && answer == QMessageBox::Yes));
        QCOMPARE(panel.result(), int(saved ? QDialog::Accepted : QDialog::Rejected));
        const QString renamed = QFileInfo(file).dir().filePath(name + u".avi"_s);
        QCOMPARE(QFileInfo::exists(renamed), saved || state == u"occupied");
        if (!saved) {
            QCOMPARE(storedTitle(file), u"kept"_s);
            return;
        }
        QCOMPARE(media.path(), renamed);
        QCOMPARE(storedTitle(renamed), u"Lab"_s);
        QCOMPARE(media.keywords(), QStringList({u"a"_s, u"b"_s, u"c"_s}));
        QCOMPARE(indexed(u"b"_s).contains(renamed), true);
        SettingIntf *settings = SettingIntf::getInstance();
        QCOMPARE(settings->value(u"Upload Time"_s).toDateTime(), when);
        settings->release();
    }
};

VELORA_TEST_MAIN(TestMediaInfo)
#include "tst_mediainfo.moc"
