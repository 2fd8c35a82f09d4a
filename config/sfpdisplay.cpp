// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SFP tab's module display; see sfpdisplay.h.

#include "sfpdisplay.h"

#include "reportactions.h"
#include "sfpoptions.h"
#include "sfpreport.h"
#include "sfptexts.h"
#include "sfptransceiver.h"
#include "ui_sfpdisplay.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <cstring>

namespace {

template <typename T> T *widgetAt(const QGridLayout *grid, int row, int column)
{
    const QLayoutItem *item = grid->itemAtPosition(row, column);
    return item ? qobject_cast<T *>(item->widget()) : nullptr;
}

// Grids stacked above one another start their value columns at the same
// place when their label columns are equally wide.
void alignLabelColumns(std::initializer_list<QGridLayout *> grids)
{
    int width = 0;
    for (const QGridLayout *grid : grids) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            const QLayoutItem *item = grid->itemAtPosition(row, 0);
            if (item && item->widget() && qobject_cast<const QLabel *>(item->widget()))
                width = std::max(width, item->widget()->sizeHint().width());
        }
    }
    for (QGridLayout *grid : grids)
        grid->setColumnMinimumWidth(0, width);
}

void setText(QLabel *label, const QString &text)
{
    if (label)
        label->setText(text);
}

constexpr SfpTexts::Threshold kThresholdColumns[] = {SfpTexts::Threshold::LowAlarm, SfpTexts::Threshold::LowWarning,
                                                     SfpTexts::Threshold::HighWarning, SfpTexts::Threshold::HighAlarm};

} // namespace

SFPDisplay::SFPDisplay(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::SFPDisplay>())
{
    m_ui->setupUi(this);
    // Cell (group, row, port) sits in grid row 2·row + 1 and column port + 1;
    // the even rows hold the separator lines.
    const QGridLayout *groups[GroupCount] = {m_ui->identityTable, m_ui->rateTable, m_ui->typeTable, m_ui->lengthTable};
    const QGridLayout *measures[2] = {m_ui->measuresTableA, m_ui->measuresTableB};
    const QGridLayout *flags[2] = {m_ui->alarmTableA, m_ui->alarmTableB};
    for (int p = 0; p < 2; ++p) {
        Port &port = m_ports[size_t(p)];
        for (int g = 0; g < GroupCount; ++g) {
            for (int r = 0; r < kMaxRows; ++r)
                port.cells[size_t(g)][size_t(r)] = widgetAt<QLabel>(groups[g], 2 * r + 1, p + 1);
        }
        for (int r = 0; r < kMeasures; ++r) {
            for (int c = 0; c < kColumns; ++c)
                port.measures[size_t(r)][size_t(c)] = widgetAt<QLabel>(measures[p], 2 * r + 1, c + 1);
        }
        for (int r = 0; r < kFlagRows; ++r)
            port.flags[size_t(r)] = widgetAt<QLabel>(flags[p], 2 * r + 1, 1);
    }
    // Vendor, model and serial come from the module's memory as any bytes it
    // holds; a label left to guess its format would draw "<b>…" as markup.
    const auto plain = [](QLabel *cell) {
        if (cell)
            cell->setTextFormat(Qt::PlainText);
    };
    for (Port &port : m_ports) {
        for (auto &group : port.cells)
            std::for_each(group.begin(), group.end(), plain);
        for (auto &row : port.measures)
            std::for_each(row.begin(), row.end(), plain);
        std::for_each(port.flags.begin(), port.flags.end(), plain);
    }
    alignLabelColumns({m_ui->identityTable, m_ui->rateTable});
    alignLabelColumns({m_ui->typeTable, m_ui->lengthTable});
    alignLabelColumns({m_ui->measuresTableA, m_ui->alarmTableA});
    alignLabelColumns({m_ui->measuresTableB, m_ui->alarmTableB});

    m_ports[0].buttons = {m_ui->transceiverButtonA, m_ui->optionsButtonA, m_ui->enhancedOptionsButtonA};
    m_ports[1].buttons = {m_ui->transceiverButtonB, m_ui->optionsButtonB, m_ui->enhancedOptionsButtonB};

    connect(m_ui->transceiverButtonA, &QPushButton::clicked, this, &SFPDisplay::slot_ShowTransceiverA);
    connect(m_ui->transceiverButtonB, &QPushButton::clicked, this, &SFPDisplay::slot_ShowTransceiverB);
    for (QPushButton *b : {m_ui->optionsButtonA, m_ui->enhancedOptionsButtonA})
        connect(b, &QPushButton::clicked, this, &SFPDisplay::slot_ShowOptionsA);
    for (QPushButton *b : {m_ui->optionsButtonB, m_ui->enhancedOptionsButtonB})
        connect(b, &QPushButton::clicked, this, &SFPDisplay::slot_ShowOptionsB);

    // Anywhere on the tab: the modules as a report, for a support ticket.
    ReportActions::installContextMenu(this, [this](const QPoint &) {
        auto *menu = new QMenu(this);
        menu->addAction(QStringLiteral("Copy SFP report"), [this] { ReportActions::copyText(reportText()); });
        menu->addAction(QStringLiteral("Save SFP report…"), [this] {
            m_reports->saveBytes(window(), QStringLiteral("SfpReport"), QStringLiteral("SFP-report"),
                                 QStringLiteral("txt"), QStringLiteral("Text files (*.txt)"),
                                 [this] { return reportText().toUtf8(); });
        });
        return menu;
    });

    // Nothing to show in the dialogs before the first valid record.
    for (Port &port : m_ports) {
        for (QPushButton *b : port.buttons)
            b->setEnabled(false);
    }
}

