// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test helper: starts a firmware update of the image named on the command
// line in a process that exports no CRC32Generator; its exit code is the
// library's answer, negated (the answers are small negative numbers).

#include "lqsim.h"

#include <string>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 100;
    if (lqsim_load_scenario_text(R"({"devices":[{"type":14,"mac":"02:4c:51:00:0c:0c"}]})") != 0)
        return 101;
    lqsim_use_manual_clock(0);
    LumenquillAPIInitialize();
    lqsim_advance_clock(0);
    const uint64_t handle = lqsim_handle_of("02:4c:51:00:0c:0c");
    // The manager hands over byte values as wide characters; so do we.
    std::wstring path;
    for (const char *p = argv[1]; *p; ++p)
        path += wchar_t(static_cast<unsigned char>(*p));
    const int answer = LumenquillAPIFirmwareUpdateStart(handle, path.c_str());
    LumenquillAPIUninitialize();
    return -answer;
}
