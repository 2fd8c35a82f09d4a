// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: answers every modal message box with one button (Ok, Yes,
// No...) and keeps its title, text and icon for the test to check.

#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_answer(answer)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start(5);
    }
    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    // Answers for the next boxes, in order; then the standing answer again.
    void queueAnswers(const QList<QMessageBox::StandardButton> &answers) { m_queued = answers; }

    QStringList titles;
    QStringList texts;
    QStringList details; // informative texts
    QList<QMessageBox::Icon> icons;
    int mostOpenAtOnce = 0; // message boxes on screen together, at most

private slots:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        int open = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            open += qobject_cast<QMessageBox *>(w) && w->isVisible();
        mostOpenAtOnce = qMax(mostOpenAtOnce, open);
        titles.append(box->windowTitle());
        texts.append(box->text());
        details.append(box->informativeText());
        icons.append(box->icon());
        QAbstractButton *button = box->button(m_queued.isEmpty() ? m_answer : m_queued.takeFirst());
        (button ? button : box->buttons().value(0))->click();
    }

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    QList<QMessageBox::StandardButton> m_queued;
};
