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
};

VELORA_TEST_MAIN(TestMediaLibraryDatabase)
#include "tst_medialibrarydatabase.moc"
