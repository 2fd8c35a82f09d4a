// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The dialog that edits the rule of one configurable counter. It works on a
// copy; the counter row takes the copy only when the dialog is accepted.

#pragma once

#include "lumenquillapi.h"

#include <QDialog>

#include <memory>

namespace Ui {
class CounterV2Editor;
}

class CounterV2Editor : public QDialog {
    Q_OBJECT
public:
    explicit CounterV2Editor(QWidget *parent = nullptr);
    ~CounterV2Editor() override;

    Ui::CounterV2Editor *form() const { return m_ui.get(); }

    // Takes a working copy and shows it in the form.
    void setConfig(const CounterV2Config &config);
    CounterV2Config getConfig() const { return m_config; }

public slots:
    void on_ipv4CB_stateChanged(int state);
    void on_ipv6CB_stateChanged(int state);
    void on_sizeCBox_currentIndexChanged(int index);
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();

private:
    void updateAddressBoxes();
    // Which address box is in use, if any: 4, 6 or 0.
    int addressFamilyInUse() const;
    // Why the address box in use would give no address rule; empty when it
    // is fine.
    QString addressProblem() const;

    std::unique_ptr<Ui::CounterV2Editor> m_ui;
    CounterV2Config m_config;
};
