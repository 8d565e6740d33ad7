#include "SimulatedCamera.h"

#include "DocCamManager.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {
std::uint32_t capabilityOf(CameraDevice::Control control)
{
    using C = CameraDevice::Control;
    switch (control) {
    case C::Brightness:
        return DocCam::CapBrightness;
    case C::Contrast:
        return DocCam::CapContrast;
    case C::Exposure:
        return DocCam::CapExposure;
    case C::AutoExposure:
        return DocCam::CapAutoExposure;
    case C::AutoWhiteBalance:
        return DocCam::CapAutoWhiteBalance;
    case C::RedGain:
    case C::BlueGain:
        return DocCam::CapWhiteBalanceGain;
    case C::Focus:
        return DocCam::CapManualFocus;
    case C::AutoFocus:
        return DocCam::CapAutoFocus;
    case C::CameraMode:
    case C::ModeFlag:
        return DocCam::CapCameraMode;
    case C::AutoImage:
        return DocCam::CapAutoImage;
    case C::Zoom:
        return DocCam::CapZoom;
    case C::Rotation:
        return DocCam::CapRotation;
    case C::Mirror:
        return DocCam::CapMirror;
    case C::ColorEffect:
        return DocCam::CapColorEffect;
    }
    return 0;
}

// What the simulated optics do themselves; zoom, rotation, mirror and effects are left to the
// library's software path so that it is exercised on every machine.
constexpr std::uint32_t OpticsCapabilities = DocCam::CapBrightness | DocCam::CapContrast
        | DocCam::CapExposure | DocCam::CapAutoExposure | DocCam::CapAutoWhiteBalance
        | DocCam::CapWhiteBalanceGain | DocCam::CapManualFocus | DocCam::CapAutoFocus
        | DocCam::CapCameraMode | DocCam::CapAutoImage | DocCam::CapInputs;

const char *modeName(int mode, bool wideAngle)
{
    if (wideAngle)
        return "Wide angle";
    switch (mode) {
    case DocCam::ModeEnhance:
        return "Enhance";
    case DocCam::ModeMicroscope:
        return "Microscope";
    case DocCam::ModeMacro:
        return "Macro";
    case DocCam::ModeInfinity:
        return "Infinity";
    default:
        return "Normal";
    }
}

const QStringList &pageText()
{
    static const QStringList lines = {
            QStringLiteral("Photosynthesis"),
            QStringLiteral("Plants turn light, water and carbon dioxide into sugar and oxygen."),
            QStringLiteral("6 CO2 + 6 H2O  ->  C6H12O6 + 6 O2"),
            QStringLiteral("1. Light is absorbed by chlorophyll in the leaves."),
            QStringLiteral("2. Water is split; oxygen is released into the air."),
            QStringLiteral("3. Carbon dioxide is fixed into sugar in the Calvin cycle."),
            QStringLiteral("Question: why do leaves look green?"),
    };
    return lines;
}

// Live frames and stills.
constexpr std::size_t MaxCachedPages = 2;
} // namespace

/// Memory for stills or live frames of one size, lent out as pictures and taken back when the
/// last copy of a picture goes.
///
/// A still of a 4K camera is 48 MB, a live 4K frame 33 MB. Memory that large comes fresh from the
/// system for every allocation, and its first touch costs a page fault per 4 KB, which adds up to
/// hundreds of milliseconds on some machines; memory used before costs nothing. A buffer is only
/// drawn into while no picture holds it, so a still the consumer keeps never changes under it.
class SimulatedCamera::FrameBuffers : public std::enable_shared_from_this<FrameBuffers>
{
public:
    explicit FrameBuffers(QSize size)
        : size(size)
    { }

    /// The size of the pictures lent.
    const QSize size;

    /// A picture of `size` in QImage::Format_RGB32 that nobody else holds; its pixels are left
    /// as they were.
    QImage lend();

private:
    struct Buffer
    {
        std::unique_ptr<uchar[]> pixels;
        bool lent = false;
    };
    struct Loan
    {
        std::shared_ptr<FrameBuffers> owner;
        Buffer *buffer;
    };
    static void takeBack(void *loan);

    // One picture being drawn, one on its way or being saved, one more kept by a consumer;
    // beyond that a picture gets memory of its own rather than the camera holding more.
    static constexpr std::size_t MaxBuffers = 3;

    std::mutex mutex;
    std::vector<std::unique_ptr<Buffer>> buffers;
};

