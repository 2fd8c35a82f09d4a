// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The capture time is typed as hours:minutes:seconds. Whatever the box lets
// through must become a duration in its range, and the box's own text for
// that duration must read back to it.

#include "qtimespanspinbox.h"

#include "fuzzsupport.h"

#include <algorithm>

namespace {

// The conversions are the box's protected interface to QAbstractSpinBox.
class Box : public QTimespanSpinBox {
public:
    using QTimespanSpinBox::textFromValue;
    using QTimespanSpinBox::validate;
    using QTimespanSpinBox::valueFromText;
};

Box *g_box = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startWidgetApplication(argc, argv);
    g_box = new Box;
    // The capture duration's range in the capture panel's form.
    g_box->setRange(0, 1000000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    int pos = int(text.size());
    if (g_box->validate(text, pos) != QValidator::Acceptable)
        return 0;
    const int value = std::clamp(g_box->valueFromText(text), g_box->minimum(), g_box->maximum());
    QString shown = g_box->textFromValue(value);
    pos = int(shown.size());
    fuzz::check(g_box->validate(shown, pos) == QValidator::Acceptable, "the box refuses its own text", shown);
    fuzz::check(g_box->valueFromText(shown) == value, "duration changes on its round trip",
                text + QStringLiteral(" -> ") + shown);
    return 0;
}
