// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The header filter editor; see simplefiltercontrol.h.

#include "simplefiltercontrol.h"

#include "addressparsers.h"
#include "simplefilterrecord.h"
#include "ui_simplefiltercontrol.h"

#include <QFontDatabase>
#include <QIntValidator>
#include <QSignalBlocker>

#include <algorithm>

namespace {

const QString kNeutralStyle = QStringLiteral("QLabel { }");
const QString kRefusedStyle = QStringLiteral("color: red");

void fitText(QLineEdit *edit, const QString &sample)
{
    // Room for the longest text the field takes, plus the frame and margins.
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(sample + QStringLiteral("XX")) + 12);
}

} // namespace

SimpleFilterControl::SimpleFilterControl(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::SimpleFilterControl>())
{
    m_ui->setupUi(this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (QLineEdit *edit : {m_ui->srcMacTB, m_ui->dstMacTB, m_ui->srcIpTB, m_ui->dstIpTB}) {
        edit->setFont(fixed);
    }
    for (QLineEdit *edit : {m_ui->srcMacTB, m_ui->dstMacTB}) {
        edit->setValidator(new QMacValidator(edit));
        edit->setToolTip(tr("Six bytes in hexadecimal separated by \":\", \"**\" for any value, "
                            "e.g. 00:1a:**:33:44:55"));
        fitText(edit, QStringLiteral("XX:XX:XX:XX:XX:XX"));
    }
    for (QLineEdit *edit : {m_ui->srcIpTB, m_ui->dstIpTB}) {
        edit->setValidator(new QIpValidator(edit, true, true));
        edit->setToolTip(tr("An IPv4 or IPv6 address as chosen beside it, \"*\" for any byte, "
                            "e.g. 192.168.*.1 or fe80::**12"));
        fitText(edit, QStringLiteral("XXXX:XXXX:XXXX:XXXX:XXXX:XXXX:XXXX:XXXX"));
    }
    for (QLineEdit *edit : {m_ui->srcPortTB, m_ui->dstPortTB}) {
        edit->setValidator(new QIntValidator(0, 65535, edit));
        edit->setToolTip(tr("A TCP or UDP port, 0 to 65535"));
        fitText(edit, QStringLiteral("65535"));
    }
    // The rows line up on the longest label, whichever rows are hidden.
    int labelWidth = 0;
    for (QLabel *label : {m_ui->dstMACLabel, m_ui->dstIPLabel, m_ui->dstPortLabel})
        labelWidth = std::max(labelWidth, label->sizeHint().width());
    m_ui->filterGrid->setColumnMinimumWidth(1, labelWidth);
    refresh();
}

SimpleFilterControl::~SimpleFilterControl() = default;

void SimpleFilterControl::setFilter(const PacketFilter &filter)
{
    m_filter = filter;
    {
        const QSignalBlocker blocker(m_ui->ipVersionCB);
        m_ui->ipVersionCB->setCurrentIndex((filter.fields & LQ_FILTER_IPV6) ? 1 : 0);
    }
    const SimpleFilterRecord::Texts t = SimpleFilterRecord::texts(filter);
    m_ui->srcMacTB->setText(t.srcMac);
    m_ui->dstMacTB->setText(t.dstMac);
    m_ui->srcIpTB->setText(t.srcIp);
    m_ui->dstIpTB->setText(t.dstIp);
    m_ui->srcPortTB->setText(t.srcPort);
    m_ui->dstPortTB->setText(t.dstPort);
    refresh();
}

int SimpleFilterControl::buildFilter(PacketFilter *filter)
{
    const struct {
        uint32_t bit;
        QLineEdit *edit;
    } fields[] = {
        {LQ_FILTER_SRC_MAC, m_ui->srcMacTB},   {LQ_FILTER_DST_MAC, m_ui->dstMacTB},
        {LQ_FILTER_SRC_IP, m_ui->srcIpTB},     {LQ_FILTER_DST_IP, m_ui->dstIpTB},
        {LQ_FILTER_SRC_PORT, m_ui->srcPortTB}, {LQ_FILTER_DST_PORT, m_ui->dstPortTB},
    };
    for (const auto &f : fields)
        f.edit->setStyleSheet(kNeutralStyle);

    uint16_t modes = 0;
    if (m_ui->macModeCB->currentIndex() == 1)
        modes |= LQ_FILTER_MODE_MAC;
    if (m_ui->ipModeCB->currentIndex() == 1)
        modes |= LQ_FILTER_MODE_IP;
    if (m_ui->portModeCB->currentIndex() == 1)
        modes |= LQ_FILTER_MODE_PORT;

    SimpleFilterRecord::Texts texts;
    texts.srcMac = m_ui->srcMacTB->text();
    texts.dstMac = m_ui->dstMacTB->text();
    texts.srcIp = m_ui->srcIpTB->text();
    texts.dstIp = m_ui->dstIpTB->text();
    texts.srcPort = m_ui->srcPortTB->text();
    texts.dstPort = m_ui->dstPortTB->text();
    const SimpleFilterRecord::Built built = SimpleFilterRecord::build(m_filter.fields, modes, texts);

    for (const auto &f : fields) {
        if (built.invalid & f.bit)
            f.edit->setStyleSheet(kRefusedStyle);
    }
    *filter = built.filter;
    return built.invalid ? -1 : 0;
}

void SimpleFilterControl::on_srcMacCB_stateChanged(int state)
{
    setField(LQ_FILTER_SRC_MAC, state);
}
void SimpleFilterControl::on_dstMacCB_stateChanged(int state)
{
    setField(LQ_FILTER_DST_MAC, state);
}
void SimpleFilterControl::on_srcIpCB_stateChanged(int state)
{
    setField(LQ_FILTER_SRC_IP, state);
}
void SimpleFilterControl::on_dstIpCB_stateChanged(int state)
{
    setField(LQ_FILTER_DST_IP, state);
}
void SimpleFilterControl::on_srcPortCB_stateChanged(int state)
{
    setField(LQ_FILTER_SRC_PORT, state);
}
void SimpleFilterControl::on_dstPortCB_stateChanged(int state)
{
    setField(LQ_FILTER_DST_PORT, state);
}

void SimpleFilterControl::on_ipVersionCB_currentIndexChanged(int index)
{
    if (index != 0)
        m_filter.fields |= LQ_FILTER_IPV6;
    else
        m_filter.fields &= ~uint32_t(LQ_FILTER_IPV6);
    refresh();
}

void SimpleFilterControl::on_macModeCB_currentIndexChanged(int index)
{
    setMode(LQ_FILTER_MODE_MAC, index);
}
void SimpleFilterControl::on_ipModeCB_currentIndexChanged(int index)
{
    setMode(LQ_FILTER_MODE_IP, index);
}
void SimpleFilterControl::on_portModeCB_currentIndexChanged(int index)
{
    setMode(LQ_FILTER_MODE_PORT, index);
}

void SimpleFilterControl::setField(uint32_t bit, int state)
{
    if (state == Qt::Checked)
        m_filter.fields |= bit;
    else
        m_filter.fields &= ~bit;
    refresh();
}

void SimpleFilterControl::setMode(uint16_t bit, int index)
{
    if (index != 0)
        m_filter.modes |= bit;
    else
        m_filter.modes &= uint16_t(~bit);
    refresh();
}

void SimpleFilterControl::refresh()
{
    const struct {
        uint16_t mode;
        QComboBox *combo;
        uint32_t srcBit, dstBit;
        QCheckBox *srcBox, *dstBox;
        QLabel *srcLabel, *dstLabel;
        QLineEdit *srcEdit, *dstEdit;
        QString single, source;
    } criteria[] = {
        {LQ_FILTER_MODE_MAC, m_ui->macModeCB, LQ_FILTER_SRC_MAC, LQ_FILTER_DST_MAC, m_ui->srcMacCB, m_ui->dstMacCB,
         m_ui->srcMACLabel, m_ui->dstMACLabel, m_ui->srcMacTB, m_ui->dstMacTB, tr("MAC"), tr("Source MAC")},
        {LQ_FILTER_MODE_IP, m_ui->ipModeCB, LQ_FILTER_SRC_IP, LQ_FILTER_DST_IP, m_ui->srcIpCB, m_ui->dstIpCB,
         m_ui->srcIPLabel, m_ui->dstIPLabel, m_ui->srcIpTB, m_ui->dstIpTB, tr("IP"), tr("Source IP")},
        {LQ_FILTER_MODE_PORT, m_ui->portModeCB, LQ_FILTER_SRC_PORT, LQ_FILTER_DST_PORT, m_ui->srcPortCB,
         m_ui->dstPortCB, m_ui->srcPortLabel, m_ui->dstPortLabel, m_ui->srcPortTB, m_ui->dstPortTB, tr("Port"),
         tr("Source Port")},
    };
    for (const auto &c : criteria) {
        const bool either = m_filter.modes & c.mode;
        {
            const QSignalBlocker blocker(c.combo);
            c.combo->setCurrentIndex(either ? 1 : 0);
        }
        c.dstBox->setVisible(!either);
        c.dstLabel->setVisible(!either);
        c.dstEdit->setVisible(!either);
        c.srcLabel->setText(either ? c.single : c.source);

        const bool src = m_filter.fields & c.srcBit;
        const bool dst = m_filter.fields & c.dstBit;
        {
            const QSignalBlocker srcBlocker(c.srcBox);
            const QSignalBlocker dstBlocker(c.dstBox);
            c.srcBox->setChecked(src);
            c.dstBox->setChecked(dst);
        }
        c.srcEdit->setEnabled(src);
        c.dstEdit->setEnabled(dst);
    }
}
