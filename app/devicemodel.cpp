// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The model table and device texts; see devicemodel.h.

#include "devicemodel.h"

#include "deviceversion.h"
#include "portsettings.h"

namespace {

const char *const kUnknown = "Unknown Lumenquill";
const char *const kWarning = ":/images/warning.png";

// The Features tab spells the duplex out; the port status table abbreviates it.
QString portLinkText(uint32_t speed, uint32_t duplex, const char *prefix)
{
    const char *name = PortSettings::linkSpeedName(speed);
    if (!name)
        return {};
    return QString::asprintf("%s%s %s", prefix, name, duplex == 0 ? "Full Duplex" : "Half Duplex");
}

} // namespace

DeviceModel deviceModel(uint32_t deviceType)
{
    switch (deviceType) {
    case 0:
        return {kUnknown, QStringLiteral(":/images/disconnected.png"), false};
    case 1:
        return {QStringLiteral("Bad firmware Lumenquill"), kWarning, false};
    case 2:
        return {kUnknown, kWarning, false};
    case 4:
        return {kUnknown, QStringLiteral(":/icons/1GIco.png"), false};
    case 3:
        return {QStringLiteral("LumenQuill 1G Device Connected"), QStringLiteral(":/icons/1GIco.png"), true};
    case 5:
        return {QStringLiteral("LumenQuill 1G+ Device Connected"), QStringLiteral(":/icons/1GPlusIco.png"), true};
    case 6:
        return {QStringLiteral("LumenQuill 1G v5 Device Connected"), QStringLiteral(":/icons/1GIco.png"), true};
    case 7:
        return {QStringLiteral("LumenQuill 1G v5 PoE Device Connected"), QStringLiteral(":/icons/1GIco.png"), true};
    case 8:
        return {QStringLiteral("LumenQuill 1G+ PoE Device Connected"), QStringLiteral(":/icons/1GPlusIco.png"), true};
    case 9:
        return {QStringLiteral("LumenQuill 1G+ GPS Device Connected"), QStringLiteral(":/icons/1GPlusIco.png"), true};
    case 10:
        return {QStringLiteral("LumenQuill 1G+ GPS PoE Device Connected"), QStringLiteral(":/icons/1GPlusIco.png"),
                true};
    case 11:
        return {QStringLiteral("LumenQuill 10G Device Connected"), QStringLiteral(":/icons/10GIco.png"), true};
    case 12:
        return {QStringLiteral("LumenQuill 10G GPS Device Connected"), QStringLiteral(":/icons/10GPlusIco.png"), true};
    case 13:
        return {QStringLiteral("LumenQuill 100 Device Connected"), QStringLiteral(":/icons/100Ico.png"), true};
    case 14:
        return {QStringLiteral("LumenQuill 1G v6 Device Connected"), QStringLiteral(":/icons/1GIco.png"), true};
    default:
        return {kUnknown, kWarning, false};
    }
}

QString macText(const uint8_t mac[6])
{
    QString text;
    for (int i = 0; i < 6; ++i) {
        if (i)
            text += QLatin1Char(':');
        text += QStringLiteral("%1").arg(mac[i], 2, 16, QLatin1Char('0'));
    }
    return text;
}

QString deviceInformationText(const StatsThreadInfo &info, uint32_t deviceType)
{
    const DeviceModel model = deviceModel(deviceType);
    QString text = model.head;
    if (model.detailed) {
        const uint8_t *drv = info.versions.driverVersion;
        const uint8_t *sw = info.versions.softwareVersion;
        text += QString::asprintf("\nDriver Version : %u.%u.%u.%u\nSW Firmware Version : %u.%u.%u.%u\n"
                                  "HW Firmware Version : %04u\nMAC Address : %02x:%02x:%02x:%02x:%02x:%02x\n",
                                  drv[0], drv[1], drv[2], drv[3], sw[0], sw[1], sw[2], sw[3],
                                  info.versions.hardwareFirmwareVersion, info.mac[0], info.mac[1], info.mac[2],
                                  info.mac[3], info.mac[4], info.mac[5]);
    }
    // The details end in a line break; a model shown without them needs one
    // before the USB line.
    const uint8_t usb = info.extraInfo & 0xFFu;
    if (!model.detailed && usb >= LQ_USB_FULL_SPEED && usb <= LQ_USB_SUPER_SPEED)
        text += QLatin1Char('\n');
    switch (usb) {
    case LQ_USB_FULL_SPEED:
        text += QStringLiteral("Usb : Full Speed\n");
        break;
    case LQ_USB_HIGH_SPEED:
        text += QStringLiteral("Usb : High Speed\n");
        break;
    case LQ_USB_SUPER_SPEED:
        text += QStringLiteral("Usb : Super Speed\n");
        break;
    default:
        break;
    }
    return text;
}

QString linkText(const StatsThreadInfo &info, bool perPort)
{
    const LinkStatus &link = info.linkStatus;
    if (perPort) {
        auto side = [](uint32_t speed, uint32_t duplex) {
            if (speed == LQ_LINK_DOWN)
                return QStringLiteral("Down");
            const QString text = portLinkText(speed, duplex, "");
            return text.isEmpty() ? QStringLiteral("Unknown") : text;
        };
        return side(link.portASpeed, link.portADuplex) + QStringLiteral(" / ") +
               side(link.portBSpeed, link.portBDuplex);
    }
    if (link.portASpeed == LQ_LINK_DOWN)
        return QStringLiteral("Link Down");
    const QString text = portLinkText(link.portASpeed, link.portADuplex, "Link Up ");
    return text.isEmpty() ? QStringLiteral("Link State Unknown") : text;
}

QString firmwareOfferDetails(const StatsThreadInfo &device, const QString &friendlyName,
                             const FirmwareCatalogEntry &entry)
{
    const QString model = entry.name.isEmpty() ? deviceModel(device.deviceType).head : entry.name;
    QString text = QStringLiteral("Device: %1 (%2)\nModel: %3\nFirmware: %4 \u2192 %5")
                       .arg(friendlyName, macText(device.mac), model,
                            versionToString(versionFromBytes(device.versions.softwareVersion)),
                            versionToString(versionFromBytes(entry.softwareVersion.data())));
    const int variant = device.features.firmware_variant;
    if (variant < entry.hardwareVersions.size())
        text += QStringLiteral("\nHardware firmware: %1 \u2192 %2")
                    .arg(device.versions.hardwareFirmwareVersion)
                    .arg(entry.hardwareVersions.at(variant));
    return text;
}
