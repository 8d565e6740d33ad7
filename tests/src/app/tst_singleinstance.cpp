// One Velora per user: a second start hands over to the first and ends. Runs on a real X server
// (a private Xvfb without a window manager), where the first window coming forward shows in the
// stacking order.

#include <SingleInstanceGuard.h>
#include <VeloraTest.h>

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QWidget>

#include <xcb/xcb.h>

#include <csignal>
#include <memory>

namespace {

/// An xcb reply, freed with its owner.
template<typename Reply> std::unique_ptr<Reply, decltype(&std::free)> owned(Reply *reply)
{
    return {reply, &std::free};
}

/// The process whose window is on top of all shown windows (the window's _NET_WM_PID).
qint64 topmostProcess()
{
    auto *x = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const auto tree = owned(xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr));
    const xcb_window_t *stack = xcb_query_tree_children(tree.get()); // bottom to top
    int top = xcb_query_tree_children_length(tree.get()) - 1;
    for (; top >= 0; --top) {
        const auto attributes = owned(xcb_get_window_attributes_reply(
                x, xcb_get_window_attributes(x, stack[top]), nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            break;
    }
    const auto atom
            = owned(xcb_intern_atom_reply(x, xcb_intern_atom(x, 1, 11, "_NET_WM_PID"), nullptr));
    if (top < 0 || !atom)
        return 0;
    const auto pid = owned(xcb_get_property_reply(
            x, xcb_get_property(x, 0, stack[top], atom->atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!pid || xcb_get_property_value_length(pid.get()) != 4)
        return 0;
    return *static_cast<const quint32 *>(xcb_get_property_value(pid.get()));
}

/// Starts Velora as a user would.
std::unique_ptr<QProcess> startVelora()
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral(VELORA_EXECUTABLE));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELORA_TEST_ANSWER_DIALOGS"), QStringLiteral("1"));
    process->setProcessEnvironment(environment);
    process->start();
    process->waitForStarted();
    return process;
}

/// Waits until `process` answers on the instance socket.
bool listening(QProcess &process)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QLocalSocket probe;
        probe.connectToServer(SingleInstanceGuard::defaultKey() + QStringLiteral(".socket"));
        if (probe.waitForConnected(100))
            return true;
        QTest::qWait(50);
    }
    return false;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondStartBringsTheFirstForwardAndEnds()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (the test runs under xvfb-run)");
        // A crashed instance leaves its socket; the next start takes over all the same.
        auto crashed = startVelora();
        QVERIFY(listening(*crashed));
        ::kill(pid_t(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(10000));
        QVERIFY(QFile::exists(SingleInstanceGuard::defaultKey() + QStringLiteral(".socket")));

        auto first = startVelora();
        QVERIFY2(listening(*first), first->readAllStandardError().constData());
        // Its window is the last thing it shows.
        QTRY_VERIFY_WITH_TIMEOUT(topmostProcess() == first->processId(), 20000);
        const QSettings settings(VeloraTest::homePath() + "/.local/share/Velora/Settings.ini",
                                 QSettings::IniFormat);
        QCOMPARE(settings.value("language").toString(), QStringLiteral("eng"));
        QCOMPARE(settings.value("logs/logLevel").toInt(), 5);

        // The presenter has gone to another window since.
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QCOMPARE(topmostProcess(), QCoreApplication::applicationPid());

        auto second = startVelora();
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        const QString said = QString::fromUtf8(second->readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("Velora is already running!")), qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("did not answer")), qPrintable(said));
        // Without a window manager the keyboard focus follows the X server's clock rules, not
        // the request; the stacking order shows the raise.
        QTRY_COMPARE(topmostProcess(), first->processId());

        // Asked to stop (SIGTERM, as a logout sends), it closes cleanly and frees the instance.
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
        QVERIFY(!QFile::exists(SingleInstanceGuard::defaultKey() + QStringLiteral(".lock")));
    }
};

VELORA_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
