// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The configurable-counters tab; see countersv2panel.h.

#include "countersv2panel.h"

#include "countersample.h"
#include "counterv2config.h"
#include "counterv2control.h"
#include "ui_countersv2panel.h"

#include <QLayout>
#include <QSettings>

CountersV2Panel::CountersV2Panel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::CountersV2Panel>())
{
    m_ui->setupUi(this);
    QLayout *rows = m_ui->countersV2Container->layout();
    for (int i = 0; i < kCounters; ++i) {
        auto *row = qobject_cast<CounterV2Control *>(rows->itemAt(i + 1)->widget());
        Q_ASSERT(row);
        m_controls[std::size_t(i)] = row;
        row->setIndex(i);
        connect(row, &CounterV2Control::CounterConfigChanged, this, &CountersV2Panel::counterV2ConfigChanged);
    }

    // The header's columns line up with the rows'.
    m_ui->numberCaption->setFixedWidth(CounterV2Control::kNumberWidth);
    m_ui->ruleCaption->setFixedWidth(CounterV2Control::kRuleWidth);
    m_ui->totalCaption->setFixedWidth(CounterV2Control::kTotalWidth);
    m_ui->rateCaption->setFixedWidth(CounterV2Control::kRateWidth);
    m_ui->resetAllCountersBtn->setFixedWidth(CounterV2Control::kButtonsWidth);
    m_ui->ruleCaption->setText(
        tr("Rule: <span style=\"color:lime\">must match</span> &nbsp; <span style=\"color:red\">must not match</span>"
           " &nbsp; <span style=\"color:silver\">don't care</span>"));
    connect(m_ui->resetAllCountersBtn, &QPushButton::clicked, this, &CountersV2Panel::resetAllCounters);
}

CountersV2Panel::~CountersV2Panel() = default;

CounterV2Control *CountersV2Panel::control(int index) const
{
    return index >= 0 && index < kCounters ? m_controls[std::size_t(index)] : nullptr;
}

void CountersV2Panel::setReportSaver(ReportSaver *saver)
{
    for (CounterV2Control *row : m_controls)
        row->setReportSaver(saver);
}

void CountersV2Panel::setClock(const MonitorClock *clock)
{
    for (CounterV2Control *row : m_controls)
        row->setClock(clock);
}

void CountersV2Panel::setSettings(QSettings *settings)
{
    m_settings = settings;
}

void CountersV2Panel::setDevice(uint64_t handle, const QString &mac)
{
    m_handle = handle;
    m_mac = mac;
    loadSettings();
    if (m_handle == kNoDeviceHandle)
        return;
    for (int i = 0; i < kCounters; ++i)
        sendConfig(i);
}

void CountersV2Panel::refresh(const StatsThreadInfo &info)
{
    if (!(info.capabilities & kCapability))
        return;
    const CounterSample sample = CounterSample::from(info.statistics);
    for (CounterV2Control *row : m_controls)
        row->showSample(sample);
}

void CountersV2Panel::resetAll()
{
    for (CounterV2Control *row : m_controls)
        row->requestFullReset();
}

void CountersV2Panel::resetAllCounters()
{
    for (CounterV2Control *row : m_controls)
        row->requestReset();
}

void CountersV2Panel::counterV2ConfigChanged(int index)
{
    if (!control(index))
        return;
    saveSettings();
    if (m_handle != kNoDeviceHandle)
        sendConfig(index);
}

void CountersV2Panel::sendConfig(int index)
{
    StatsThreadInfo info = makeRequest(m_handle);
    info.counterV2Config = m_controls[std::size_t(index)]->getConfig();
    emit signal_set_v2counterconfig(info);
}

void CountersV2Panel::loadSettings()
{
    if (!m_settings || CounterV2::settingsGroup(m_mac).isEmpty())
        return;
    for (int i = 0; i < kCounters; ++i) {
        CounterV2Control *row = m_controls[std::size_t(i)];
        const auto config = CounterV2::readConfig(*m_settings, m_mac, i);
        row->setHidden(false);
        row->setIndex(i);
        row->setConfig(*config);
    }
}

void CountersV2Panel::saveSettings()
{
    if (!m_settings || CounterV2::settingsGroup(m_mac).isEmpty())
        return;
    for (const CounterV2Control *row : m_controls)
        CounterV2::writeConfig(*m_settings, m_mac, row->getConfig(), row->isHidden());
    m_settings->sync();
}
