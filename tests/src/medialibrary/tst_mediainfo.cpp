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
#include <QPushButton>
#include <QRegularExpression>
#include <QTimeEdit>

using namespace Qt::StringLiterals;

namespace {

QString library()
{
    return VeloraTest::homePath() + u"/Documents/Velora/Media Library"_s;
}

QString touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("picture") != 7)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        media.setAuthor(u"Ms. O'Neil"_s);
        media.setKeywords(MediaInfoFile::splitKeywords(u"a, b,,c"_s));
        media.setDuration(90061);
        media.setDescription(u"two\nlines"_s);
        media.setLink(MediaIntf::Site::Twitpic, QUrl(u"https://example.org/p?id=1&x=2"_s));
        media.setRemoteId(MediaIntf::Site::SchoolTube, u"st-9"_s);
        media.setQueueState(MediaIntf::Twitter, 3);
        QVERIFY(store->writeInformation(media));

        const QString base = VeloraTest::homePath() + u"/.local/share/Velora/Kivo"_s;
        QCOMPARE(store->infoFilePath(file), base + file + u".kvrd"_s);
        QCOMPARE(store->thumbnailPath(u"/x/../../../etc/b:c.jpg"_s), base + u"/etc/bc.jpg.png"_s);
        const QString xml = QString::fromUtf8(contents(store->infoFilePath(file)));
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
        QCOMPARE(read.title(), media.title());
        QCOMPARE(read.author(), media.author());
        QCOMPARE(read.keywords(), QStringList({u"a"_s, u"b"_s, u"c"_s}));
        QCOMPARE(read.duration(), 90061);
        QCOMPARE(read.kind(), int(MediaIntf::Video));
        QCOMPARE(read.description(), media.description());
        QCOMPARE(read.link(MediaIntf::Site::Twitpic), media.link(MediaIntf::Site::Twitpic));
        QCOMPARE(read.remoteId(MediaIntf::Site::SchoolTube), u"st-9"_s);
        QCOMPARE(read.uploadState(), 3);
        QVERIFY(storedTitle(sibling).isEmpty());
        QCOMPARE(indexed(u"b"_s), QStringList{file});
    }

    void uploadStateIsDerived_data()
    {
        QTest::addColumn<QList<int>>("states");
        QTest::addColumn<int>("derived");
        QTest::newRow("one waits") << QList<int>{2, 3, 0, 1, 2} << 1;
        QTest::newRow("one failed") << QList<int>{2, 0, 3, 2, 2} << 3;
        QTest::newRow("one not queued") << QList<int>{2, 0, 2, 2, 2} << 0;
        QTest::newRow("all done") << QList<int>{2, 2, 2, 2, 2} << 2;
    }

    void uploadStateIsDerived()
    {
        QFETCH(QList<int>, states);
        QFETCH(int, derived);
        MediaImpl media;
        for (int i = 0; i < states.size(); ++i)
            media.setQueueState(MediaIntf::Services[i], states[i]);
        QCOMPARE(media.uploadState(), derived);
    }

    void readingDistrustsTheFile_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("keywords");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("complete");
        const QStringList abc{u"a"_s, u"b"_s, u"c"_s};
        QTest::newRow("any order, other elements ignored")
                << "<FileInformation><x>1</x><FileType>2</FileType><FileKeyWord> a, b,,c "
                   "</FileKeyWord><FileTitle>T</FileTitle></FileInformation>"_ba
                << u"T"_s << abc << 2 << true;
        QTest::newRow("kind of 3 or more ignored")
                << "<FileInformation><FileType>3</FileType></FileInformation>"_ba << QString()
                << QStringList() << 1 << true;
        QTest::newRow("truncated keeps what was read")
                << "<FileInformation><FileTitle>T</FileTitle><FileKeyWord>a,b,c</FileKeyWord>"
                   "<FileType>2"_ba
                << u"T"_s << abc << 1 << false;
        QTest::newRow("entities refused")
                << "<!DOCTYPE f [<!ENTITY a \"aaaaaaaa\">]><FileInformation><FileTitle>&a;"
                   "</FileTitle></FileInformation>"_ba
                << QString() << QStringList() << 1 << false;
        QTest::newRow("not XML") << "\xff\xfe\x00garbage"_ba << QString() << QStringList() << 1
                                 << false;
        QTest::newRow("huge texts capped")
                << "<FileInformation><FileTitle>" + QByteArray(100000, 'x')
                        + "</FileTitle><FileKeyWord>" + QByteArray("k,").repeated(5000)
                        + "</FileKeyWord></FileInformation>"
                << QString(MediaInfoFile::MaxTextLength, u'x')
                << QStringList(MediaInfoFile::MaxKeywords, u"k"_s) << 1 << true;
    }

    void readingDistrustsTheFile()
    {
        QFETCH(QByteArray, xml);
        QFETCH(QString, title);
        QFETCH(QStringList, keywords);
        QFETCH(int, kind);
        QFETCH(bool, complete);
        MediaImpl media(u"x.jpg"_s, MediaIntf::Image);
        QCOMPARE(MediaInfoFile::read(xml, media), complete);
        QCOMPARE(media.title(), title);
        QCOMPARE(media.keywords(), keywords);
        QCOMPARE(media.kind(), kind);
    }

    void changeFile_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        const QString playing = u"This file is playing"_s;
        const QString thumbnail = u"Velora is generating thumbnail for this file"_s;
        const QString queued = u"This file is in upload queue"_s;
        const QString renameFailed = u"Rename failed"_s, fileError = u"File error"_s;
        const QString rename = u"rename"_s, remove = u"remove"_s;
        QTest::newRow("rename in another case")
                << rename << QString() << u"photo"_s << QString() << QString();
        QTest::newRow("rename with quotes and Unicode")
                << rename << QString() << u"l'été «Ünïcødé» 日本 'x'"_s << QString() << QString();
        QTest::newRow("rename to the same name")
                << rename << QString() << u"Photo"_s << QString() << QString();
        QTest::newRow("rename a folder to 255 characters")
                << rename << u"folder"_s << QString(255, u'f') << QString() << QString();
        QTest::newRow("rename to 256 characters")
                << rename << QString() << QString(256, u'f') << renameFailed
                << u"File name is limited to 255 characters in length"_s;
        QTest::newRow("rename with a forbidden character")
                << rename << QString() << u"a?b"_s << renameFailed
                << u"File name cannot contain following characters:\n\" / \\ : * ? < > |"_s;
        QTest::newRow("rename shown") << rename << u"shown"_s << u"n"_s << renameFailed << playing;
        QTest::newRow("rename playing")
                << rename << u"playing"_s << u"n"_s << renameFailed << playing;
        QTest::newRow("rename thumbnailed")
                << rename << u"thumbnail"_s << u"n"_s << renameFailed << thumbnail;
        QTest::newRow("rename queued") << rename << u"queued"_s << u"n"_s << fileError << queued;
        QTest::newRow("rename onto a file")
                << rename << u"occupied"_s << u"n"_s << fileError << u"Rename failed:\n"_s;
        QTest::newRow("rename read-only")
                << rename << u"readonly"_s << u"n"_s << fileError << u"This file is in use"_s;
        QTest::newRow("remove") << remove << QString() << QString() << QString() << QString();
        QTest::newRow("remove a folder")
                << remove << u"folder"_s << QString() << QString() << QString();
        QTest::newRow("remove vanished")
                << remove << u"vanished"_s << QString() << QString() << QString();
        QTest::newRow("remove shown")
                << remove << u"shown"_s << QString() << u"Remove failed"_s << playing;
        QTest::newRow("remove thumbnailed")
                << remove << u"thumbnail"_s << QString() << u"Remove failed"_s << thumbnail;
        QTest::newRow("remove queued") << remove << u"queued"_s << QString() << fileError << queued;
        QTest::newRow("remove undeletable")
                << remove << u"locked"_s << QString() << fileError
                << u"Delete file failed.\nThis file may be read-only or in use."_s;
    }

    void changeFile()
    {
        QFETCH(QString, operation);
        QFETCH(QString, state);
        QFETCH(QString, newName);
        QFETCH(QString, title);
        QFETCH(QString, message);
        const bool asNobody = state == u"readonly" || state == u"locked";
        if (asNobody && !VeloraTest::inRerun()) {
            QVERIFY(VeloraTest::rerunCurrentTest(VeloraTest::asNobody()));
            return;
        }
        const QString folder = QString::fromUtf8(QTest::currentDataTag());
        const bool isFolder = state == u"folder";
        const QString file = fileWithInformation(folder, u"Photo.jpg"_s, MediaIntf::Image,
                                                 state == u"queued" ? MediaIntf::Queued : 0);
        MediaImpl media(isFolder ? QFileInfo(file).path() : file,
                        isFolder ? MediaIntf::Folder : MediaIntf::Image);
        const QString path = media.path();
        const auto record = store->shownMedia();
        record->setShownImage(state == u"shown" ? path : QString());
        record->setPlayingVideo(state == u"playing" ? path : QString());
        record->setThumbnailInProgress(state == u"thumbnail" ? path : QString());
        if (state == u"vanished")
            QVERIFY(QFile::remove(file));
        if (state == u"occupied")
            touch(QFileInfo(file).dir().filePath(u"n.jpg"_s));
        if (state == u"readonly")
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
        if (state == u"locked")
            QVERIFY(QFile::setPermissions(QFileInfo(file).path(),
                                          QFile::ReadOwner | QFile::ExeOwner));

        const bool done = operation == u"rename" ? store->rename(media, newName, true)
                                                 : store->remove(media);
        QFile::setPermissions(QFileInfo(file).path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(asked.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(asked.first().title, title);
            QVERIFY2(asked.first().text.startsWith(message), qPrintable(asked.first().text));
            QCOMPARE(asked.first().icon, QMessageBox::Warning);
        }
        const bool changes = message.isEmpty() && newName != u"Photo";
        QCOMPARE(done, changes);
        // What follows the file: its information, thumbnail and index rows.
        const QString now = !changes ? path
                : operation == u"remove"
                ? QString()
                : QFileInfo(path).dir().filePath(newName + (isFolder ? u""_s : u".jpg"_s));
        const QString nowFile = isFolder && !now.isEmpty() ? now + u"/Photo.jpg"_s : now;
        QCOMPARE(media.path(), now.isEmpty() ? path : now);
        QCOMPARE(QFileInfo::exists(path), now == path && state != u"vanished");
        QCOMPARE(indexed(keyword), nowFile.isEmpty() ? QStringList() : QStringList{nowFile});
        QCOMPARE(storedTitle(file), nowFile == file ? u"kept"_s : QString());
        QCOMPARE(QFileInfo::exists(store->thumbnailPath(file)), nowFile == file);
        if (!nowFile.isEmpty()) {
            QCOMPARE(storedTitle(nowFile), u"kept"_s);
            QVERIFY(QFileInfo::exists(store->thumbnailPath(nowFile)));
        }
        // The library stops watching around a rename and starts again, reloading on success.
        using Calls = QList<std::pair<bool, bool>>;
        const bool tried = done || message.startsWith(u"Rename failed:") || asNobody;
        QCOMPARE(watched,
                 !tried || operation == u"remove" ? Calls()
                                                  : Calls({{false, false}, {true, done}}));
    }

    void everyForbiddenCharacterRefused()
    {
        for (QChar c : u"|><?*:\\/\""_s)
            QVERIFY(!MediaInfoStore::nameProblem(u"a"_s + c).isEmpty());
        QVERIFY(MediaInfoStore::nameProblem(u"l'été 'n' «x»"_s).isEmpty());
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
        QCOMPARE(information.windowTitle(), u"Delete video"_s);
        QCOMPARE(information.findChild<QLabel *>(u"sectionLabel"_s)->text(),
                 u"Publish Information"_s);

        MediaInfoModifiedPanel panel(&media, MediaInfoModifiedPanel::PublishForm);
        QCOMPARE(panel.windowTitle(), u"Save/Publish video"_s);
        QCOMPARE(panel.findChild<QLabel *>(u"sectionLabel"_s)->text(), u"Publish Setting"_s);
        QCOMPARE(panel.findChild<QLineEdit *>(u"title"_s)->text(), u"kept"_s);
        // Nothing may promise an upload while there is nobody to upload.
        QVERIFY(panel.findChild<QWidget *>(u"services"_s)->isHidden());
        QVERIFY(panel.findChild<QWidget *>(u"trashCan"_s)->isHidden());
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
            QCOMPARE(asked.first().text, message);
        QCOMPARE(saved, message.isEmpty() || answer == QMessageBox::Yes);
        QCOMPARE(panel.result(), saved ? int(QDialog::Accepted) : int(QDialog::Rejected));
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
