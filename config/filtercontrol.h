// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The deep packet inspection pattern editor: sixteen bytes, each a value or a
// wildcard, shown side by side in hexadecimal (HexBox) and as characters
// (ClearBox). Both boxes are typed over in place; neither ever edits its own
// text, so the two can never disagree or lose their fixed layout.

#pragma once

#include "lumenquillapi.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QKeyEvent;
class QLineEdit;

namespace Ui {
class FilterControl;
}

class FilterControl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPatternBytes = LQ_DPI_PATTERN_BYTES;

    explicit FilterControl(QWidget *parent = nullptr);
    ~FilterControl() override;

    // Shows the first `byteCount` pattern bytes of `filter` (the rest zero)
    // with the low 16 bits of its mask. Emits nothing.
    void setFilter(const DpiFilter &filter, int byteCount);

    // Writes the pattern and the mask word into `filter`; nothing else.
    void buildFilter(DpiFilter *filter) const;

    QString hexText() const;
    QString clearText() const;

signals:
    // After every edit the operator makes in either box.
    void signal_filterChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool editHex(const QKeyEvent *key, const QString &text);
    bool editClear(const QKeyEvent *key, const QString &text);
    void readHexText();
    void writeHexText();
    void writeClearText();

    std::unique_ptr<Ui::FilterControl> m_ui;
    std::array<uint8_t, kPatternBytes> m_pattern{};
    uint32_t m_mask = 0; // bit i set: byte i is compared
    int m_pressedKey = 0;
    QString m_pressedText;
};
