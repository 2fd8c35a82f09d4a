// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The configurable-counter rule dialog; see counterv2editor.h.

#include "counterv2editor.h"

#include "addressparsers.h"
#include "counterv2config.h"
#include "ui_counterv2editor.h"

#include <QIntValidator>
#include <QMessageBox>

namespace {

const QString kIpv4Open = QStringLiteral("*.*.*.*");
const QString kIpv6Open = QStringLiteral("****:****:****:****:****:****:****:****");

Qt::CheckState checkState(int32_t triState)
{
    switch (triState) {
    case CounterV2::Checked:
        return Qt::Checked;
    case CounterV2::Unchecked:
        return Qt::Unchecked;
    default:
        return Qt::PartiallyChecked;
    }
}

int32_t triState(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return CounterV2::Checked;
    case Qt::Unchecked:
        return CounterV2::Unchecked;
    default:
        return CounterV2::DontCare;
    }
}

} // namespace

CounterV2Editor::CounterV2Editor(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CounterV2Editor>()), m_config(CounterV2::defaultConfig())
{
    m_ui->setupUi(this);
    m_ui->ipv4TB->setValidator(new QIpValidator(this, true, false));
    m_ui->ipv6TB->setValidator(new QIpValidator(this, false, true));
    // Larger than any frame a port can carry, so no valid size is refused.
    m_ui->sizeTB->setValidator(new QIntValidator(0, 65535, this));
    connect(m_ui->ipv4TB, &QLineEdit::textChanged, this, &CounterV2Editor::updateAddressBoxes);
    connect(m_ui->ipv6TB, &QLineEdit::textChanged, this, &CounterV2Editor::updateAddressBoxes);
    setConfig(m_config);
}

CounterV2Editor::~CounterV2Editor() = default;

void CounterV2Editor::setConfig(const CounterV2Config &config)
{
    m_config = config;
    setWindowTitle(tr("Edit Counter %1").arg(config.index));
    m_ui->port1CB->setChecked(config.portA == 1);
    m_ui->port2CB->setChecked(config.portB == 1);
    m_ui->modeCBox->setCurrentIndex(config.countingMode != 0 ? 1 : 0);
    const std::pair<QCheckBox *, int32_t> boxes[] = {
        {m_ui->ipv4CB, config.ipv4},       {m_ui->ipv6CB, config.ipv6},       {m_ui->ucastCB, config.unicast},
        {m_ui->mcastCB, config.multicast}, {m_ui->bcastCB, config.broadcast}, {m_ui->icmpCB, config.icmp},
        {m_ui->udpCB, config.udp},         {m_ui->tcpCB, config.tcp},         {m_ui->crcCB, config.crcValid},
    };
    for (const auto &[box, value] : boxes)
        box->setCheckState(checkState(value));

    const bool v4 = config.ipv4 == CounterV2::Checked && config.ipv6 != CounterV2::Checked;
    const bool v6 = config.ipv6 == CounterV2::Checked && config.ipv4 != CounterV2::Checked;
    m_ui->ipv4TB->setText(v4 ? CounterV2::familyAddressText(config, false) : kIpv4Open);
    m_ui->ipv6TB->setText(v6 ? CounterV2::familyAddressText(config, true) : kIpv6Open);
    updateAddressBoxes();

    m_ui->sizeCBox->setCurrentIndex(qBound(0, config.sizeMode + 1, m_ui->sizeCBox->count() - 1));
    m_ui->sizeTB->setText(QString::number(config.size));
    on_sizeCBox_currentIndexChanged(m_ui->sizeCBox->currentIndex());
}

int CounterV2Editor::addressFamilyInUse() const
{
    const bool v4 = m_ui->ipv4CB->checkState() == Qt::Checked;
    const bool v6 = m_ui->ipv6CB->checkState() == Qt::Checked;
    return v4 && !v6 ? 4 : v6 && !v4 ? 6 : 0;
}

QString CounterV2Editor::addressProblem() const
{
    const int family = addressFamilyInUse();
    if (family == 0)
        return QString();
    const QString text = (family == 4 ? m_ui->ipv4TB : m_ui->ipv6TB)->text();
    CounterV2::AddressBytes address, mask;
    if (CounterV2::parseFamilyAddress(text, family == 6, address, mask))
        return QString();
    return tr("\"%1\" is not a complete IPv%2 address; the counter would match any address.").arg(text).arg(family);
}

void CounterV2Editor::updateAddressBoxes()
{
    const int family = addressFamilyInUse();
    m_ui->ipv4TB->setEnabled(family == 4);
    m_ui->ipv6TB->setEnabled(family == 6);
    QString hint = addressProblem();
    if (hint.isEmpty() && m_ui->ipv4CB->checkState() == Qt::Checked && m_ui->ipv6CB->checkState() == Qt::Checked)
        hint = tr("No packet is both IPv4 and IPv6: with both required, the address is not used.");
    m_ui->addressHint->setText(hint);
    m_ui->addressHint->setVisible(!hint.isEmpty());
}

void CounterV2Editor::on_ipv4CB_stateChanged(int)
{
    updateAddressBoxes();
}

void CounterV2Editor::on_ipv6CB_stateChanged(int)
{
    updateAddressBoxes();
}

void CounterV2Editor::on_sizeCBox_currentIndexChanged(int index)
{
    m_ui->sizeTB->setEnabled(index != 0);
}

void CounterV2Editor::on_buttonBox_accepted()
{
    // An address the operator typed is not dropped without asking.
    const QString problem = addressProblem();
    if (!problem.isEmpty() &&
        QMessageBox::question(this, tr("Incomplete address"),
                              problem + tr("\n\nSave the counter without an address rule?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
        (addressFamilyInUse() == 4 ? m_ui->ipv4TB : m_ui->ipv6TB)->setFocus();
        return;
    }

    m_config.portA = m_ui->port1CB->isChecked() ? 1 : 0;
    m_config.portB = m_ui->port2CB->isChecked() ? 1 : 0;
    m_config.countingMode = m_ui->modeCBox->currentIndex() != 0 ? 1 : 0;
    std::fill(std::begin(m_config.address), std::end(m_config.address), uint8_t(0));
    std::fill(std::begin(m_config.mask), std::end(m_config.mask), uint8_t(0));
    m_config.ipv4 = triState(m_ui->ipv4CB);
    m_config.ipv6 = triState(m_ui->ipv6CB);
    if (const int family = addressFamilyInUse()) {
        CounterV2::AddressBytes address, mask;
        if (CounterV2::parseFamilyAddress((family == 4 ? m_ui->ipv4TB : m_ui->ipv6TB)->text(), family == 6, address,
                                          mask)) {
            std::copy(std::begin(address), std::end(address), m_config.address);
            std::copy(std::begin(mask), std::end(mask), m_config.mask);
        }
    }
    m_config.unicast = triState(m_ui->ucastCB);
    m_config.multicast = triState(m_ui->mcastCB);
    m_config.broadcast = triState(m_ui->bcastCB);
    m_config.icmp = triState(m_ui->icmpCB);
    m_config.udp = triState(m_ui->udpCB);
    m_config.tcp = triState(m_ui->tcpCB);
    m_config.crcValid = triState(m_ui->crcCB);
    m_config.sizeMode = m_ui->sizeCBox->currentIndex() - 1;
    m_config.size = m_config.sizeMode == CounterV2::AnySize ? 0 : m_ui->sizeTB->text().toUInt();
    accept();
}

void CounterV2Editor::on_buttonBox_rejected()
{
    reject();
}
