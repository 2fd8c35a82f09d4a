// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The device selector in the window's top-right corner. Each entry carries a
// LumenquillDevice; a right click renames the current device in place.

#pragma once

#include "lumenquilldevice.h"

#include <QComboBox>
#include <QHash>
#include <QIcon>

class QSettings;

class DeviceComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DeviceComboBox(QWidget *parent = nullptr);

    // Appends an entry "mac - name" with the model icon (none for an empty path).
    void addDevice(const LumenquillDevice &device, const QString &iconPath);
    static QString entryText(const LumenquillDevice &device);

    // Names are kept per MAC under "DeviceConfig"/<mac without ':'>/"FriendlyName".
    static QString friendlyName(QSettings &settings, const QString &mac);
    static void storeFriendlyName(QSettings &settings, const LumenquillDevice &device);

    bool isEditingName() const { return m_editing; }

signals:
    void FriendlyNameChanged(LumenquillDevice dev);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void edited();

private:
    // Ends a rename without storing anything: the entry being renamed is no
    // longer the current one, or the list changed under it.
    void cancelEditing();

    bool m_editing = false;
    uint64_t m_editingHandle = 0; // the device being renamed, while editing
    QHash<QString, QIcon> m_icons; // by picture path
};
