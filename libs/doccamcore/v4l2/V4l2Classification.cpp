#include "V4l2Classification.h"

#include <array>

namespace {

// Models recognised without configuration. Any other document camera is picked up through
// VELORA_DOCCAM_MATCH until its ids are added here.
constexpr std::array<V4l2Classification::KnownDocumentCamera, 2> documentCameras{{
        {0x0c45, 0x6366, "USB document camera (Sonix bridge)"},
        {0x1bcf, 0x2c99, "USB document camera (Sunplus bridge)"},
}};

} // namespace

namespace V4l2Classification {

std::span<const KnownDocumentCamera> knownDocumentCameras()
{
    return documentCameras;
}

bool isDocumentCamera(std::uint16_t vendorId, std::uint16_t productId, const QString &name,
                      const QString &matchPattern)
{
    for (const KnownDocumentCamera &known : documentCameras) {
        if (known.vendorId == vendorId && known.productId == productId)
            return true;
    }
    const QString pattern = matchPattern.trimmed();
    return !pattern.isEmpty() && name.contains(pattern, Qt::CaseInsensitive);
}

std::uint32_t locationId(const QString &usbPath)
{
    // FNV-1a rather than qHash: qHash is seeded per process, and the id is stored in settings.
    std::uint32_t hash = 2166136261u;
    for (char byte : usbPath.toUtf8()) {
        hash ^= std::uint8_t(byte);
        hash *= 16777619u;
    }
    return hash;
}

QString modelName(const QString &card, const QString &udevModel)
{
    QString name = card.trimmed();
    const qsizetype colon = name.indexOf(QLatin1String(": "));
    if (colon > 0 && name.left(colon) == name.mid(colon + 2))
        name = name.left(colon);
    if (name.isEmpty())
        name = QString(udevModel).replace(QLatin1Char('_'), QLatin1Char(' ')).trimmed();
    return name;
}

std::uint16_t parseUsbId(const QString &text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 16);
    return ok && value <= 0xffff ? std::uint16_t(value) : 0;
}

} // namespace V4l2Classification
