// Settings reads and writes per second through the settings store, which opens the file for
// every call so that no component ever sees a stale value, against one long-lived QSettings on
// the same file.

#include "BenchReport.h"

#include <SettingImpl.h>

#include <QCoreApplication>
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
    const double storeWrites
            = Bench::callsPerSecond([&](qint64 i) { store->setVideoQuality(int(i % 3)); });

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
    (void)sink;

    Bench::report("settings reads", storeReads, plainReads, "reads/s", Bench::Better::Higher,
                  "QSettings kept open");
    Bench::report("settings writes", storeWrites, plainWrites, "writes/s", Bench::Better::Higher,
                  "QSettings kept open");
    return 0;
}
