#pragma once

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace VeloraTest {

/// Points HOME and the XDG folders at a fresh temporary folder for the life of the test
/// program, so that settings, documents, logs and the single-instance socket never touch the
/// developer's own and parallel tests never meet.
class IsolatedHome
{
public:
    IsolatedHome();
    ~IsolatedHome();

    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

/// The folder IsolatedHome made, for tests that build paths below it.
QString homePath();

/// Starts a command as the ordinary user "nobody". The suite runs as root, which may write
/// anywhere, so a permission case only means something in such a process.
QStringList asNobody();
/// True in a copy of the test program started by rerunCurrentTest().
bool inRerun();
/// Runs the current test function and data row again in a copy of this program started through
/// `wrapper` (asNobody(), unshare, ..., or none), with the `environment` entries ("NAME=value")
/// added. True when the copy passed; otherwise its output is printed and the result is false.
bool rerunCurrentTest(const QStringList &wrapper, const QStringList &environment = {});

/// Writes `size` bytes of 'p' into `path`, making its folders; the test program stops when it
/// cannot. Returns `path`.
QString touch(const QString &path, qint64 size = 7);

/// Writes a silent MPEG-4 AVI of `seconds` length at 25 frames a second, 160 × 120, with FFmpeg's
/// command-line tool. True when it was written.
bool makeVideo(const QString &path, int seconds);

} // namespace VeloraTest

/// Like QTEST_MAIN, inside an IsolatedHome and with the application named as Velora names it.
#define VELORA_TEST_MAIN(TestObject) \
    int main(int argc, char **argv) \
    { \
        VeloraTest::IsolatedHome home; \
        QApplication app(argc, argv); \
        QCoreApplication::setApplicationName(QStringLiteral("Velora")); \
        TestObject test; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&test, argc, argv); \
    }
