#include <MediaLibraryDatabase.h>
#include <VeloraTest.h>

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace Qt::StringLiterals;

class TestMediaLibraryDatabase : public QObject
{
    Q_OBJECT

private:
    MediaLibraryDatabase *db = nullptr;

    static QString mediaFolder()
    {
        return VeloraTest::homePath() + u"/Documents/Velora/Media Library"_s;
    }
    static QString indexPath() { return mediaFolder() + u"/MediaSearch_v1.db3"_s; }
    /// A fresh folder below the home holding empty files of these names.
    static QString folderWith(const QString &name, const QStringList &files)
    {
        const QString folder = VeloraTest::homePath() + u'/' + name;
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        for (const QString &file : files)
            QFile(folder + u'/' + file).open(QIODevice::WriteOnly);
        return folder;
    }
    /// The result of `statement` read through SQL, not through the class: one string per row,
    /// its columns joined by "|".
    static QStringList sql(const QString &statement, const QVariantList &values = {})
    {
        QSqlQuery query(QSqlDatabase::database(u"connSQLite"_s));
        query.prepare(statement);
        for (const QVariant &value : values)
            query.addBindValue(value);
        QStringList found;
        for (query.exec(); query.next();) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i)
                columns << query.value(i).toString();
            found << columns.join(u'|');
        }
        return found;
    }
    static QStringList rowsOf(const QString &folder)
    {
        QStringList found = sql(u"select fileName, suffix, keyword, role from files where "
                                "dirPath = ?"_s,
                                {folder});
        found.sort();
        return found;
    }
    static QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }
    QStringList search(const QString &text) { return db->search(::parseKeywords(text)); }
    void restart()
    {
        db->release();
        db = MediaLibraryDatabase::instance();
    }

