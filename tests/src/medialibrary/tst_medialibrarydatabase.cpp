#include <MediaLibraryDatabase.h>
#include <VeloraTest.h>

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

class TestMediaLibraryDatabase : public QObject
{
    Q_OBJECT

private:
    MediaLibraryDatabase *db = nullptr;
    const QStringList corpus{u"50% off.png"_s, u"5000.png"_s, u"README"_s,
                             u"Red Car.JPG"_s, u"a_b.txt"_s,  u"axb.txt"_s};

    static QString mediaFolder()
    {
        return VeloraTest::homePath() + u"/Documents/Velora/Media Library"_s;
    }
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
    /// The first column of what `statement` reads through SQL rather than the class, sorted.
    static QStringList sql(const QString &statement, const QVariantList &values = {})
    {
        QSqlQuery query(QSqlDatabase::database(u"connSQLite"_s));
        query.prepare(statement);
        for (const QVariant &value : values)
            query.addBindValue(value);
        QStringList found;
        for (query.exec(); query.next();)
            found << query.value(0).toString();
        return sorted(found);
    }
    static QStringList rowsOf(const QString &folder)
    {
        return sql(u"select fileName || '|' || suffix || '|' || keyword || '|' || role from files "
                   "where dirPath = ?"_s,
                   {folder});
    }
    static QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }
    QStringList search(const QString &text) { return sorted(db->search(::parseKeywords(text))); }

