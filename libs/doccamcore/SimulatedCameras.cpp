#include "SimulatedCameras.h"

#include "CameraBackend.h"
#include "DocCamManager.h"
#include "SimulatedCamera.h"

#include <QLoggingCategory>
#include <QRegularExpression>

#include <map>
#include <mutex>
#include <vector>

Q_LOGGING_CATEGORY(lcSimulated, "velora.doccam.simulated")

namespace {

class SimulatedBackend;

/// Every simulated camera attached in this process, and the backends that report them.
struct Registry
{
    std::mutex mutex;
    std::vector<std::pair<QString, SimulatedCameras::Spec>> attached;
    std::vector<SimulatedBackend *> backends;
    int nextNumber = 1;
    bool environmentLoaded = false;

    static Registry &instance()
    {
        static Registry registry;
        return registry;
    }

    QString attach(const SimulatedCameras::Spec &spec)
    {
        const QString key = QStringLiteral("sim:%1").arg(nextNumber++);
        attached.emplace_back(key, spec);
        return key;
    }

    void loadEnvironment()
    {
        if (environmentLoaded)
            return;
        environmentLoaded = true;
        const auto specs
                = SimulatedCameras::parse(qEnvironmentVariable("VELORA_SIMULATED_CAMERAS"));
        for (const auto &spec : specs)
            attach(spec);
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
        for (const auto &[key, spec] : registry.attached)
            attach(key, spec);
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
    void attach(const QString &key, const SimulatedCameras::Spec &spec)
    {
        if (!manager || spec.documentCamera != documentCameras)
            return;
        auto *camera = new SimulatedCamera(manager, key, spec, numberOf(key));
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

    void setBusy(const QString &key, bool busy)
    {
        const auto found = devices.find(key);
        if (found != devices.end())
            found->second->setBusy(busy);
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

QList<SimulatedCameras::Spec> SimulatedCameras::parse(const QString &value)
{
    static const QRegularExpression entryPattern(
            QStringLiteral(R"(^(doccam|webcam):(\d+)x(\d+)((?:@[a-z]+)*)$)"));
    QList<Spec> specs;
    const QStringList entries = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &rawEntry : entries) {
        const QString entry = rawEntry.trimmed().toLower();
        const auto match = entryPattern.match(entry);
        const QSize size(match.captured(2).toInt(), match.captured(3).toInt());
        if (!match.hasMatch() || size.width() < 16 || size.height() < 16 || size.width() > 8192
            || size.height() > 8192) {
            qCWarning(lcSimulated,
                      "Ignoring simulated camera '%s': expected doccam:WxH or "
                      "webcam:WxH, optionally with @busy, @tuning, @hqlost, @nohq",
                      qPrintable(rawEntry));
            continue;
        }
        Spec spec;
        spec.documentCamera = match.captured(1) == QLatin1String("doccam");
        spec.size = size;
        const QStringList options = match.captured(4).split(QLatin1Char('@'), Qt::SkipEmptyParts);
        for (const QString &option : options) {
            if (option == QLatin1String("busy"))
                spec.busy = true;
            else if (option == QLatin1String("tuning"))
                spec.tuningOnContrast = true;
            else if (option == QLatin1String("hqlost"))
                spec.stillsNeverArrive = true;
            else if (option == QLatin1String("nohq"))
                spec.noStills = true;
            else
                qCWarning(lcSimulated, "Unknown simulated camera option '@%s' ignored",
                          qPrintable(option));
        }
        specs.append(spec);
    }
    return specs;
}

QString SimulatedCameras::add(const Spec &spec)
{
    Registry &registry = Registry::instance();
    std::lock_guard lock(registry.mutex);
    registry.loadEnvironment();
    const QString key = registry.attach(spec);
    for (SimulatedBackend *backend : registry.backends)
        backend->attach(key, spec);
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

void SimulatedCameras::setBusy(const QString &key, bool busy)
{
    Registry &registry = Registry::instance();
    std::lock_guard lock(registry.mutex);
    for (auto &[attachedKey, spec] : registry.attached) {
        if (attachedKey == key)
            spec.busy = busy;
    }
    for (SimulatedBackend *backend : registry.backends)
        backend->setBusy(key, busy);
}

std::unique_ptr<CameraBackend> SimulatedCameras::createBackend(bool documentCameras)
{
    return std::make_unique<SimulatedBackend>(documentCameras);
}
