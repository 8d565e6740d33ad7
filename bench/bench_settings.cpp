// Settings reads and writes per second through the settings store, which keeps the parsed file
// while the file on disk stays the same and writes changes once per event-loop turn, against one
// long-lived QSettings on the same file; and the first read of a 99 MB settings file.

#include "BenchReport.h"

#include <SettingImpl.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toLocal8Bit());
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velora"));

    SettingIntf *store = SettingIntf::getInstance();
    // A realistic file: the keys a configured installation holds.
    store->getSavePath();
    store->setValue(QStringLiteral("language"), QStringLiteral("eng"));
    store->setValue(QStringLiteral("logs/logLevel"), 5);
    store->setValue(QStringLiteral("logs/logFilesExpiryDate"), 30);
    store->setValue(QStringLiteral("medialibrary/mode"), 1);
    store->setVideoQuality(2);

    const QString key = QStringLiteral("recording/videoQuality");
    volatile int sink = 0;

    const double storeReads
            = Bench::callsPerSecond([&](qint64) { sink = store->getVideoQuality(); });
    const double storeWrites = Bench::callsPerSecond([&](qint64 i) {
        store->setVideoQuality(int(i % 3));
        // The store writes when control returns to the event loop: as often as the reference syncs.
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    });

    double plainReads = 0;
    double plainWrites = 0;
    {
        QSettings plain(SettingImpl::settingsFilePath(), QSettings::IniFormat);
        plainReads = Bench::callsPerSecond([&](qint64) { sink = plain.value(key).toInt(); });
        plainWrites = Bench::callsPerSecond([&](qint64 i) {
            plain.setValue(key, int(i % 3));
            // One sync per 1000 writes: what a long-lived QSettings amortises.
            if (i % 1000 == 999)
                plain.sync();
        });
    }
    store->release();

    // A settings file grown to 99 MB: the time to the first value, which start-up waits for.
    {
        QFile file(SettingImpl::settingsFilePath());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write("[General]\nlanguage=eng\n[medialibrary]\nmode=1\n");
        const QByteArray line = "item%1=" + QByteArray(88, 'x') + '\n';
        for (int i = 0; file.size() < 99 * 1000 * 1000; ++i)
            file.write(QByteArray(line).replace("%1", QByteArray::number(i)));
    }
    QElapsedTimer timer;
    timer.start();
    store = SettingIntf::getInstance();
    sink = store->value(QStringLiteral("medialibrary/mode")).toInt();
    const double storeHuge = timer.nsecsElapsed() / 1e9;
    store->release();
    timer.restart();
    sink = QSettings(SettingImpl::settingsFilePath(), QSettings::IniFormat)
                   .value(QStringLiteral("medialibrary/mode"))
                   .toInt();
    const double plainHuge = timer.nsecsElapsed() / 1e9;
    (void)sink;

    Bench::report("settings reads", storeReads, plainReads, "reads/s", Bench::Better::Higher,
                  "QSettings kept open");
    Bench::report("settings writes", storeWrites, plainWrites, "writes/s", Bench::Better::Higher,
                  "QSettings kept open");
    Bench::report("settings 99 MB file, first read", storeHuge, plainHuge, "s",
                  Bench::Better::Lower, "QSettings opened on it");
    return 0;
}