private Q_SLOTS:
    void init()
    {
        db = MediaLibraryDatabase::instance();
        db->removeFolder(QDir(VeloraTest::homePath()));
    }
    void cleanup() { db->release(); }

    void parseKeywords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("keywords");
        QTest::newRow("repeats, before lower-casing")
                << u"Red, red ,red"_s << QStringList{u"Red"_s, u"red"_s};
        QTest::newRow("wildcards made literal")
                << u"50%,a_b,[x]\\"_s << QStringList{u"50\\%"_s, u"a\\_b"_s, u"\\[x\\]\\\\"_s};
        QTest::newRow("blank") << u" , "_s << QStringList{QString()};
        QTest::newRow("empty parts") << u"a,,b,"_s << QStringList{u"a"_s, u"b"_s};
    }
    void parseKeywords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, keywords);
        QCOMPARE(::parseKeywords(text), keywords);
    }

    void syncIndexesEachFileOnceAndDropsVanishedOnes()
    {
        const QString folder = folderWith(
                u"Sync"_s, {u"Velora-2012.JPG"_s, u"notes.txt"_s, u"README"_s, u".hidden"_s});
        const QStringList indexed{u"README||readme|0"_s, u"Velora-2012|JPG|velora-2012.jpg|0"_s,
                                  u"notes|txt|notes.txt|0"_s};
        QSignalSpy vanished(db, &MediaLibraryDatabase::fileNotExists);
        for (int pass = 0; pass < 2; ++pass) {
            QVERIFY(db->syncFolder(QDir(folder)));
            QCOMPARE(rowsOf(folder), indexed);
        }
        QFile::remove(folder + u"/notes.txt"_s);
        QVERIFY(db->syncFolder(QDir(folder)));
        QCOMPARE(vanished.size(), 1);
        QCOMPARE(vanished.first().first().toString(), folder + u"/notes.txt"_s);
        // A search drops a vanished file silently.
        QFile::remove(folder + u"/README"_s);
        QCOMPARE(search(u"readme"_s), QStringList());
        QCOMPARE(rowsOf(folder), indexed.mid(1, 1));
        QCOMPARE(vanished.size(), 1);
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        const QStringList all{u"50% off.png"_s, u"5000.png"_s, u"Red Car.jpg"_s, u"a_b.txt"_s,
                              u"axb.txt"_s};
        QTest::newRow("repeated keyword") << u"Red, red ,red"_s << QStringList{all[2]};
        QTest::newRow("literal percent") << u"50%"_s << QStringList{all[0]};
        QTest::newRow("literal underscore") << u"a_b"_s << QStringList{all[3]};
        QTest::newRow("blank matches all") << u" , "_s << all;
        QTest::newRow("user keyword, any case") << u"BLUE"_s << QStringList{all[2]};
        QTest::newRow("one row holds both") << u"car, jpg"_s << QStringList{all[2]};
        QTest::newRow("two rows never combine") << u"red, blue"_s << QStringList();
    }
    // In the default media folder itself: its capitals must survive the search's clean-up, and
    // the index's own file must not be among the media.
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        for (const QString &name :
             {u"50% off.png"_s, u"5000.png"_s, u"Red Car.jpg"_s, u"a_b.txt"_s, u"axb.txt"_s})
            QFile(mediaFolder() + u'/' + name).open(QIODevice::WriteOnly);
        QVERIFY(db->syncFolder(QDir(mediaFolder())));
        QVERIFY(db->setFileKeywords(QFileInfo(mediaFolder() + u"/Red Car.jpg"_s),
                                    {u"Red"_s, u"Blue"_s}));
        for (QString &name : found)
            name.prepend(mediaFolder() + u'/');
        for (int pass = 0; pass < 2; ++pass)
            QCOMPARE(sorted(search(text)), found);
        QCOMPARE(rowsOf(mediaFolder()).size(), 7);
    }

    void renameToAnotherCaseKeepsKeywords()
    {
        const QString folder = folderWith(u"Rename"_s, {u"A.JPG"_s});
        QVERIFY(db->setFileKeywords(QFileInfo(folder + u"/A.JPG"_s), {u"Holiday"_s}));
        QVERIFY(QFile::rename(folder + u"/A.JPG"_s, folder + u"/a.jpg"_s));
        QVERIFY(db->renameFile(QFileInfo(folder + u"/a.jpg"_s), QFileInfo(folder + u"/A.JPG"_s)));
        QCOMPARE(rowsOf(folder), (QStringList{u"a|jpg|a.jpg|0"_s, u"a|jpg|holiday|1"_s}));
        QCOMPARE(search(u"holiday"_s), QStringList{folder + u"/a.jpg"_s});
    }
    void everyOperationTakesAnyName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keyword");
        QTest::newRow("quotes") << u"l'été \"1\""_s << u"O'Brien \"x\".jpg"_s << u"it's"_s;
        QTest::newRow("unicode") << u"Größe 😀"_s << u"Ünïcødé 😀.png"_s << u"Ключ ÉTÉ"_s;
        QTest::newRow("wildcards") << u"50%_x"_s << u"a%b_c[1].jpg"_s << u"100%_[a]"_s;
    }
    void everyOperationTakesAnyName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, keyword);
        QString dir = folderWith(folder, {name});
        QVERIFY(db->syncFolder(QDir(dir)));
        QCOMPARE(search(name), QStringList{dir + u'/' + name});
        QVERIFY(db->setFileKeywords(QFileInfo(dir + u'/' + name), {keyword}));
        QVERIFY(QFile::rename(dir + u'/' + name, dir + u"/N"_s + name));
        QVERIFY(db->renameFile(QFileInfo(dir + u"/N"_s + name), QFileInfo(dir + u'/' + name)));
        QVERIFY(QDir().rename(dir, dir + u"'2"_s));
        QVERIFY(db->moveFolder(dir + u"'2"_s, dir));
        dir += u"'2"_s;
        const QStringList found{dir + u"/N"_s + name};
        QCOMPARE(search(keyword.toLower()), found);
        QCOMPARE(search(u'n' + name), found);
        QVERIFY(db->removeFile(QFileInfo(found.first())));
        QCOMPARE(search(keyword), QStringList());
        QVERIFY(db->setFileKeywords(QFileInfo(found.first()), {keyword}));
        QVERIFY(db->removeFolder(QDir(dir)));
        QCOMPARE(search(keyword), QStringList());
    }

    void folderOperationsKeepSiblingsWithTheSamePrefix_data()
    {
        QTest::addColumn<bool>("move");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("remove") << false << QStringList{u"Trip"_s, u"trip2"_s};
        QTest::newRow("move") << true
                              << QStringList{u"Trip"_s, u"journey"_s, u"journey/sub"_s,
                                             u"trip2"_s};
    }
    void folderOperationsKeepSiblingsWithTheSamePrefix()
    {
        QFETCH(bool, move);
        QFETCH(QStringList, left);
        const QString base = folderWith(u"trips"_s, {});
        for (const QString &folder : {u"trip"_s, u"trip/sub"_s, u"trip2"_s, u"Trip"_s})
            QVERIFY(db->syncFolder(QDir(folderWith(u"trips/"_s + folder, {u"f.jpg"_s}))));
        if (move) {
            QVERIFY(QDir().rename(base + u"/trip"_s, base + u"/journey"_s));
            QVERIFY(db->moveFolder(base + u"/journey"_s, base + u"/trip/"_s));
        } else {
            QVERIFY(db->removeFolder(QDir(base + u"/trip"_s)));
        }
        QStringList folders = sql(u"select substr(dirPath, ?) from files"_s, {base.size() + 2});
        QCOMPARE(sorted(folders), left);
    }

    // Random names and keywords full of wildcards, quotes and characters beyond one UTF-16 unit:
    // whatever the trigram pre-filter does, the result is the plain scan's.
    void trigramSearchFindsWhatThePlainScanFinds()
    {
        QVERIFY(!sql(u"select count(*) from files_fts"_s).isEmpty());
        const QStringList alphabet{u"a"_s, u"B"_s, u"c"_s, u"_"_s, u"%"_s, u"\\"_s, u"'"_s,
                                   u"\""_s, u"É"_s, u"😀"_s, u" "_s, u"["_s};
        QRandomGenerator random(20121);
        const auto text = [&](int length) {
            QString result;
            for (int i = 0; i < length; ++i)
                result += alphabet[random.bounded(alphabet.size())];
            return result;
        };
        const QString folder = folderWith(u"corpus"_s, {});
        QStringList stored;
        for (int i = 0; i < 150; ++i) {
            const QString name = text(random.bounded(1, 8)) + u'.' + text(1);
            QFile(folder + u'/' + name).open(QIODevice::WriteOnly);
            const QStringList keywords{text(random.bounded(0, 9)), text(random.bounded(0, 9))};
            QVERIFY(db->setFileKeywords(QFileInfo(folder + u'/' + name), keywords));
            stored << name << keywords;
        }
        for (int i = 0; i < 300; ++i) {
            QStringList keywords;
            for (int k = random.bounded(1, 3); k > 0; --k) {
                const QString from = stored[random.bounded(stored.size())].toLower();
                const int start = random.bounded(from.size() + 1);
                keywords << from.mid(start, random.bounded(7)).remove(u',');
            }
            keywords = ::parseKeywords(keywords.join(u','));
            if (keywords.isEmpty())
                continue;
            QString statement = u"select distinct dirPath || '/' || fileName || '.' || suffix "
                                "from files where 1"_s;
            QVariantList patterns;
            for (const QString &keyword : keywords) {
                statement += u" and keyword like ? escape '\\'"_s;
                patterns << QString(u'%' + keyword.toLower() + u'%');
            }
            QCOMPARE(db->search(keywords), sql(statement, patterns));
        }
    }

    void damagedIndexIsSetAsideAndRebuilt_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::newRow("not a database") << qint64(0);
        QTest::newRow("damaged page") << qint64(4096);
    }
    void damagedIndexIsSetAsideAndRebuilt()
    {
        QFETCH(qint64, offset);
        const QString file = folderWith(u"kept"_s, {u"photo.jpg"_s}) + u"/photo.jpg"_s;
        QVERIFY(db->setFileKeywords(QFileInfo(file), {u"kept"_s}));
        db->release();
        QFile index(indexPath());
        QVERIFY(index.open(QIODevice::ReadWrite));
        index.seek(offset);
        index.write(QByteArray(512, '\x5a'));
        index.close();
        const QByteArray damaged = [&] { index.open(QIODevice::ReadOnly); return index.readAll(); }();
        index.close();
        db = MediaLibraryDatabase::instance();
        QVERIFY(!db->setFileKeywords(QFileInfo(file), {u"kept"_s}));
        QCOMPARE(search(u"kept"_s), QStringList());
        const QStringList aside = QDir(mediaFolder()).entryList({u"MediaSearch_v1.db3.corrupt-*"_s});
        QCOMPARE(aside.size(), 1);
        QFile kept(mediaFolder() + u'/' + aside.first());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), damaged);
        QVERIFY(kept.remove());
        restart();
        QVERIFY(db->setFileKeywords(QFileInfo(file), {u"kept"_s}));
        QCOMPARE(search(u"kept"_s), QStringList{file});
    }

    // An index written before the trigram index existed gets it, filled, at the next start.
    void olderIndexGetsTheTrigramIndex()
    {
        const QString file = folderWith(u"old"_s, {u"Holiday Photo.jpg"_s}) + u"/Holiday Photo.jpg"_s;
        db->release();
        QFile::remove(indexPath());
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"old"_s);
            old.setDatabaseName(indexPath());
            QVERIFY(old.open());
            QSqlQuery query(old);
            for (const QString &statement :
                 {u"create table 'files'(dirPath varchar, fileName varchar, suffix varchar, "
                   "keyword varchar, role integer)"_s,
                  u"create index 'files_keyword_index' on 'files'(keyword)"_s,
                  u"create index 'files_dir_index' on 'files'(dirPath)"_s,
                  u"insert into 'files' values('%1', 'Holiday Photo', 'jpg', 'holiday "
                  "photo.jpg', 0)"_s.arg(QFileInfo(file).absolutePath())})
                QVERIFY(query.exec(statement));
        }
        QSqlDatabase::removeDatabase(u"old"_s);
        db = MediaLibraryDatabase::instance();
        QCOMPARE(sql(u"pragma user_version"_s), QStringList{u"2"_s});
        QCOMPARE(sql(u"select rowid from files_fts where files_fts match '\"liday\"'"_s).size(), 1);
        QCOMPARE(search(u"liday"_s), QStringList{file});
    }
};

VELORA_TEST_MAIN(TestMediaLibraryDatabase)
#include "tst_medialibrarydatabase.moc"
