// One Velora per user: a second start hands over to the first and ends. Runs on a real X server
// (a private Xvfb without a window manager), where the first window coming forward shows in the
// stacking order.

#include <SingleInstanceGuard.h>
#include <VeloraTest.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QWidget>

#include <xcb/xcb.h>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>

namespace {

template<typename Reply> using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t *xConnection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

/// The process that made the top-level X window `window` (its _NET_WM_PID), 0 when unknown.
qint64 processOf(xcb_window_t window)
{
    xcb_connection_t *x = xConnection();
    static const xcb_atom_t pidAtom = [x] {
        XReply<xcb_intern_atom_reply_t> atom(
                xcb_intern_atom_reply(x, xcb_intern_atom(x, 1, 11, "_NET_WM_PID"), nullptr),
                &std::free);
        return atom ? atom->atom : xcb_atom_t(XCB_NONE);
    }();
    XReply<xcb_get_property_reply_t> pid(
            xcb_get_property_reply(
                    x, xcb_get_property(x, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
            &std::free);
    if (!pid || xcb_get_property_value_length(pid.get()) != 4)
        return 0;
    return *static_cast<const quint32 *>(xcb_get_property_value(pid.get()));
}

/// The process whose window is on top of all shown windows.
qint64 topmostProcess()
{
    xcb_connection_t *x = xConnection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    XReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(x, xcb_query_tree(x, root), nullptr),
                                        &std::free);
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    // From the top of the stack down.
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        XReply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(x, xcb_get_window_attributes(x, children[i]),
                                                nullptr),
                &std::free);
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
            return processOf(children[i]);
    }
    return 0;
}

QString socketPath()
{
    return SingleInstanceGuard::defaultKey() + QStringLiteral(".socket");
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
        probe.connectToServer(socketPath());
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
    void secondGuardReachesTheFirst()
    {
        const QString key = VeloraTest::homePath() + QStringLiteral("/guard");
        SingleInstanceGuard first(key);
        QVERIFY(!first.isRunning());
        QSignalSpy received(&first, &SingleInstanceGuard::messageReceived);

        SingleInstanceGuard second(key);
        QVERIFY(second.isRunning());
        // The sender blocks while the receiver needs the event loop, so send from a thread.
        std::atomic<bool> delivered = false;
        std::thread sender(
                [&] { delivered = second.sendMessage(QStringLiteral("Is app exist?"), 5000); });
        auto joinSender = qScopeGuard([&sender] { sender.join(); });
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
        joinSender.dismiss();
        sender.join();
        QVERIFY(delivered);
        QCOMPARE(received.at(0).at(0).toString(), QStringLiteral("Is app exist?"));
    }

    void secondStartBringsTheFirstForwardAndEnds()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (the test runs under xvfb-run)");
        // A crashed instance leaves its socket; the next start takes over all the same.
        auto crashed = startVelora();
        QVERIFY(listening(*crashed));
        ::kill(pid_t(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(10000));
        QVERIFY(QFile::exists(socketPath()));

        auto first = startVelora();
        QVERIFY2(listening(*first), first->readAllStandardError().constData());
        // Its window is the last thing it shows.
        QTRY_VERIFY_WITH_TIMEOUT(topmostProcess() == first->processId(), 20000);
        QSettings settings(VeloraTest::homePath()
                                   + QStringLiteral("/.local/share/Velora/Settings.ini"),
                           QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("language")).toString(), QStringLiteral("eng"));
        QCOMPARE(settings.value(QStringLiteral("logs/logLevel")).toInt(), 5);

        // The presenter has gone to another window since.
        QWidget other;
        other.setWindowTitle(QStringLiteral("another application"));
        other.resize(640, 480);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
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
