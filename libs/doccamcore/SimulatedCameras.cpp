#include "SimulatedCameras.h"

#include "CameraBackend.h"
#include "DocCamManager.h"
#include "SimulatedCamera.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

Q_LOGGING_CATEGORY(lcSimulated, "velora.doccam.simulated")

namespace {

class SimulatedBackend;

constexpr int SlowStartMs = 3000;

/// Every simulated camera attached in this process, and the backends that report them.
struct Registry
{
    std::mutex mutex;
    std::vector<std::pair<QString, SimulatedCameras::Setup>> attached;
    std::vector<SimulatedBackend *> backends;
    int nextNumber = 1;
    bool environmentLoaded = false;

    static Registry &instance()
    {
        static Registry registry;
        return registry;
    }

    QString attach(const SimulatedCameras::Setup &setup)
    {
        const QString key = QStringLiteral("sim:%1").arg(nextNumber++);
        attached.emplace_back(key, setup);
        return key;
    }

    void loadEnvironment()
    {
        if (environmentLoaded)
            return;
        environmentLoaded = true;
        const auto setups
                = SimulatedCameras::parse(qEnvironmentVariable("VELORA_SIMULATED_CAMERAS"));
        for (const auto &setup : setups)
            attach(setup);
    }
};

int numberOf(const QString &key)
{
    return key.mid(4).toInt();
}

class SimulatedBackend : public CameraBackend
{
public:
    explicit SimulatedBackend(bool documentCameras)
        : documentCameras(documentCameras)
    { }
    ~SimulatedBackend() override { stop(); }

    void start(DocCamManager *manager) override
    {
        Registry &registry = Registry::instance();
        std::lock_guard lock(registry.mutex);
        registry.loadEnvironment();
        this->manager = manager;
        registry.backends.push_back(this);
        for (const auto &[key, setup] : registry.attached)
            attach(key, setup);
    }

    void stop() override
    {
        Registry &registry = Registry::instance();
        std::lock_guard lock(registry.mutex);
        std::erase(registry.backends, this);
        devices.clear();
        manager = nullptr;
    }

    /// Called with the registry locked.
    void attach(const QString &key, const SimulatedCameras::Setup &setup)
    {
        if (!manager || setup.documentCamera != documentCameras)
            return;
        auto *camera = new SimulatedCamera(manager, key, setup, numberOf(key));
        devices[key] = camera;
        manager->cameraArrived(camera);
    }

    /// Called with the registry locked.
    void detach(const QString &key)
    {
        const auto found = devices.find(key);
        if (found == devices.end())
            return;
        manager->cameraLeft(found->second);
        devices.erase(found);
    }

    /// The attached camera with `key`, or none; called with the registry locked.
    SimulatedCamera *device(const QString &key) const
    {
        const auto found = devices.find(key);
        return found != devices.end() ? found->second : nullptr;
    }

private:
    const bool documentCameras;
    DocCamManager *manager = nullptr;
    // Not owned: the manager holds each camera's reference until it reports it removed.
    std::map<QString, SimulatedCamera *> devices;
};

} // namespace

bool SimulatedCameras::isActive()
{
    return qEnvironmentVariableIsSet("VELORA_SIMULATED_CAMERAS");
}