SFPDisplay::~SFPDisplay() = default;

void SFPDisplay::sfpUpdate(const SfpInfo *info)
{
    if (!info || !info->valid) {
        for (Port &port : m_ports)
            clearPort(port);
        m_shown = false;
        return;
    }
    std::memcpy(&m_info, info, sizeof m_info);
    m_shown = true;
    m_shownAt = m_reports->now();
    showPort(m_ports[0], m_info.portA);
    showPort(m_ports[1], m_info.portB);
}

void SFPDisplay::clearDiagnostics(Port &port)
{
    for (auto &row : port.measures) {
        for (QLabel *cell : row)
            setText(cell, QString());
    }
    for (QLabel *cell : port.flags)
        setText(cell, QString());
}

void SFPDisplay::clearPort(Port &port)
{
    for (auto &group : port.cells) {
        for (QLabel *cell : group)
            setText(cell, QString());
    }
    clearDiagnostics(port);
}

void SFPDisplay::showPort(Port &port, const SfpPortInfo &info)
{
    namespace T = SfpTexts;
    auto cell = [&](Group g, int row) { return port.cells[size_t(g)][size_t(row)]; };
    if (!info.present) {
        clearPort(port);
        setText(cell(Identity, 0), T::presence(0));
        for (QPushButton *b : port.buttons)
            b->setEnabled(false);
        return;
    }
    for (QPushButton *b : port.buttons)
        b->setEnabled(true);

    const QString identity[] = {T::presence(info.present),      T::fieldText(info.vendorName),
                                T::vendorOui(info.vendorOui),   T::fieldText(info.model),
                                T::fieldText(info.revision),    T::fieldText(info.dateCode),
                                T::fieldText(info.serialNumber)};
    for (int r = 0; r < 7; ++r)
        setText(cell(Identity, r), identity[r]);

    const QString rate[] = {T::nominalBitRate(info.nominalBitRate), T::bitRateMargin(info.bitRateMarginUpper),
                            T::bitRateMargin(info.bitRateMarginLower), T::encoding(info.encoding),
                            T::rateIdentifier(info.rateIdentifier)};
    for (int r = 0; r < 5; ++r)
        setText(cell(Rate, r), rate[r]);

    // Rows 3, 5 and 7 hold the dialog buttons and have no text.
    setText(cell(Type, 0), T::identifier(info.identifier));
    setText(cell(Type, 1), T::extendedIdentifier(info.extendedIdentifier));
    setText(cell(Type, 2), T::connector(info.connector));
    setText(cell(Type, 4), T::wavelength(info.wavelength));
    setText(cell(Type, 6), T::monitoringType(info.diagnosticMonitoringType));
    setText(cell(Type, 8), T::sff8472Compliance(info.sff8472Compliance));

    const QString length[] = {T::lengthSingleMode(info.lengthSingleMode), T::lengthMultiMode(info.lengthOm2),
                              T::lengthMultiMode(info.lengthOm1), T::lengthCopper(info.lengthCopper),
                              T::lengthMultiMode(info.lengthOm3)};
    for (int r = 0; r < 5; ++r)
        setText(cell(Length, r), length[r]);

    if (info.diagnosticMonitoringType == T::kNoDiagnostics) {
        clearDiagnostics(port);
        return;
    }
    for (int r = 0; r < kMeasures; ++r)
        setText(port.measures[size_t(r)][kColumns - 1], T::measurement(info.value, r));

    if (info.options[T::kAlarmWarningFlagsOption] == 1) {
        for (auto &row : port.measures) {
            for (int c = 0; c < kColumns - 1; ++c)
                setText(row[size_t(c)], QString());
        }
        for (QLabel *flag : port.flags)
            setText(flag, QString());
        return;
    }
    for (int c = 0; c < kColumns - 1; ++c) {
        const SfpDiagnostics &set = T::thresholdSet(info, kThresholdColumns[c]);
        for (int r = 0; r < kMeasures; ++r)
            setText(port.measures[size_t(r)][size_t(c)], T::measurement(set, r));
    }
    setText(port.flags[0], T::warningFlags(info.flags));
    setText(port.flags[1], T::alarmFlags(info.flags));
    setText(port.flags[2], T::statusFlags(info.flags));
}

QString SFPDisplay::reportText() const
{
    SfpInfo shown{};
    if (m_shown)
        shown = m_info;
    // Stamped with the arrival of the record shown: diagnostics drift.
    const QDateTime time = m_shown ? m_shownAt : m_reports->now();
    return SfpReport::report(shown, ReportExport::headerLines(m_reports->device(), time));
}

bool SFPDisplay::saveReport(const QString &path)
{
    return ReportSaver::writeBytes(window(), path, reportText().toUtf8());
}

const SfpPortInfo &SFPDisplay::stored(int port) const
{
    return port == 0 ? m_info.portA : m_info.portB;
}

void SFPDisplay::slot_ShowTransceiverA()
{
    auto *dialog = new SFPTransceiver(this, stored(0));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void SFPDisplay::slot_ShowTransceiverB()
{
    auto *dialog = new SFPTransceiver(this, stored(1));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void SFPDisplay::slot_ShowOptionsA()
{
    auto *dialog = new SFPOptions(this, stored(0));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void SFPDisplay::slot_ShowOptionsB()
{
    auto *dialog = new SFPOptions(this, stored(1));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
