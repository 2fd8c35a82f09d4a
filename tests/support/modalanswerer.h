// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: answers the modal message boxes the window opens, and keeps
// their titles and texts for the test to check. Nothing is left hanging.

#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    // answer: the button to press in every box (Ok, Yes, No...).
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok)
        : m_answer(answer)
    {
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_timer.start();
    }

    void setAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }

    QStringList titles;
    QStringList texts;
    QList<QMessageBox::Icon> icons;

private slots:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        titles.append(box->windowTitle());
        texts.append(box->text());
        icons.append(box->icon());
        QAbstractButton *button = box->button(m_answer);
        if (!button)
            button = box->buttons().value(0);
        button->click();
    }

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
};
