// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The device selector; see devicecombobox.h.

#include "devicecombobox.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QSettings>

namespace {
constexpr int kMacTextLength = 17;

QString settingsGroup(const QString &mac)
{
    return QStringLiteral("DeviceConfig/") + QString(mac).remove(QLatin1Char(':'));
}
} // namespace

void registerLumenquillDevice()
{
    qRegisterMetaType<LumenquillDevice>("LumenquillDevice");
}

DeviceComboBox::DeviceComboBox(QWidget *parent)
    : QComboBox(parent)
{
    setInsertPolicy(QComboBox::NoInsert);
}

QString DeviceComboBox::entryText(const LumenquillDevice &device)
{
    return device.mac + QStringLiteral(" - ") + device.friendlyName;
}

void DeviceComboBox::addDevice(const LumenquillDevice &device, const QString &iconPath)
{
    const QIcon icon = iconPath.isEmpty() ? QIcon() : QIcon(iconPath);
    addItem(icon, entryText(device), QVariant::fromValue(device));
}

QString DeviceComboBox::friendlyName(QSettings &settings, const QString &mac)
{
    if (mac.size() != kMacTextLength)
        return QStringLiteral("Bad MAC address");
    return settings.value(settingsGroup(mac) + QStringLiteral("/FriendlyName"), QStringLiteral("Lumenquill")).toString();
}

void DeviceComboBox::storeFriendlyName(QSettings &settings, const LumenquillDevice &device)
{
    // A MAC of another length is never used as a settings key.
    if (device.mac.size() != kMacTextLength)
        return;
    settings.setValue(settingsGroup(device.mac) + QStringLiteral("/FriendlyName"), device.friendlyName);
    settings.sync();
}

void DeviceComboBox::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        m_editing = true;
        const auto device = currentData().value<LumenquillDevice>();
        setEditable(true);
        setContextMenuPolicy(Qt::NoContextMenu);
        QLineEdit *edit = lineEdit();
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        edit->setText(device.friendlyName);
        // UniqueConnection: a second right click while editing only refills the text.
        connect(edit, &QLineEdit::editingFinished, this, &DeviceComboBox::edited, Qt::UniqueConnection);
        edit->setFocus();
        edit->selectAll();
        event->accept();
        return;
    }
    if (!m_editing)
        QComboBox::mousePressEvent(event);
}

void DeviceComboBox::edited()
{
    // editingFinished may fire twice (Enter, then the focus leaving as the line
    // edit goes away); the rename is handled once.
    if (!m_editing)
        return;
    auto device = currentData().value<LumenquillDevice>();
    device.friendlyName = lineEdit()->text();
    const int index = currentIndex();
    setItemData(index, QVariant::fromValue(device));
    setItemText(index, entryText(device));
    m_editing = false;
    setEditable(false);
    emit FriendlyNameChanged(device);
}
