#pragma once

#include <QProcess>
#include <QString>

#include <cstdio>

/// An Xvfb server of the benchmark's own, so that a benchmark needs no display: started by the
/// constructor, which points DISPLAY at it and has Qt draw through X, and stopped by the
/// destructor.
class PrivateDisplay
{
public:
    /// `screen` as Xvfb takes it, e.g. "1920x1080x24".
    explicit PrivateDisplay(const QString &screen)
    {
        xvfb.start(QStringLiteral("Xvfb"),
                   {"-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp"});
        if (!xvfb.waitForReadyRead(10000)) {
            std::fprintf(stderr, "Xvfb did not start\n");
            return;
        }
        qputenv("DISPLAY", ':' + xvfb.readLine().trimmed());
        qputenv("QT_QPA_PLATFORM", "xcb");
        started = true;
    }
    ~PrivateDisplay()
    {
        xvfb.terminate();
        xvfb.waitForFinished();
    }
    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

    bool isRunning() const { return started; }
    qint64 processId() const { return xvfb.processId(); }

private:
    QProcess xvfb;
    bool started = false;
};
