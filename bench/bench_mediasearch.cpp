// The media search index at the size of a large school library: 1,000,000 rows (333,334 files,
// each with its name row and two keyword rows), every file present on disk so that the search's
// clean-up deletes nothing. Searches for a keyword in about 4 % of the rows, one in about 0.3 %
// and one in none, against the plain LIKE scan and the same trigram query through the sqlite3
// command-line tool; syncing a folder of 10,000 new files and the same folder unchanged, against
// listing it with QDir.

#include "BenchReport.h"

#include <MediaLibraryDatabase.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int Files = 333334;
constexpr int FilesPerFolder = 1000;
constexpr int SyncFiles = 10000;

// Random text is made of consonants only, so that the planted keywords, which hold vowels, occur
// exactly where they were planted.
const QString Consonants = QStringLiteral("bcdfghjklmnpqrstvwxz");
const QString Common = QStringLiteral("kiwa"); // in about 4 % of the rows
const QString Rare = QStringLiteral("mozu"); // in about 0.3 %
const QString Absent = QStringLiteral("yexo"); // in none

QString randomText(QRandomGenerator &random, int length)
{
    QString text(length, Qt::Uninitialized);
    for (QChar &c : text)
        c = Consonants.at(random.bounded(Consonants.size()));
    return text;
}

// A row's text with the planted keywords at their share of the rows.
QString plant(QRandomGenerator &random, const QString &text)
{
    const double draw = random.generateDouble();
    const QString planted = draw < 0.04 ? Common : draw < 0.043 ? Rare : QString();
    return planted.isEmpty() ? text : text.left(3) + planted + text.mid(3);
}

void touch(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
    if (fd >= 0)
        ::close(fd);
}

// Fills the index through its own connection, the way years of use would have: the rows go in
// through the triggers that keep the trigram index.
bool fillIndex(const QString &indexPath, const QString &root)
{
    QRandomGenerator random(330000);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(indexPath);
    if (!db.open())
        return false;
    QSqlQuery query(db);
    query.exec(QStringLiteral("pragma synchronous = off"));
    db.transaction();
    query.prepare(QStringLiteral("insert into files(dirPath, fileName, suffix, keyword, role) "
                                 "values(?, ?, ?, ?, ?)"));
    QString folder;
    for (int i = 0; i < Files; ++i) {
        if (i % FilesPerFolder == 0) {
            folder = root + QStringLiteral("/class-%1").arg(i / FilesPerFolder, 3, 10, QChar(u'0'));
            QDir().mkpath(folder);
        }
        const QString base = plant(random, randomText(random, 8) + u'_' + QString::number(i));
        touch(folder + u'/' + base + QStringLiteral(".jpg"));
        const QStringList keywords{base + QStringLiteral(".jpg"),
                                   plant(random, randomText(random, 10)),
                                   plant(random, randomText(random, 10))};
        for (int role = 0; role < keywords.size(); ++role) {
            query.addBindValue(folder);
            query.addBindValue(base);
            query.addBindValue(QStringLiteral("jpg"));
            query.addBindValue(keywords[role]);
            query.addBindValue(role == 0 ? 0 : 1);
            if (!query.exec()) {
                std::fprintf(stderr, "fill: %s\n", qPrintable(query.lastError().text()));
                return false;
            }
        }
    }
    return db.commit();
}

struct CliRun
{
    double milliseconds = 0;
    QSet<QString> paths;
};

// The median wall time of `statement` through the sqlite3 tool, its start-up taken off, and the
// paths it printed.
CliRun sqliteCli(const QString &indexPath, const QString &statement)
{
    const auto run = [&](int repeats, QByteArray *output) {
        QByteArray script = ".output /dev/null\n";
        for (int i = 0; i < repeats; ++i)
            script += statement.toUtf8() + ";\n";
        if (output)
            script = ".separator /\n" + statement.toUtf8() + ";\n";
        QProcess cli;
        QElapsedTimer timer;
        timer.start();
        cli.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), indexPath});
        cli.write(script);
        cli.closeWriteChannel();
        cli.waitForFinished(-1);
        if (output)
            *output = cli.readAllStandardOutput();
        return timer.nsecsElapsed() / 1e6;
    };
    constexpr int Repeats = 5;
    std::vector<double> startUp, total;
    for (int round = 0; round < 5; ++round) {
        startUp.push_back(run(0, nullptr));
        total.push_back(run(Repeats, nullptr));
    }
    CliRun result;
    result.milliseconds = (Bench::median(total) - Bench::median(startUp)) / Repeats;
    QByteArray output;
    run(1, &output);
    for (const QByteArray &line : output.split('\n')) {
        if (!line.isEmpty())
            result.paths.insert(QString::fromUtf8(line.chopped(4)) + QStringLiteral(".jpg"));
    }
    return result;
}

