// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The device selector; see devicecombobox.h.

#include "devicecombobox.h"

#include <QKeyEvent>
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

DeviceComboBox::DeviceComboBox(QWidget *parent) : QComboBox(parent)
{
    setInsertPolicy(QComboBox::NoInsert);
    // A rename belongs to the entry it started on: another entry (wheel, arrow
    // keys, the renamed device leaving) or another list ends it unsaved, so a
    // name is never stored for the wrong device.
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (m_editing && currentData().value<LumenquillDevice>().handle != m_editingHandle)
            cancelEditing();
    });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model(), signal, this, &DeviceComboBox::cancelEditing);
    connect(model(), &QAbstractItemModel::modelReset, this, &DeviceComboBox::cancelEditing);
}

QString DeviceComboBox::entryText(const LumenquillDevice &device)
{
    return device.mac + QStringLiteral(" - ") + device.friendlyName;
}

void DeviceComboBox::addDevice(const LumenquillDevice &device, const QString &iconPath)
{
    // One icon per model picture: a picture loaded anew for every arrival
    // would put its scaled copies into the pixmap cache again each time a
    // device is plugged.
    if (!iconPath.isEmpty() && !m_icons.contains(iconPath))
        m_icons.insert(iconPath, QIcon(iconPath));
    addItem(m_icons.value(iconPath), entryText(device), QVariant::fromValue(device));
}

QString DeviceComboBox::friendlyName(QSettings &settings, const QString &mac)
{
    if (mac.size() != kMacTextLength)
        return QStringLiteral("Bad MAC address");
    return settings.value(settingsGroup(mac) + QStringLiteral("/FriendlyName"), QStringLiteral("Lumenquill"))
        .toString();
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
        const QVariant data = currentData();
        if (!data.canConvert<LumenquillDevice>())
            return; // "No device connected" has no name to change
        const auto device = data.value<LumenquillDevice>();
        m_editing = true;
        m_editingHandle = device.handle;
        setEditable(true);
        setContextMenuPolicy(Qt::NoContextMenu);
        QLineEdit *edit = lineEdit();
        edit->setContextMenuPolicy(Qt::NoContextMenu);
        // The name is taken as typed: no completion from the entries' texts.
        edit->setCompleter(nullptr);
        edit->setText(device.friendlyName);
        // The combo box itself acts on the end of editing (it selects an entry
        // whose text equals what was typed); the rename goes first.
        edit->installEventFilter(this);
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

bool DeviceComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (m_editing && watched == lineEdit()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                edited();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            edited();
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void DeviceComboBox::edited()
{
    // The end of editing may be seen more than once (Enter, then the focus
    // leaving as the line edit goes away); the rename is handled once.
    if (!m_editing || !lineEdit())
        return;
    const int index = currentIndex();
    auto device = itemData(index).value<LumenquillDevice>();
    if (device.handle != m_editingHandle) {
        cancelEditing();
        return;
    }
    device.friendlyName = lineEdit()->text();
    m_editing = false;
    // The text goes before the item changes, so that nothing the combo box
    // does with its line edit can reach the new entry text.
    setEditable(false);
    setItemData(index, QVariant::fromValue(device));
    setItemText(index, entryText(device));
    emit FriendlyNameChanged(device);
}

void DeviceComboBox::cancelEditing()
{
    if (!m_editing)
        return;
    m_editing = false;
    setEditable(false);
}
