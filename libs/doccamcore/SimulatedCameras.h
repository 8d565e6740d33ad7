#pragma once

#include <QList>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class CameraBackend;

/// Cameras drawn in software, for machines without a camera, demonstrations and tests.
///
/// Switched on by the environment variable VELORA_SIMULATED_CAMERAS, a comma list such as
/// "doccam:1920x1080,webcam:1280x720". Each entry may add options after "@":
///   busy     the start answers DocCam::ErrorBusy, as when another application holds it
///   tuning   setting the contrast answers DocCam::Tuning and reports the end 500 ms later
///   hqlost   high-quality stills are accepted but never arrive
///   nohq     no high-quality stills at all
///   slow     every start takes three seconds, as a camera that negotiates its stream slowly
///   port=N   plugged into USB port N (a number), rather than numbered in list order
///   serial=S the camera has the USB serial number S (letters, digits, '-', '_' and '.')
/// for example "doccam:1920x1080@busy@tuning". A camera's settings are remembered by its
/// serial number, or else by its port. While the variable is set (even empty) only simulated
/// cameras exist; tests add and remove more through add() and remove().
class SimulatedCameras
{
public:
    struct Setup
    {
        bool documentCamera = true;
        QSize size{1920, 1080};
        QSize stillSize; ///< empty: twice the live size, at most 4096 wide
        double frameRate = 30;
        bool busy = false;
        /// How long a start takes before it answers (busy or not).
        int startDelayMs = 0;
        bool tuningOnContrast = false;
        bool stillsNeverArrive = false;
        bool noStills = false;
        /// DocCam::Capability bits the camera lacks in hardware.
        std::uint32_t missingCapabilities = 0;
        QString modelName; ///< empty: "Velora Simulated Document Camera" or "... Webcam"
        quint16 vendorId = 0x1d6b;
        /// 0: one per kind, as cameras of one model share theirs; the port tells them apart.
        quint16 productId = 0;
        quint32 locationId = 0; ///< 0: numbered per camera
        QString serialNumber; ///< empty: none
        std::uint32_t featureBits = 0x14;
        std::uint32_t inputBits = 0;
    };

    /// True when VELORA_SIMULATED_CAMERAS is set.
    static bool isActive();
    /// Parses a VELORA_SIMULATED_CAMERAS value; malformed entries are skipped with a warning.
    static QList<Setup> parse(const QString &value);

    /// Attaches a camera; the manager of its kind reports it as added. Returns its key.
    static QString add(const Setup &setup);
    /// Detaches a camera as if unplugged; false when no such camera is attached.
    static bool remove(const QString &key);
    /// Makes a camera's next start answer busy, or not.
    static void setBusy(const QString &key, bool busy);
    /// Changes how long a camera's starts take; starts already waiting see the new time.
    static void setStartDelay(const QString &key, int ms);
    /// True while a start of the camera is waiting out its delay.
    static bool isStarting(const QString &key);

    /// The backend of one manager. For the library's manager.
    static std::unique_ptr<CameraBackend> createBackend(bool documentCameras);
};
