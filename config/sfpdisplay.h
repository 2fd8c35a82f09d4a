// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SFP tab's module display: identity, rates, codes, link lengths,
// diagnostics and flags of both ports' modules, and the buttons that open the
// transceiver and option dialogs of a port.

#pragma once

#include "lumenquillapi.h"
#include "reportsaver.h"

#include <QDateTime>
#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class SFPDisplay;
}

class SFPDisplay : public QWidget {
    Q_OBJECT
public:
    // Cell groups of the form, in the order their grids are addressed.
    enum Group { Identity, Rate, Type, Length, GroupCount };

    explicit SFPDisplay(QWidget *parent = nullptr);
    ~SFPDisplay() override;

    // Shows one status record's modules. A record whose valid byte is 0
    // empties both columns and keeps the data the dialogs open from.
    void sfpUpdate(const SfpInfo *info);

    // Device and save dialog of the report export; a saver of its own until set.
    void setReportSaver(ReportSaver *saver) { m_reports = saver ? saver : &m_ownReports; }
    // The text report of both modules as shown, headed by the device.
    QString reportText() const;
    // Writes the report to `path`; a failure shows one box. False on failure.
    bool saveReport(const QString &path);

public slots:
    void slot_ShowTransceiverA();
    void slot_ShowTransceiverB();
    void slot_ShowOptionsA();
    void slot_ShowOptionsB();

private:
    static constexpr int kMaxRows = 9;
    static constexpr int kMeasures = 5;
    static constexpr int kColumns = 5; // four thresholds, then the value
    static constexpr int kFlagRows = 3;

    struct Port {
        std::array<std::array<QLabel *, kMaxRows>, GroupCount> cells{}; // null for button rows
        std::array<std::array<QLabel *, kColumns>, kMeasures> measures{};
        std::array<QLabel *, kFlagRows> flags{};
        std::array<QPushButton *, 3> buttons{}; // transceiver, options, enhanced options
    };

    void clearPort(Port &port);
    void clearDiagnostics(Port &port);
    void showPort(Port &port, const SfpPortInfo &info);
    const SfpPortInfo &stored(int port) const;

    std::unique_ptr<Ui::SFPDisplay> m_ui;
    std::array<Port, 2> m_ports;
    SfpInfo m_info{};
    bool m_shown = false; // the columns show m_info (the last record was valid)
    QDateTime m_shownAt;  // when m_info arrived
    ReportSaver m_ownReports;
    ReportSaver *m_reports = &m_ownReports;
};
