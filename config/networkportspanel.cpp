// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Network Ports" tab; see networkportspanel.h.

#include "networkportspanel.h"

#include "portsettings.h"
#include "reportactions.h"
#include "ui_networkportspanel.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>

using PortSettings::PortBox;
using PortSettings::PortBoxes;

namespace {

constexpr int kValueColumns[2] = {1, 2}; // Port A, Port B

PortBoxes readBoxes(const std::array<QCheckBox *, PortSettings::kPortBoxCount> &row)
{
    PortBoxes b;
    for (int i = 0; i < PortSettings::kPortBoxCount; ++i)
        b[static_cast<PortBox>(i)] = row[i]->isChecked();
    return b;
}

void writeBoxes(const std::array<QCheckBox *, PortSettings::kPortBoxCount> &row, const PortBoxes &b)
{
    for (int i = 0; i < PortSettings::kPortBoxCount; ++i) {
        const QSignalBlocker blocker(row[i]);
        row[i]->setChecked(b[static_cast<PortBox>(i)]);
    }
}

void setChecked(QAbstractButton *box, bool checked)
{
    const QSignalBlocker blocker(box);
    box->setChecked(checked);
}

void setCell(QTableWidget *table, int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignCenter);
    table->setItem(row, column, item);
}

} // namespace

NetworkPortsPanel::NetworkPortsPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::NetworkPortsPanel>())
{
    m_ui->setupUi(this);
    Ui::NetworkPortsPanel *u = m_ui.get();
    // PortBox order, which is the record's field order.
    m_ports[0] = {u->portAAN,  u->portA1000F,  u->portA100F,   u->portA100H,   u->portA10F,
                  u->portA10H, u->portAAPause, u->portASPause, u->portAMaster, u->portAForceMS};
    m_ports[1] = {u->portBAN,  u->portB1000F,  u->portB100F,   u->portB100H,   u->portB10F,
                  u->portB10H, u->portBAPause, u->portBSPause, u->portBMaster, u->portBForceMS};

    // Shown only for devices that power their ports.
    u->groupBox_14->hide();
    connect(u->features_save_btn2, &QPushButton::clicked, this, &NetworkPortsPanel::signal_save_clicked);
    connect(u->network_default_button, &QPushButton::clicked, this, &NetworkPortsPanel::signal_defaults_clicked);

    // Value columns wide enough for the largest MDI total, so no cell elides.
    const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("18446744073709551615")) + 24;
    int labelWidth = 0;
    for (QTableWidget *table : {u->physRegsTable1, u->physRegsTable2, u->physRegsTable3}) {
        QHeaderView *rows = table->verticalHeader();
        rows->setMinimumSectionSize(fontMetrics().height() + 4);
        rows->setDefaultSectionSize(fontMetrics().height() + 6);
        rows->setSectionResizeMode(QHeaderView::Fixed);
        table->resizeColumnToContents(0);
        labelWidth = std::max(labelWidth, table->columnWidth(0));
        QHeaderView *columns = table->horizontalHeader();
        columns->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column : kValueColumns) {
            columns->setSectionResizeMode(column, QHeaderView::Fixed);
            columns->resizeSection(column, valueWidth);
        }
        fitHeight(table);
    }
    // Status figures go into tickets as text: Ctrl+C and the context menu.
    for (QTableWidget *table : {u->physRegsTable1, u->physRegsTable2, u->physRegsTable3})
        ReportActions::enableTableCopy(table);
    for (QTableWidget *table : {u->physRegsTable1, u->physRegsTable2, u->physRegsTable3})
        table->setMinimumWidth(labelWidth + 2 * valueWidth + 2 * table->frameWidth());
    for (QLabel *header : {u->label_25, u->label_24})
        header->setFixedWidth(valueWidth);
    u->portHeaderRow->setContentsMargins(0, 0, u->physRegsTable1->frameWidth(), 0);
    u->statusScroll->setMinimumWidth(u->statusContents->minimumSizeHint().width() +
                                     u->statusScroll->verticalScrollBar()->sizeHint().width());
}

NetworkPortsPanel::~NetworkPortsPanel() = default;

void NetworkPortsPanel::fitHeight(QTableWidget *table)
{
    // The tables never scroll on their own: the status area scrolls as a
    // whole, so the Port A / Port B headings stay over every table.
    table->setFixedHeight(table->verticalHeader()->length() + 2 * table->frameWidth());
}

QList<QAbstractButton *> NetworkPortsPanel::applyButtons() const
{
    QList<QAbstractButton *> buttons;
    for (const PortRow &row : m_ports) {
        for (QCheckBox *box : row)
            buttons << box;
    }
    buttons << m_ui->spanModeCheckbox << m_ui->loopbackCheckBox;
    return buttons;
}

