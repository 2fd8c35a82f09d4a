// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Log" tab; see logpanel.h.

#include "logpanel.h"

#include "reportactions.h"
#include "ui_logpanel.h"

#include <QMenu>

LogPanel::LogPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::LogPanel>())
{
    m_ui->setupUi(this); // connects log_clear_btn by name
    // The text edit's own entries (copy, select all) stay; saving joins them.
    QTextEdit *log = m_ui->log_txt;
    ReportActions::installContextMenu(log, [this, log](const QPoint &pos) {
        QMenu *menu = log->createStandardContextMenu(pos);
        menu->setParent(log, menu->windowFlags());
        menu->addSeparator();
        menu->addAction(QStringLiteral("Save log as text…"), [this] {
            m_reports->saveBytes(window(), QStringLiteral("Log"), QStringLiteral("log"), QStringLiteral("txt"),
                                 QStringLiteral("Text files (*.txt)"), [this] { return logBytes(); });
        });
        return menu;
    });
}

LogPanel::~LogPanel() = default;

void LogPanel::append(const QString &line)
{
    m_ui->log_txt->append(line);
}

AlarmSettings LogPanel::alarmSettings() const
{
    AlarmSettings settings;
    settings.bandwidth[0] = {m_ui->log_a_bw_check->isChecked(), m_ui->log_a_bw_val->value()};
    settings.crcErrors[0] = {m_ui->log_a_crc_check->isChecked(), m_ui->log_a_crc_val->value()};
    settings.bandwidth[1] = {m_ui->log_b_bw_check->isChecked(), m_ui->log_b_bw_val->value()};
    settings.crcErrors[1] = {m_ui->log_b_crc_check->isChecked(), m_ui->log_b_crc_val->value()};
    return settings;
}

void LogPanel::evaluateAlarms(const StatisticsSample &newest, const std::array<double, 2> &usage, const QString &stamp)
{
    if (m_rebaseAlarms) {
        m_alarmBaseline = newest;
        m_rebaseAlarms = false;
        return;
    }
    for (const QString &line : alarmLines(newest - m_alarmBaseline, usage, alarmSettings(), stamp))
        append(line);
    m_alarmBaseline = newest;
}

QByteArray LogPanel::logBytes() const
{
    QString text = m_ui->log_txt->toPlainText();
    // A text file ends with a line break, so that tools count its last line.
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    return text.toUtf8();
}

bool LogPanel::saveLog(const QString &path)
{
    return ReportSaver::writeBytes(window(), path, logBytes());
}

void LogPanel::on_log_clear_btn_clicked()
{
    m_ui->log_txt->setPlainText(QString());
}
