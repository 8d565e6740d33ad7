#include "VeloraTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace {
QString currentHome;
constexpr char RerunVariable[] = "VELORA_TEST_RERUN";
} // namespace

namespace VeloraTest {

IsolatedHome::IsolatedHome()
    : dir(QDir::tempPath() + QStringLiteral("/velora-test-XXXXXX"))
{
    const QString home = dir.path();
    currentHome = home;
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home + QStringLiteral("/.cache")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qunsetenv("XDG_DOCUMENTS_DIR");
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

IsolatedHome::~IsolatedHome()
{
    currentHome.clear();
}

QString homePath()
{
    return currentHome;
}

QStringList asNobody()
{
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
            QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")};
}

bool inRerun()
{
    return qEnvironmentVariableIsSet(RerunVariable);
}

bool rerunCurrentTest(const QStringList &wrapper, const QStringList &environment)
{
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (const char *tag = QTest::currentDataTag(); tag && *tag)
        function += QLatin1Char(':') + QString::fromUtf8(tag);
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QString::fromLatin1(RerunVariable), QStringLiteral("1"));
    for (const QString &entry : environment)
        variables.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    QProcess copy;
    copy.setProcessEnvironment(variables);
    copy.setProcessChannelMode(QProcess::MergedChannels);
    // Without a wrapper the copy runs directly, only with the environment changed.
    const QStringList command = QStringList(wrapper)
            << QCoreApplication::applicationFilePath() << function;
    copy.start(command.first(), command.mid(1));
    const bool finished = copy.waitForFinished(120000);
    if (finished && copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0)
        return true;
    qWarning("%s in %s: %s\n%s", qPrintable(function), qPrintable(wrapper.join(u' ')),
             qPrintable(finished ? QStringLiteral("failed") : copy.errorString()),
             copy.readAll().constData());
    return false;
}

QString touch(const QString &path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, 'p')) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

bool makeVideo(const QString &path, int seconds)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=size=160x120:rate=25:duration=%1").arg(seconds),
                  QStringLiteral("-c:v"), QStringLiteral("mpeg4"), path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit
            && ffmpeg.exitCode() == 0;
}

} // namespace VeloraTest
