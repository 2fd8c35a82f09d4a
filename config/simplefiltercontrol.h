// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The header filter editor of the Filters tab: MAC, IP and port criteria, each
// as a source/destination pair or as one address matched either way. It shows
// a device record and builds one from what the operator typed, marking in red
// the fields it refuses. Sending is the panel's business.

#pragma once

#include "lumenquillapi.h"

#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ui {
class SimpleFilterControl;
}

class SimpleFilterControl : public QWidget {
    Q_OBJECT
public:
    explicit SimpleFilterControl(QWidget *parent = nullptr);
    ~SimpleFilterControl() override;

    // Shows `filter` and keeps it as the editor's state. Program changes.
    void setFilter(const PacketFilter &filter);

    // Fills `filter` from the fields; 0 on success, negative when a used field
    // is refused (that line edit turns red until the next build).
    int buildFilter(PacketFilter *filter);

    // The editor's state: the last record shown, `fields` and `modes` as the
    // boxes have edited them since.
    const PacketFilter &filter() const { return m_filter; }

private slots:
    void on_srcMacCB_stateChanged(int state);
    void on_dstMacCB_stateChanged(int state);
    void on_srcIpCB_stateChanged(int state);
    void on_dstIpCB_stateChanged(int state);
    void on_srcPortCB_stateChanged(int state);
    void on_dstPortCB_stateChanged(int state);
    void on_ipVersionCB_currentIndexChanged(int index);
    void on_macModeCB_currentIndexChanged(int index);
    void on_ipModeCB_currentIndexChanged(int index);
    void on_portModeCB_currentIndexChanged(int index);

private:
    void setField(uint32_t bit, int state);
    void setMode(uint16_t bit, int index);
    void refresh();

    std::unique_ptr<Ui::SimpleFilterControl> m_ui;
    PacketFilter m_filter{};
};
