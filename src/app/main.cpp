#include "MyApp.h"
#include "StartUp.h"
#include "TerminationWatcher.h"
#include "Velora.h"

#include <AVIRecovery.h>
#include <LogModule.h>
#include <LogSystem.h>
#include <MessageBox.h>
#include <SettingIntf.h>
#include <SharedComponent.h>

#include <QFont>
#include <QTranslator>

#include <memory>
#include <thread>

int main(int argc, char **argv)
{
    const bool onXWayland = StartUp::runOnXWayland(argc, argv);
    if (onXWayland)
        qputenv("QT_QPA_PLATFORM", "xcb");
    MyApp app(argc, argv);

    if (app.isRunning()) {
        // The running instance comes forward only once this box has been closed.
        MessageBox::information(nullptr, QStringLiteral("Velora"),
                                QStringLiteral("Velora is already running!"));
        if (!app.sendMessage(QStringLiteral("Is app exist?"), 5000))
            qWarning("Velora: the running instance did not answer; it may be busy or hung.");
        return 0;
    }

    // Installed before anything is written, so a stop request never kills a half-done start.
    TerminationWatcher termination;

    QCoreApplication::setApplicationName(QStringLiteral("Velora"));
    // Held for the whole run, so that the settings file is read once however often the start-up
    // steps take and give back the store.
    ComponentRef<SettingIntf> settings;

    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Calibri"));
    QApplication::setFont(font);

    auto translator = std::make_unique<QTranslator>();
    StartUp::loadLanguage(translator.get());

    StartUp::removeExpiredLogFiles();

    StartUp::startLogging();
    if (onXWayland)
        LogModule("velora/app")
                .log(LogSystem::LogNotice, "main - a Wayland session: the windows run on XWayland");

    // Recordings that a killed or crashed Velora left half written are made playable again;
    // copying a long one takes a while, so it happens beside the window.
    std::thread recovery(
            [folder = settings->getSavePath()] { AVIRecovery::recoverFolder(folder); });

    auto window = std::make_unique<Velora>();
    app.setActivationWindow(window.get(), true);

    // Asked to stop by the system. (The request is read in the event loop, so one that came
    // during start-up waits for it.)
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, window.get(),
                     &Velora::endSession);

    const int exitCode = app.exec();

    recovery.join();
    LogSystem::getSysLogSystem()->stopLog();
    window.reset();
    translator.reset();
    return exitCode;
}