QList<SimulatedCameras::Setup> SimulatedCameras::parse(const QString &value)
{
    static const QRegularExpression entryPattern(
            QStringLiteral(R"(^(doccam|webcam):(\d+)x(\d+)((?:@[a-z]+(?:=[\w.-]+)?)*)$)"),
            QRegularExpression::CaseInsensitiveOption);
    QList<Setup> setups;
    const QStringList entries = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &rawEntry : entries) {
        const QString entry = rawEntry.trimmed();
        const auto match = entryPattern.match(entry);
        const QSize size(match.captured(2).toInt(), match.captured(3).toInt());
        if (!match.hasMatch() || size.width() < 16 || size.height() < 16 || size.width() > 8192
            || size.height() > 8192) {
            qCWarning(lcSimulated,
                      "Ignoring simulated camera '%s': expected doccam:WxH or "
                      "webcam:WxH, optionally with @busy, @tuning, @hqlost, @nohq, @slow, "
                      "@port=N, @serial=S",
                      qPrintable(rawEntry));
            continue;
        }
        Setup setup;
        setup.documentCamera = match.captured(1).toLower() == QLatin1String("doccam");
        setup.size = size;
        const QStringList options = match.captured(4).split(QLatin1Char('@'), Qt::SkipEmptyParts);
        for (const QString &written : options) {
            // Only a serial number keeps its case.
            const QString option = written.section(QLatin1Char('='), 0, 0).toLower();
            const QString argument = written.section(QLatin1Char('='), 1);
            const uint port = argument.toUInt();
            if (option == QLatin1String("serial") && !argument.isEmpty())
                setup.serialNumber = argument;
            else if (option == QLatin1String("port") && port > 0)
                setup.locationId = port;
            else if (option == QLatin1String("busy"))
                setup.busy = true;
            else if (option == QLatin1String("tuning"))
                setup.tuningOnContrast = true;
            else if (option == QLatin1String("hqlost"))
                setup.stillsNeverArrive = true;
            else if (option == QLatin1String("nohq"))
                setup.noStills = true;
            else if (option == QLatin1String("slow"))
                setup.startDelayMs = SlowStartMs;
            else
                qCWarning(lcSimulated, "Unknown simulated camera option '@%s' ignored",
                          qPrintable(written));
        }
        setups.append(setup);
    }
    return setups;
}

QString SimulatedCameras::add(const Setup &setup)
{
    Registry &registry = Registry::instance();
    std::lock_guard lock(registry.mutex);
    registry.loadEnvironment();
    const QString key = registry.attach(setup);
    for (SimulatedBackend *backend : registry.backends)
        backend->attach(key, setup);
    return key;
}

bool SimulatedCameras::remove(const QString &key)
{
    Registry &registry = Registry::instance();
    std::lock_guard lock(registry.mutex);
    const auto erased = std::erase_if(registry.attached,
                                      [&key](const auto &entry) { return entry.first == key; });
    for (SimulatedBackend *backend : registry.backends)
        backend->detach(key);
    return erased > 0;
}

namespace {
/// Sets `field` of the camera `key`'s setup, for its later attachments, and passes the value to
/// the camera itself wherever it is attached.
template<typename T>
void changeCamera(const QString &key, T SimulatedCameras::Setup::*field, T value,
                  void (SimulatedCamera::*apply)(T))
{
    Registry &registry = Registry::instance();
    std::lock_guard lock(registry.mutex);
    for (auto &[attachedKey, setup] : registry.attached) {
        if (attachedKey == key)
            setup.*field = value;
    }
    for (SimulatedBackend *backend : registry.backends) {
        if (SimulatedCamera *camera = backend->device(key))
            (camera->*apply)(value);
    }
}
} // namespace

void SimulatedCameras::setBusy(const QString &key, bool busy)
{
    changeCamera(key, &Setup::busy, busy, &SimulatedCamera::setBusy);
}

void SimulatedCameras::setStartDelay(const QString &key, int ms)
{
    changeCamera(key, &Setup::startDelayMs, ms, &SimulatedCamera::setStartDelay);
}

bool SimulatedCameras::isStarting(const QString &key)
{
    Registry &registry = Registry::instance();
    std::lock_guard lock(registry.mutex);
    return std::any_of(registry.backends.begin(), registry.backends.end(),
                       [&key](const SimulatedBackend *backend) {
                           const SimulatedCamera *camera = backend->device(key);
                           return camera && camera->isStarting();
                       });
}

std::unique_ptr<CameraBackend> SimulatedCameras::createBackend(bool documentCameras)
{
    return std::make_unique<SimulatedBackend>(documentCameras);
}
