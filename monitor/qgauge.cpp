// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The analogue meter; see qgauge.h.

#include "qgauge.h"

#include <QPainter>

#include <algorithm>

QGauge::QGauge(QWidget *parent)
    : QWidget(parent)
{
}

QGauge::~QGauge()
{
    delete m_dial;
    delete m_needle;
}

void QGauge::setDial(const QPixmap &dial)
{
    delete m_dial;
    m_dial = new QPixmap(dial);
    update();
}

void QGauge::setNeedle(const QPixmap &needle)
{
    delete m_needle;
    m_needle = new QPixmap(needle);
    update();
}

void QGauge::setPivot(double x, double y)
{
    m_pivotX = x;
    m_pivotY = y;
    update();
}

void QGauge::setStartAngle(double degrees)
{
    m_startAngle = degrees;
    update();
}

void QGauge::setEndAngle(double degrees)
{
    m_endAngle = degrees;
    update();
}

void QGauge::setMinimum(double minimum)
{
    m_minimum = minimum;
    update();
}

void QGauge::setMaximum(double maximum)
{
    m_maximum = maximum;
    update();
}

void QGauge::setValue(double value)
{
    m_value = value < m_minimum ? m_minimum : std::min(value, m_maximum);
    update();
}

double QGauge::needleAngle() const
{
    const double k = (m_startAngle - m_endAngle) / (m_minimum - m_maximum);
    return m_value * k + (m_startAngle - k);
}

void QGauge::paintEvent(QPaintEvent *)
{
    const QRect r = rect();
    const double width = r.right() - r.left() + 1;
    const double height = r.bottom() - r.top() + 1;
    double s = 1;
    double dx = 0;
    double dy = 0;
    const auto hints = QPainter::Antialiasing | QPainter::SmoothPixmapTransform;

    if (m_dial) {
        // In the dial's own pixels, whatever resolution it was drawn at.
        const QSizeF dial = m_dial->deviceIndependentSize();
        s = std::min(width / dial.width(), height / dial.height());
        dx = (width - dial.width() * s) / 2;
        dy = (height - dial.height() * s) / 2;
        QPainter painter(this);
        painter.setRenderHints(hints);
        QTransform t;
        t.translate(dx, dy);
        t.scale(s, s);
        painter.setTransform(t);
        painter.drawPixmap(0, 0, *m_dial);
    }
    if (m_needle) {
        QPainter painter(this);
        painter.setRenderHints(hints);
        QTransform t;
        t.translate(dx, dy);
        t.scale(s, s);
        t.translate(m_pivotX, m_pivotY);
        t.rotate(needleAngle());
        t.translate(-m_pivotX, -m_pivotY);
        painter.setTransform(t);
        painter.drawPixmap(0, 0, *m_needle);
    }
}