void NetworkPortsPanel::interlock(QObject *clicked, uint32_t caps)
{
    if (!clicked || !(caps & LQ_CAP_PER_PORT_LINK))
        return;
    for (const PortRow &row : m_ports) {
        const auto it = std::find(row.begin(), row.end(), clicked);
        if (it == row.end())
            continue;
        const auto box = static_cast<PortBox>(it - row.begin());
        const PortSettings::InterlockResult result = PortSettings::interlock(readBoxes(row), box);
        writeBoxes(row, result.checked);
        if (result.negotiationBoxesEnabled) {
            for (int i = 0; i < PortSettings::kPortBoxCount; ++i) {
                if (PortSettings::needsAutoNegotiation(static_cast<PortBox>(i)))
                    row[i]->setEnabled(*result.negotiationBoxesEnabled);
            }
        }
    }
}

DevicePortsSpeed NetworkPortsPanel::portsSpeed(uint32_t tapMode) const
{
    return PortSettings::buildPortsSpeed(readBoxes(m_ports[0]), readBoxes(m_ports[1]), tapMode);
}

void NetworkPortsPanel::readFeatures(DeviceFeatures *features, uint32_t caps) const
{
    if (caps & LQ_CAP_SFP)
        return;
    PortSettings::storeSpanLoopback(features, caps, m_ui->spanModeCheckbox->isChecked(),
                                    m_ui->loopbackCheckBox->isChecked());
}

void NetworkPortsPanel::showFeatures(const DeviceFeatures &features, const DevicePortsSpeed &ports, uint32_t caps)
{
    setChecked(m_ui->loopbackCheckBox, PortSettings::loopbackShown(features, caps));
    setChecked(m_ui->spanModeCheckbox, PortSettings::spanShown(features, caps));
    writeBoxes(m_ports[0], PortSettings::fromSettings(ports.portA));
    writeBoxes(m_ports[1], PortSettings::fromSettings(ports.portB));
}

void NetworkPortsPanel::setDefaults()
{
    const PortBoxes defaults = PortSettings::defaultPortBoxes();
    for (const PortRow &row : m_ports)
        writeBoxes(row, defaults);
    setChecked(m_ui->loopbackCheckBox, false);
}

void NetworkPortsPanel::showStatus(const LinkStatus &link, uint32_t caps)
{
    QTableWidget *linkTable = m_ui->physRegsTable1;
    QTableWidget *partnerTable = m_ui->physRegsTable2;
    QTableWidget *faultTable = m_ui->physRegsTable3;

    if (!(caps & LQ_CAP_PER_PORT_LINK)) {
        for (QTableWidget *table : {linkTable, partnerTable, faultTable}) {
            for (int row = 0; row < table->rowCount(); ++row) {
                for (int column : kValueColumns)
                    setCell(table, row, column, QString());
            }
        }
        return;
    }

    const struct {
        uint32_t speed;
        uint32_t duplex;
        const PortPhyStatus &phy;
    } ports[2] = {
        {link.portASpeed, link.portADuplex, link.portAPhy},
        {link.portBSpeed, link.portBDuplex, link.portBPhy},
    };
    for (int port = 0; port < 2; ++port) {
        const int column = kValueColumns[port];
        const PortSettings::PhyTexts texts =
            PortSettings::phyTexts(ports[port].phy, ports[port].speed, m_mdiTotals[port]);
        setCell(linkTable, 0, column, PortSettings::linkText(ports[port].speed, ports[port].duplex));
        setCell(linkTable, 1, column, texts.masterSlave);
        for (int row = 0; row < PortSettings::kPartnerRows; ++row)
            setCell(partnerTable, row, column, texts.partner[row]);
        for (int row = 0; row < PortSettings::kFaultRows; ++row)
            setCell(faultTable, row, column, texts.faults[row]);
    }
}

void NetworkPortsPanel::resetMdiTotals()
{
    m_mdiTotals = {};
}

void NetworkPortsPanel::applyCapabilities(uint32_t caps, bool on, uint32_t tapMode)
{
    Ui::NetworkPortsPanel *u = m_ui.get();
    const bool span = tapMode == PortSettings::kTapModeSpanOn;

    // Save stays as the last apply left it while it may be used.
    if (!(on && (caps & LQ_CAP_CONFIGURABLE)))
        u->features_save_btn2->setEnabled(false);
    u->loopbackCheckBox->setEnabled(on && (caps & LQ_CAP_LOOPBACK) && span);

    const bool ports = on && (caps & LQ_CAP_PORT_SPEED);
    u->network_default_button->setEnabled(ports);
    u->spanModeCheckbox->setEnabled(ports);
    for (int port = 0; port < 2; ++port) {
        // In a plain tap Port B follows Port A, so its boxes are not used.
        const bool portOn = ports && (port == 0 || span);
        const PortRow &row = m_ports[port];
        const bool negotiating = row[static_cast<int>(PortBox::AutoNegotiation)]->isChecked();
        for (int i = 0; i < PortSettings::kPortBoxCount; ++i) {
            const bool needsNegotiation = PortSettings::needsAutoNegotiation(static_cast<PortBox>(i));
            row[i]->setEnabled(portOn && (!needsNegotiation || negotiating));
        }
    }

    u->groupBox_14->setVisible((caps & LQ_CAP_POE) != 0);
}

void NetworkPortsPanel::setSaveEnabled(bool enabled)
{
    m_ui->features_save_btn2->setEnabled(enabled);
}
