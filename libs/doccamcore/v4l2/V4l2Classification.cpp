#include "V4l2Classification.h"

#include <array>

namespace {

// Makers whose USB cameras are all document cameras (product id 0: any product). Generic
// bridge-chip vendors are deliberately absent: their ids are shared by countless webcams.
// Any other document camera is picked up by its name, or through VELORA_DOCCAM_MATCH.
constexpr std::array<V4l2Classification::KnownDocumentCamera, 1> documentCameras{{
        {0x1778, 0, "IPEVO document cameras"},
}};

// Words that document cameras put in their names and webcams do not.
constexpr std::array<const char *, 4> documentCameraWords{
        {"document", "doccam", "visualiser", "visualizer"}};

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
        if (known.vendorId == vendorId && (known.productId == 0 || known.productId == productId))
            return true;
    }
    for (const char *word : documentCameraWords) {
        if (name.contains(QLatin1String(word), Qt::CaseInsensitive))
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
