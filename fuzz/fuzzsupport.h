// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Shared pieces of the fuzz targets: a Qt application on the offscreen
// platform for the targets that build widgets, and a check that aborts with a
// message, so that a broken round trip is a finding libFuzzer keeps.

#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzz {

// Called from LLVMFuzzerInitialize. The application lives until the process
// ends: widgets are built on every input, and Qt wants one application only.
inline void startWidgetApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Font and style warnings would drown libFuzzer's own lines.
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
    static std::unique_ptr<QApplication> app = std::make_unique<QApplication>(*argc, *argv);
}

[[noreturn]] inline void fail(const char *what, const QString &detail = {})
{
    std::fprintf(stderr, "fuzz check failed: %s %s\n", what, detail.toUtf8().constData());
    std::abort();
}

inline void check(bool condition, const char *what, const QString &detail = {})
{
    if (!condition)
        fail(what, detail);
}

} // namespace fuzz
