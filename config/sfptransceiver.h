// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Transceiver" dialog: a module's transceiver compliance codes as they
// were when the dialog was opened.

#pragma once

#include "lumenquillapi.h"

#include <QDialog>
#include <QList>

#include <memory>

class QLabel;

namespace Ui {
class SFPTransceiver;
}

class SFPTransceiver : public QDialog {
    Q_OBJECT
public:
    SFPTransceiver(QWidget *parent, const SfpPortInfo &port);
    ~SFPTransceiver() override;

private:
    std::unique_ptr<Ui::SFPTransceiver> m_ui;
    SfpPortInfo m_port;
    QList<QLabel *> m_values; // position k shows transceiver word k
};