QImage SimulatedCamera::FrameBuffers::lend()
{
    const qsizetype bytesPerLine = qsizetype(size.width()) * 4;
    Buffer *free = nullptr;
    {
        std::lock_guard lock(mutex);
        const auto found = std::find_if(buffers.begin(), buffers.end(),
                                        [](const auto &buffer) { return !buffer->lent; });
        if (found != buffers.end()) {
            free = found->get();
        } else if (buffers.size() < MaxBuffers) {
            buffers.push_back(std::make_unique<Buffer>());
            free = buffers.back().get();
            free->pixels = std::make_unique_for_overwrite<uchar[]>(std::size_t(bytesPerLine)
                                                                   * std::size_t(size.height()));
        }
        if (free)
            free->lent = true;
    }
    if (!free)
        return QImage(size, QImage::Format_RGB32);
    // The mutex taken in takeBack() orders the last reader's use of the pixels before the next
    // drawing, which an atomic reference count read on its own would not.
    return QImage(free->pixels.get(), size.width(), size.height(), bytesPerLine,
                  QImage::Format_RGB32, &FrameBuffers::takeBack,
                  new Loan{shared_from_this(), free});
}

void SimulatedCamera::FrameBuffers::takeBack(void *loan)
{
    // The loan, and with it perhaps the last reference to the buffers, goes after the unlock.
    const std::unique_ptr<Loan> returned(static_cast<Loan *>(loan));
    std::lock_guard lock(returned->owner->mutex);
    returned->buffer->lent = false;
}

SimulatedCamera::SimulatedCamera(DocCamManager *manager, const QString &key,
                                 const SimulatedCameras::Setup &setup, int number)
    : CameraDevice(manager,
                   Identity{key,
                            setup.modelName.isEmpty()
                                    ? (setup.documentCamera
                                               ? QStringLiteral("Velora Simulated Document Camera")
                                               : QStringLiteral("Velora Simulated Webcam"))
                                    : setup.modelName,
                            setup.vendorId,
                            setup.productId ? setup.productId
                                            : quint16(setup.documentCamera ? 0x0101 : 0x0102),
                            setup.locationId ? setup.locationId : quint32(0x00100000 + number),
                            setup.documentCamera, setup.serialNumber})
    , setup(setup)
    , busy(setup.busy)
    , startDelayMs(setup.startDelayMs)
    , stillBuffers(std::make_shared<FrameBuffers>(stillSize()))
{ }

DocCam::VideoFormat SimulatedCamera::liveFormat() const
{
    return {setup.size, setup.frameRate};
}

QSize SimulatedCamera::stillSize() const
{
    if (setup.noStills)
        return {};
    if (setup.stillSize.isValid())
        return setup.stillSize;
    QSize still = setup.size * 2;
    if (still.width() > 4096)
        still = setup.size.scaled(4096, 4096, Qt::KeepAspectRatio);
    return still.width() > setup.size.width() ? still : QSize();
}

std::uint32_t SimulatedCamera::hardwareCapabilities() const
{
    std::uint32_t caps = OpticsCapabilities & ~setup.missingCapabilities;
    if (!stillSize().isEmpty())
        caps |= DocCam::CapHQStill;
    return caps;
}

void SimulatedCamera::setStartDelay(int ms)
{
    std::lock_guard lock(startMutex);
    startDelayMs = ms;
    startDelayChanged.notify_all();
}

bool SimulatedCamera::isStarting() const
{
    std::lock_guard lock(startMutex);
    return startsWaiting > 0;
}

void SimulatedCamera::waitOutStartDelay()
{
    const auto begun = std::chrono::steady_clock::now();
    std::unique_lock lock(startMutex);
    ++startsWaiting;
    for (;;) {
        const auto due = begun + std::chrono::milliseconds(startDelayMs);
        if (std::chrono::steady_clock::now() >= due)
            break;
        startDelayChanged.wait_until(lock, due);
    }
    --startsWaiting;
}

int SimulatedCamera::openCapture(const DocCam::VideoFormat &format)
{
    waitOutStartDelay();
    if (busy)
        return DocCam::ErrorBusy;
    streamSize = format.size;
    // Frames of the stream are drawn into memory used before (see FrameBuffers); the pictures
    // of an earlier stream keep their own pool alive for as long as they are held.
    if (!liveBuffers || liveBuffers->size != streamSize)
        liveBuffers = std::make_shared<FrameBuffers>(streamSize);
    framesDelivered = 0;
    clock.start();
    // A wake meant for the last stream has nothing left to cut short.
    std::lock_guard lock(wakeMutex);
    wakeRequested = false;
    return DocCam::Ok;
}

void SimulatedCamera::closeCapture() { }

