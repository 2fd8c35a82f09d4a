// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// An integer spin box that holds a duration in whole seconds and shows and
// takes it as hours:minutes:seconds.

#pragma once

#include <QSpinBox>

class QTimespanSpinBox : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;

protected:
    // Never Intermediate: a part that cannot be completed to a valid time is
    // refused as it is typed, and any empty part simply counts as 0.
    QValidator::State validate(QString &input, int &pos) const override;
    int valueFromText(const QString &text) const override;
    QString textFromValue(int value) const override;
};
