#include "VeloraTest.h"

#include <QDir>
#include <QFile>

namespace {
QString currentHome;
}

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

} // namespace VeloraTest
