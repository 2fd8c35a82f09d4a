// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Filters" tab; see filterspanel.h.

#include "filterspanel.h"

#include "filtercontrol.h"
#include "simplefiltercontrol.h"
#include "ui_filterspanel.h"

#include <QMessageBox>
#include <QSignalBlocker>

FiltersPanel::FiltersPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::FiltersPanel>())
{
    m_ui->setupUi(this);
    connect(m_ui->filterCtrl, &FilterControl::signal_filterChanged, this, &FiltersPanel::slot_filterChanged);
    // Until a device answers, the editors keep their form texts and stay off.
    resetControls();
}

FiltersPanel::~FiltersPanel() = default;

void FiltersPanel::setCurrentHandle(uint64_t handle)
{
    if (handle == m_handle)
        return;
    m_handle = handle;
    m_lastDpi = DpiFilter{};
    m_ui->simpleFilterCtrl->setFilter(PacketFilter{});
    m_ui->filterCtrl->setFilter(DpiFilter{}, FilterControl::kPatternBytes);
    resetControls();
}

void FiltersPanel::resetControls()
{
    for (QCheckBox *box : {m_ui->enableSimpleFiltersCB, m_ui->enableFiltersCheckBox}) {
        const QSignalBlocker blocker(box);
        box->setChecked(false);
    }
    const QList<QWidget *> controls{m_ui->simpleFilterCtrl,    m_ui->filterCtrl,       m_ui->setSimpleFiltersBT,
                                    m_ui->saveSimpleFiltersBT, m_ui->setFiltersButton, m_ui->saveFiltersButton};
    for (QWidget *w : controls)
        w->setEnabled(false);
}

void FiltersPanel::applyCapabilities(uint32_t caps, bool on)
{
    const bool filters = on && (caps & LQ_CAP_FILTERS);
    m_ui->groupBox_17->setEnabled(filters);
    m_ui->groupBox_21->setEnabled(filters);
}

void FiltersPanel::on_enableSimpleFiltersCB_toggled(bool checked)
{
    m_ui->simpleFilterCtrl->setEnabled(checked);
    m_ui->setSimpleFiltersBT->setEnabled(checked);
    sendSimpleFilter();
    m_ui->saveSimpleFiltersBT->setEnabled(true);
}

void FiltersPanel::on_setSimpleFiltersBT_clicked()
{
    sendSimpleFilter();
    m_ui->saveSimpleFiltersBT->setEnabled(true);
}

void FiltersPanel::on_saveSimpleFiltersBT_clicked()
{
    sendSimpleFilter();
    // Stored even when the edit was refused: the device keeps the filter it
    // already has, which is what the operator last saw working.
    if (m_handle != kNoDeviceHandle)
        emit signal_save_simplefilter(makeRequest(m_handle));
    m_ui->saveSimpleFiltersBT->setEnabled(false);
}

void FiltersPanel::slot_simpleFilterReceived(StatsThreadInfo info)
{
    if (info.handle != m_handle)
        return;
    m_ui->simpleFilterCtrl->setFilter(info.packetFilter);
    const bool enabled = info.packetFilter.enabled == 1;
    m_ui->setSimpleFiltersBT->setEnabled(enabled);
    m_ui->simpleFilterCtrl->setEnabled(enabled);
    // A change of the box runs its handler as a click would: the device's
    // filter goes back with the new state and "Save" becomes available.
    m_ui->enableSimpleFiltersCB->setChecked(enabled);
}

void FiltersPanel::on_enableFiltersCheckBox_toggled(bool checked)
{
    m_ui->filterCtrl->setEnabled(checked);
    m_ui->setFiltersButton->setEnabled(checked);
    sendDpiFilter();
    m_ui->saveFiltersButton->setEnabled(true);
}

void FiltersPanel::on_setFiltersButton_clicked()
{
    sendDpiFilter();
    m_ui->saveFiltersButton->setEnabled(true);
}

void FiltersPanel::on_saveFiltersButton_clicked()
{
    sendDpiFilter();
    if (m_handle != kNoDeviceHandle)
        emit signal_save_dpifilter(makeRequest(m_handle));
    m_ui->saveFiltersButton->setEnabled(false);
}

void FiltersPanel::slot_filterChanged()
{
    m_ui->setFiltersButton->setEnabled(true);
}

void FiltersPanel::slot_DPIFilterReceived(StatsThreadInfo info)
{
    if (info.handle != m_handle)
        return;
    m_lastDpi = info.dpiFilter;
    m_ui->filterCtrl->setFilter(info.dpiFilter, FilterControl::kPatternBytes);
    const bool enabled = info.dpiFilter.enabled == 1;
    m_ui->setFiltersButton->setEnabled(enabled);
    m_ui->filterCtrl->setEnabled(enabled);
    m_ui->enableFiltersCheckBox->setChecked(enabled);
}

void FiltersPanel::sendSimpleFilter()
{
    if (m_handle == kNoDeviceHandle)
        return;
    StatsThreadInfo info = makeRequest(m_handle);
    if (m_ui->simpleFilterCtrl->buildFilter(&info.packetFilter) < 0) {
        QMessageBox::critical(this, QStringLiteral("LumenQuill Manager"),
                              tr("Invalid parameter.\nPlease correct the highlighted values."));
        return;
    }
    info.packetFilter.enabled = m_ui->enableSimpleFiltersCB->isChecked() ? 1 : 0;
    emit signal_set_simplefilter(info);
}

void FiltersPanel::sendDpiFilter()
{
    if (m_handle == kNoDeviceHandle)
        return;
    StatsThreadInfo info = makeRequest(m_handle);
    info.dpiFilter = m_lastDpi;
    // Whether the editor is switched on, not whether the whole tab happens
    // to be disabled around it.
    info.dpiFilter.enabled = m_ui->filterCtrl->isEnabledTo(m_ui->groupBox_21) ? 1 : 0;
    m_ui->filterCtrl->buildFilter(&info.dpiFilter);
    emit signal_set_dpifilter(info);
}
