// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "SFP Module Options" dialog: a module's option and enhanced option
// declarations as they were when the dialog was opened.

#pragma once

#include "lumenquillapi.h"

#include <QDialog>
#include <QList>

#include <memory>

class QLabel;

namespace Ui {
class SFPOptions;
}

class SFPOptions : public QDialog {
    Q_OBJECT
public:
    SFPOptions(QWidget *parent, const SfpPortInfo &port);
    ~SFPOptions() override;

private:
    std::unique_ptr<Ui::SFPOptions> m_ui;
    SfpPortInfo m_port;
    QList<QLabel *> m_values; // position k shows option word k
};