private Q_SLOTS:
    void init()
    {
        db = MediaLibraryDatabase::instance();
        db->removeFolder(QDir(VeloraTest::homePath()));
    }
    void cleanup() { db->release(); }

    void repeatedKeywordsDifferingInCaseAreKept()
    {
        QCOMPARE(::parseKeywords(u"Red, red ,red,,"_s), (QStringList{u"Red"_s, u"red"_s}));
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        const QStringList &all = corpus;
        QTest::newRow("repeated keyword") << u"Red, red ,red"_s << QStringList{all[3]};
        QTest::newRow("literal percent") << u"50%"_s << QStringList{all[0]};
        QTest::newRow("literal underscore") << u"a_b"_s << QStringList{all[4]};
        QTest::newRow("blank matches all") << u" , "_s << all;
        QTest::newRow("user keyword, any case") << u"BLUE"_s << QStringList{all[3]};
        QTest::newRow("one row holds both") << u"car, jpg"_s << QStringList{all[3]};
        QTest::newRow("two rows never combine") << u"red, blue"_s << QStringList();
    }
    // In the default media folder itself: its capitals must survive the search's clean-up, and
    // the index's own files must not be among the media.
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        for (const QString &name : corpus + QStringList{u".hidden"_s})
            QFile(mediaFolder() + u'/' + name).open(QIODevice::WriteOnly);
        for (int pass = 0; pass < 2; ++pass) {
            QVERIFY(db->syncFolder(QDir(mediaFolder())));
            QCOMPARE(rowsOf(mediaFolder()),
                     (QStringList{u"50% off|png|50% off.png|0"_s, u"5000|png|5000.png|0"_s,
                                  u"README||readme|0"_s, u"Red Car|JPG|red car.jpg|0"_s,
                                  u"a_b|txt|a_b.txt|0"_s, u"axb|txt|axb.txt|0"_s}));
        }
        QVERIFY(db->setFileKeywords(QFileInfo(mediaFolder() + u"/Red Car.JPG"_s),
                                    {u"Red"_s, u"Blue"_s}));
        for (QString &name : found)
            name.prepend(mediaFolder() + u'/');
        for (int pass = 0; pass < 2; ++pass)
            QCOMPARE(search(text), found);
        QCOMPARE(rowsOf(mediaFolder()).size(), 8);
    }

    // Enough files that their checks are shared between threads, every third one vanished.
    void vanishedFilesLeaveTheIndex()
    {
        QStringList names{u"a.txt"_s, u"b"_s};
        for (int i = 0; i < 1000; ++i)
            names << u"b%1.txt"_s.arg(i);
        const QString folder = folderWith(u"Gone"_s, names);
        QVERIFY(db->syncFolder(QDir(folder)));
        QSignalSpy vanished(db, &MediaLibraryDatabase::fileNotExists);
        QFile::remove(folder + u"/a.txt"_s);
        QSqlQuery query(QSqlDatabase::database(u"connSQLite"_s));
        query.exec(u"select fileName, suffix from files where keyword like '%b%' order by id"_s);
        QStringList kept{u"a|txt|a.txt|0"_s}, found;
        for (int row = 0; query.next(); ++row) {
            const QString fileName = query.value(0).toString(), suffix = query.value(1).toString();
            const QString name = suffix.isEmpty() ? fileName : fileName + u'.' + suffix;
            if (row % 3 == 0) {
                QVERIFY(QFile::remove(folder + u'/' + name));
                continue;
            }
            found << folder + u'/' + name;
            kept << u"%1|%2|%3|0"_s.arg(fileName, suffix, name);
        }
        QCOMPARE(db->search({u"b"_s}), found);
        QCOMPARE(rowsOf(folder), sorted(kept));
        QVERIFY(db->syncFolder(QDir(folder)));
        QCOMPARE(vanished.size(), 1);
        QCOMPARE(vanished.first().first().toString(), folder + u"/a.txt"_s);
        QCOMPARE(rowsOf(folder).size(), found.size());
    }

    // Files renamed, tagged, deleted and listed again while they wait for the indexing thread,
    // and the folder left for another: once it is idle, one name row per file, and searches
    // meanwhile find each existing file once.
    void folderIndexedInTheBackground()
    {
        QStringList names;
        for (int i = 0; i < 2000; ++i)
            names << u"shot%1.jpg"_s.arg(i);
        const QString folder = folderWith(u"Big"_s, names);
        const QString other = folderWith(u"Other"_s, {u"x.png"_s});
        // The thread takes the last names first: the first ones still wait below.
        QVERIFY(db->syncFolderInBackground(QDir(folder), names));
        QVERIFY(QFile::rename(folder + u"/shot1.jpg"_s, folder + u"/first.jpg"_s));
        QVERIFY(db->renameFile(QFileInfo(folder + u"/first.jpg"_s),
                               QFileInfo(folder + u"/shot1.jpg"_s)));
        QCOMPARE(search(u"first"_s), QStringList{folder + u"/first.jpg"_s});
        QVERIFY(QFile::remove(folder + u"/shot0.jpg"_s));
        QVERIFY(db->removeFile(QFileInfo(folder + u"/shot0.jpg"_s)));
        QStringList expected{u"first|jpg|first.jpg|0"_s, u"shot2|jpg|shot2.jpg|0"_s};
        QList<std::pair<QFileInfo, QStringList>> tagged;
        for (int i = 3; i < names.size(); ++i) {
            const QString name = u"shot%1"_s.arg(i);
            expected << name + u"|jpg|"_s + name + u".jpg|0"_s;
            if (i % 2) {
                tagged.append({QFileInfo(folder + u'/' + names[i]), {u"Tag"_s}});
                expected << name + u"|jpg|tag|1"_s;
            }
        }
        QVERIFY(db->setFileKeywords(tagged));
        const QStringList found = search(u"shot"_s);
        QCOMPARE(QSet<QString>(found.cbegin(), found.cend()).size(), found.size());
        for (const QString &path : found)
            QVERIFY(QFileInfo::exists(path) && path.startsWith(folder + u"/shot"_s));
        QVERIFY(db->syncFolderInBackground(QDir(folder), QDir(folder).entryList(QDir::Files)));
        QVERIFY(db->syncFolderInBackground(QDir(other), {u"x.png"_s}));
        QTRY_VERIFY_WITH_TIMEOUT(!db->isIndexing(), 20000);
        QCOMPARE(rowsOf(folder), sorted(expected));
        QCOMPARE(rowsOf(other), QStringList{u"x|png|x.png|0"_s});
    }

    void everyOperationTakesAnyName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("renamed");
        QTest::addColumn<QString>("keyword");
        QTest::newRow("other case") << u"Case"_s << u"A.JPG"_s << u"a.jpg"_s << u"Holiday"_s;
        QTest::newRow("quotes") << u"l'été \"1\""_s << u"O'Brien \"x\".jpg"_s << u"d'A.jpg"_s
                                << u"it's"_s;
        QTest::newRow("unicode") << u"Größe 😀"_s << u"Ünïcødé 😀.png"_s << u"Ωmega 😀.png"_s
                                 << u"Ключ ÉTÉ"_s;
        QTest::newRow("wildcards")
                << u"50%_x"_s << u"a%b_c[1].jpg"_s << u"a%b_d[1].jpg"_s << u"100%_[a]"_s;
    }
    // Folder operations take the folder and its sub-folders, never a sibling whose name begins
    // the same or differs only in case.
    void everyOperationTakesAnyName()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(QString, renamed);
        QFETCH(QString, keyword);
        const QString dir = folderWith(folder, {name});
        QStringList others;
        for (const QString &other :
             QStringList{folder + u"/sub"_s, folder + u'2', folder.toUpper() + u"/sub"_s}) {
            others << folderWith(other, {name}) + u'/' + name;
            QVERIFY(db->syncFolder(QDir(VeloraTest::homePath() + u'/' + other)));
        }
        QVERIFY(db->syncFolder(QDir(dir)));
        QCOMPARE(search(name).size(), 4);
        QVERIFY(db->setFileKeywords(QFileInfo(dir + u'/' + name), {keyword}));
        QVERIFY(QFile::rename(dir + u'/' + name, dir + u'/' + renamed));
        QVERIFY(db->renameFile(QFileInfo(dir + u'/' + renamed), QFileInfo(dir + u'/' + name)));
        QCOMPARE(sql(u"select keyword from files where dirPath = ? and role = 0"_s, {dir}),
                 QStringList{renamed.toLower()});
        QVERIFY(QDir().rename(dir, dir + u"'2"_s));
        QVERIFY(db->moveFolder(dir + u"'2"_s, dir));
        const QStringList found{dir + u"'2/"_s + renamed};
        QCOMPARE(search(keyword), found);
        QVERIFY(db->removeFile(QFileInfo(found.first())));
        QCOMPARE(search(keyword), QStringList());
        const QString paths = u"select dirPath || '/' || fileName || '.' || suffix from files"_s;
        others.first().insert(dir.size(), u"'2"_s);
        QCOMPARE(sql(paths), sorted(others));
        QVERIFY(db->removeFolder(QDir(dir + u"'2"_s)));
        QCOMPARE(sql(paths), sorted(others.mid(1)));
    }

    // Random names and keywords full of wildcards, quotes and characters beyond one UTF-16 unit:
    // whatever the trigram pre-filter does, the result is the plain scan's.
    void trigramSearchFindsWhatThePlainScanFinds()
    {
        QVERIFY(!sql(u"select count(*) from files_fts"_s).isEmpty());
        const QStringList alphabet{u"a"_s, u"B"_s,  u"c"_s, u"_"_s, u"%"_s, u"\\"_s,
                                   u"'"_s, u"\""_s, u"É"_s, u"😀"_s, u" "_s, u"["_s};
        QRandomGenerator random(20121);
        const auto text = [&](int length) {
            QString result;
            while (length-- > 0)
                result += alphabet[random.bounded(alphabet.size())];
            return result;
        };
        const QString folder = folderWith(u"corpus"_s, {});
        QStringList stored;
        for (int i = 0; i < 150; ++i) {
            const QString file = folder + u'/' + text(random.bounded(1, 8)) + u'.' + text(1);
            QFile(file).open(QIODevice::WriteOnly);
            const QStringList keywords{text(random.bounded(9)), text(random.bounded(9))};
            QVERIFY(db->setFileKeywords(QFileInfo(file), keywords));
            stored << QFileInfo(file).fileName() << keywords;
        }
        for (int i = 0; i < 300; ++i) {
            QString searched = stored[random.bounded(stored.size())].toLower();
            searched = searched.mid(random.bounded(searched.size() + 1), random.bounded(7));
            if (random.bounded(2))
                searched += u',' + stored[random.bounded(stored.size())].toLower().left(4);
            const QStringList keywords = ::parseKeywords(searched);
            QString statement = u"select distinct dirPath || '/' || fileName || '.' || suffix "
                                "from files where 1"_s;
            QVariantList patterns;
            for (const QString &keyword : keywords) {
                statement += u" and keyword like ? escape '\\'"_s;
                patterns << QString(u'%' + keyword.toLower() + u'%');
            }
            if (!keywords.isEmpty())
                QCOMPARE(search(searched), sql(statement, patterns));
        }
    }

    void indexFileFoundAtStart_data()
    {
        QTest::addColumn<qint64>("damagedAt");
        QTest::newRow("not a database") << qint64(0);
        QTest::newRow("damaged page") << qint64(4096);
        QTest::newRow("older, without trigrams") << qint64(-1);
    }
    // A damaged index is kept aside and the library goes without search until the next start;
    // an older one gets the trigram index, filled.
    void indexFileFoundAtStart()
    {
        QFETCH(qint64, damagedAt);
        const QString file = folderWith(u"kept"_s, {u"Photo.jpg"_s}) + u"/Photo.jpg"_s;
        QVERIFY(db->setFileKeywords(QFileInfo(file), {u"holiday"_s}));
        QSqlQuery query(QSqlDatabase::database(u"connSQLite"_s));
        for (const QString &statement :
             {u"create table old as select dirPath, fileName, suffix, keyword, role from files"_s,
              u"drop table files"_s, u"drop table files_fts"_s,
              u"alter table old rename to files"_s, u"pragma user_version = 0"_s}) {
            if (damagedAt < 0)
                QVERIFY(query.exec(statement));
        }
        query = QSqlQuery();
        db->release();
        QFile index(mediaFolder() + u"/MediaSearch_v1.db3"_s);
        QVERIFY(index.open(QIODevice::ReadWrite));
        if (damagedAt >= 0 && index.seek(damagedAt))
            index.write(QByteArray(512, 'Z'));
        index.seek(0);
        const QByteArray damaged = index.readAll();
        index.close();
        db = MediaLibraryDatabase::instance();
        if (damagedAt >= 0) {
            QVERIFY(!db->setFileKeywords(QFileInfo(file), {u"holiday"_s}));
            const QFileInfoList aside = QDir(mediaFolder()).entryInfoList({u"*.corrupt-*"_s});
            QCOMPARE(aside.size(), 1);
            QFile kept(aside.first().filePath());
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), damaged);
            QVERIFY(kept.remove());
            db->release();
            db = MediaLibraryDatabase::instance();
            QVERIFY(db->setFileKeywords(QFileInfo(file), {u"holiday"_s}));
        }
        QCOMPARE(sql(u"select rowid from files_fts where files_fts match 'holiday'"_s).size(), 1);
        QCOMPARE(search(u"liday"_s), QStringList{file});
    }
};

VELORA_TEST_MAIN(TestMediaLibraryDatabase)
#include "tst_medialibrarydatabase.moc"
