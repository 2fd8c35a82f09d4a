// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A small analogue meter: a dial picture with a needle picture, drawn in the
// dial's frame, turned about a pivot in proportion to the value.

#pragma once

#include <QPixmap>
#include <QWidget>

class QGauge : public QWidget {
    Q_OBJECT
public:
    explicit QGauge(QWidget *parent = nullptr);
    ~QGauge() override;

    void setDial(const QPixmap &dial);
    void setNeedle(const QPixmap &needle);
    void setPivot(double x, double y);
    void setStartAngle(double degrees);
    void setEndAngle(double degrees);
    void setMinimum(double minimum);
    void setMaximum(double maximum);
    // Kept within [minimum, maximum].
    void setValue(double value);

    double value() const { return m_value; }
    // Clockwise degrees of the needle for the current value. The meter's
    // formula puts the needle one unit low (start + (value - 1) * k): at value
    // 0 of a 0..100 over 0..93 degree gauge it stands at -0.93 degrees.
    double needleAngle() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap *m_dial = nullptr;
    QPixmap *m_needle = nullptr;
    double m_pivotX = 0;
    double m_pivotY = 0;
    double m_startAngle = 0;
    double m_endAngle = 360;
    double m_minimum = 0;
    double m_maximum = 100;
    double m_value = 0;
};