template<typename Body> double medianMilliseconds(int runs, Body body)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return Bench::median(times);
}

} // namespace

int main(int argc, char **argv)
{
    // VELORA_MEDIASEARCH_HOME keeps the generated library between runs while tuning.
    QTemporaryDir temporary;
    const QString keptHome = qEnvironmentVariable("VELORA_MEDIASEARCH_HOME");
    const QDir home(keptHome.isEmpty() ? temporary.path() : keptHome);
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    qunsetenv("XDG_DOCUMENTS_DIR");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));

    // The first start lays out the index; then it is filled and opened again, as at a start.
    MediaLibraryDatabase::instance()->release();
    const QString indexPath = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            + QStringLiteral("/Velora/Media Library/MediaSearch_v1.db3");
    const QString root = home.path() + QStringLiteral("/library");
    if (!QFileInfo::exists(root)) {
        QElapsedTimer fillTimer;
        fillTimer.start();
        if (!fillIndex(indexPath, root))
            return 1;
        QSqlDatabase::removeDatabase(QStringLiteral("fill"));
        std::printf("filled 1,000,000 rows and %d files in %.1f s\n", Files,
                    fillTimer.nsecsElapsed() / 1e9);
    }

    QElapsedTimer openTimer;
    openTimer.start();
    MediaLibraryDatabase *db = MediaLibraryDatabase::instance();
    const double openMs = openTimer.nsecsElapsed() / 1e6;
    const CliRun check = sqliteCli(indexPath, QStringLiteral("pragma quick_check"));
    Bench::report("mediasearch open a 1,000,000-row index (quick_check)", openMs,
                  check.milliseconds, "ms", Bench::Better::Lower, "sqlite3 pragma quick_check");

    int failures = 0;
    for (const QString &keyword : {Common, Rare, Absent}) {
        const QStringList keywords = parseKeywords(keyword);
        QStringList found;
        const double searchMs = medianMilliseconds(7, [&] { found = db->search(keywords); });
        const QString like = QStringLiteral("keyword like '%%1%' escape '\\'").arg(keyword);
        const CliRun plain = sqliteCli(
                indexPath,
                QStringLiteral("select dirPath, fileName, suffix from 'files' where %1").arg(like));
        const CliRun trigram
                = sqliteCli(indexPath,
                            QStringLiteral("select dirPath, fileName, suffix from 'files' where id "
                                           "in (select rowid from files_fts where files_fts match "
                                           "'\"%1\"') and %2")
                                    .arg(keyword, like));
        const QSet<QString> searched(found.cbegin(), found.cend());
        const bool same = searched == plain.paths && found.size() == searched.size();
        failures += same ? 0 : 1;
        std::printf("\"%s\": %lld files found, plain scan %lld, %s\n", qPrintable(keyword),
                    qlonglong(found.size()), qlonglong(plain.paths.size()),
                    same ? "identical" : "DIFFERENT");
        const QByteArray name = QStringLiteral("mediasearch search \"%1\" (%2 files)")
                                        .arg(keyword)
                                        .arg(found.size())
                                        .toUtf8();
        Bench::report(name.constData(), searchMs, plain.milliseconds, "ms", Bench::Better::Lower,
                      "sqlite3, the plain LIKE scan");
        Bench::report(QByteArray(name + " vs trigram").constData(), searchMs, trigram.milliseconds,
                      "ms", Bench::Better::Lower, "sqlite3, the same trigram query");
    }

    const QString newFolder = home.path() + QStringLiteral("/new");
    QDir().mkpath(newFolder);
    for (int i = 0; i < SyncFiles; ++i)
        touch(newFolder + QStringLiteral("/Velora-2026-12-06_10-00-%1.jpg").arg(i));
    const QDir folder(newFolder);
    const double listMs = medianMilliseconds(9, [&] {
        QDir(newFolder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    });
    std::vector<double> firstSyncs;
    for (int round = 0; round < 5; ++round) {
        db->removeFolder(folder);
        firstSyncs.push_back(medianMilliseconds(1, [&] { db->syncFolder(folder); }));
    }
    const double unchangedMs = medianMilliseconds(9, [&] { db->syncFolder(folder); });
    Bench::report("mediasearch sync 10,000 new files", Bench::median(firstSyncs), listMs, "ms",
                  Bench::Better::Lower, "QDir::entryList of the folder");
    Bench::report("mediasearch sync 10,000 unchanged files", unchangedMs, listMs, "ms",
                  Bench::Better::Lower, "QDir::entryList of the folder");
    db->release();
    return failures;
}