CameraDevice::GrabResult SimulatedCamera::grabFrame(QImage &frame, int timeoutMs)
{
    if (isGone())
        return GrabResult::Gone;
    // Frames are due at a steady rate from the start; a late consumer skips, never bunches.
    const double periodMs = 1000.0 / qMax(1.0, setup.frameRate);
    const qint64 dueMs = qint64(std::ceil((framesDelivered + 1) * periodMs));
    const qint64 waitMs = dueMs - clock.elapsed();
    // A wake returns without the frame, which stays due at the same moment.
    if (waitMs > 0 && (sleepUnlessWoken(qMin(waitMs, qint64(timeoutMs))) || waitMs > timeoutMs))
        return GrabResult::Timeout;
    framesDelivered = qMax(framesDelivered + 1, qint64(clock.elapsed() / periodMs));
    if (isGone())
        return GrabResult::Gone;
    frame = render(streamSize, framesDelivered);
    return GrabResult::Frame;
}

bool SimulatedCamera::sleepUnlessWoken(qint64 ms)
{
    std::unique_lock lock(wakeMutex);
    const bool woken = wakeSignal.wait_for(lock, std::chrono::milliseconds(ms),
                                           [this] { return wakeRequested; });
    wakeRequested = false;
    return woken;
}

void SimulatedCamera::wakeCapture()
{
    std::lock_guard lock(wakeMutex);
    wakeRequested = true;
    wakeSignal.notify_one();
}

QImage SimulatedCamera::grabStill()
{
    return render(stillSize(), framesDelivered);
}

int SimulatedCamera::applyControl(Control control, int value)
{
    if (!(hardwareCapabilities() & capabilityOf(control)))
        return DocCam::ErrorUnsupported;
    // A delayed task keeps the camera alive until it has run or, when the manager ends first
    // (the camera unplugged meanwhile), until the manager drops it unrun.
    const auto held = [this] {
        addRef();
        return std::shared_ptr<SimulatedCamera>(this,
                                                [](SimulatedCamera *camera) { camera->release(); });
    };
    if (control == Control::AutoFocus) {
        // The lens hunts for a moment and settles on the sharp position.
        manager()->post([camera = held()] { camera->setFocus(50); }, 150);
    }
    if (control == Control::Contrast && setup.tuningOnContrast) {
        manager()->post([camera = held()] { camera->reportTuningEnded(); }, 500);
        return DocCam::Tuning;
    }
    return DocCam::Ok;
}

