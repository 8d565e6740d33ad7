#include "MyApp.h"
#include "StartUp.h"
#include "TerminationWatcher.h"
#include "Velora.h"

#include <AutoSerialFileLogger.h>
#include <LogSystem.h>
#include <MessageBox.h>

#include <QFont>
#include <QTranslator>

#include <memory>

int main(int argc, char **argv)
{
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

    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Calibri"));
    QApplication::setFont(font);

    auto translator = std::make_unique<QTranslator>();
    StartUp::loadLanguage(translator.get());

    StartUp::removeExpiredLogFiles();

    LogSystem *logSystem = LogSystem::getSysLogSystem();
    logSystem->setLogger(new AutoSerialFileLogger(StartUp::logFileTemplate()));
    logSystem->setLogLevel(static_cast<LogSystem::LogLevel>(StartUp::configuredLogLevel()));
    logSystem->enableAllLog();
    logSystem->startLog();

    auto window = std::make_unique<Velora>();
    app.setActivationWindow(window.get(), true);

    // Asked to stop by the system: leave the way the presenter would, by closing the window.
    // (The request is read in the event loop, so one that came during start-up waits for it.)
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, window.get(),
                     &QWidget::close);

    const int exitCode = app.exec();

    logSystem->stopLog();
    window.reset();
    translator.reset();
    return exitCode;
}