QImage SimulatedCamera::page(QSize size) const
{
    const Parameters p = parametersSnapshot();
    const quint64 key = qHashMulti(0, size.width(), size.height(), p.brightness, p.contrast,
                                   p.exposure, p.focus, p.redGain, p.blueGain, p.cameraMode,
                                   p.modeFlag, p.autoImage, p.autoExposure, p.autoWhiteBalance);
    std::lock_guard lock(pageMutex);
    const auto cached
            = std::find_if(cachedPages.begin(), cachedPages.end(),
                           [size](const CachedPage &c) { return c.image.size() == size; });
    if (cached != cachedPages.end()) {
        if (cached->key == key) {
            std::rotate(cachedPages.begin(), cached, cached + 1);
            return cachedPages.front().image;
        }
        cachedPages.erase(cached);
    }

    // Brightness and exposure lift the paper, contrast pulls the ink towards it, the gains tint.
    const double light = 0.93 + 0.006 * (p.brightness - 50) + 0.003 * (p.exposure - 50);
    auto channel = [light](double base, double gain) {
        return qBound(0, int(std::lround(255 * light * base * (0.8 + 0.004 * gain))), 255);
    };
    const QColor paper(channel(0.98, p.redGain), channel(0.97, 50), channel(0.92, p.blueGain));
    const double inkWeight = 0.25 + 0.0075 * p.contrast;
    const QColor ink(int(paper.red() * (1 - inkWeight)), int(paper.green() * (1 - inkWeight)),
                     int(paper.blue() * (1 - inkWeight) + 40 * inkWeight));

    QImage image(size, QImage::Format_RGB32);
    image.fill(paper);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const double unit = size.height() / 40.0;

    // Ruled lines and a margin, like an exercise book.
    painter.setPen(QPen(QColor(120, 160, 220, 120), qMax(1.0, unit / 12)));
    for (double y = unit * 6; y < size.height(); y += unit * 2.2)
        painter.drawLine(QPointF(0, y), QPointF(size.width(), y));
    painter.setPen(QPen(QColor(220, 80, 80, 150), qMax(1.0, unit / 8)));
    painter.drawLine(QPointF(unit * 4, 0), QPointF(unit * 4, size.height()));

    QFont title(QStringLiteral("Calibri"));
    title.setPixelSize(qMax(8, int(unit * 2.6)));
    title.setBold(true);
    QFont body(QStringLiteral("Calibri"));
    body.setPixelSize(qMax(6, int(unit * 1.5)));
    painter.setPen(ink);
    const auto &lines = pageText();
    double y = unit * 5;
    for (int i = 0; i < lines.size(); ++i) {
        painter.setFont(i == 0 ? title : body);
        painter.drawText(QPointF(unit * 5.5, y), lines.at(i));
        y += unit * 2.2 * (i == 0 ? 1.5 : 1);
    }

    // A leaf diagram in colour, so black and white and negative are obvious.
    const QRectF leaf(size.width() * 0.62, size.height() * 0.42, size.width() * 0.3,
                      size.height() * 0.35);
    QPainterPath leafPath;
    leafPath.moveTo(leaf.left(), leaf.center().y());
    leafPath.quadTo(leaf.center().x(), leaf.top(), leaf.right(), leaf.center().y());
    leafPath.quadTo(leaf.center().x(), leaf.bottom(), leaf.left(), leaf.center().y());
    painter.setBrush(QColor(60, 170, 70));
    painter.setPen(QPen(QColor(30, 110, 40), unit / 4));
    painter.drawPath(leafPath);
    painter.drawLine(QPointF(leaf.left(), leaf.center().y()),
                     QPointF(leaf.right(), leaf.center().y()));
    painter.setBrush(QColor(250, 200, 40));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(leaf.right() - unit * 2, leaf.top() - unit * 2), unit * 2.5,
                        unit * 2.5);

    // The camera's own state, so a control that changes nothing else still shows.
    QFont status(QStringLiteral("Calibri"));
    status.setPixelSize(qMax(6, int(unit * 1.1)));
    painter.setFont(status);
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(
            QRectF(unit * 5.5, size.height() - unit * 3, size.width() - unit * 7, unit * 2),
            Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("%1   brightness %2  contrast %3  exposure %4%5  focus %6  "
                           "red %7  blue %8  white balance %9")
                    .arg(modelName())
                    .arg(p.brightness)
                    .arg(p.contrast)
                    .arg(p.exposure)
                    .arg(p.autoExposure ? QStringLiteral(" (auto)") : QString())
                    .arg(p.focus)
                    .arg(p.redGain)
                    .arg(p.blueGain)
                    .arg(p.autoWhiteBalance ? QStringLiteral("auto") : QStringLiteral("manual")));
    status.setBold(true);
    painter.setFont(status);
    painter.drawText(QRectF(unit * 5.5, unit * 0.3, size.width() / 2.0, unit * 1.8),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Mode: %1%2")
                             .arg(QLatin1String(modeName(p.cameraMode, p.modeFlag)),
                                  p.autoImage ? QStringLiteral("   Auto image") : QString()));
    painter.end();

    // Out of focus: lose detail by scaling down and back up.
    const int blur = std::abs(p.focus - 50) / 5;
    if (blur > 0)
        image = image.scaled(size / (1 + blur), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                        .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    cachedPages.insert(cachedPages.begin(), CachedPage{key, image});
    if (cachedPages.size() > MaxCachedPages)
        cachedPages.pop_back();
    return image;
}

QImage SimulatedCamera::render(QSize size, qint64 tick) const
{
    const QImage background = page(size);
    QImage frame;
    QPainter painter;
    FrameBuffers *pool = nullptr;
    if (!size.isEmpty() && size == stillBuffers->size)
        pool = stillBuffers.get();
    else if (!size.isEmpty() && liveBuffers && size == liveBuffers->size)
        pool = liveBuffers.get();
    if (pool) {
        frame = pool->lend();
        painter.begin(&frame);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, background);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
        frame = background;
        painter.begin(&frame); // detaches from the cached page
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const double unit = size.height() / 40.0;

    // A marker sweeping across the page: movement shows freeze and frame rate at a glance.
    const double phase = std::fmod(tick / 90.0, 1.0);
    const double x = unit * 6 + phase * (size.width() - unit * 12);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 60, 60));
    painter.drawEllipse(QPointF(x, size.height() * 0.88), unit * 1.2, unit * 1.2);

    QFont clockFont(QStringLiteral("Calibri"));
    clockFont.setPixelSize(qMax(8, int(unit * 2)));
    clockFont.setBold(true);
    painter.setFont(clockFont);
    painter.setPen(QColor(40, 40, 120));
    painter.drawText(QRectF(size.width() - unit * 16, unit, unit * 15, unit * 3),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")));
    painter.end();
    return frame;
}
