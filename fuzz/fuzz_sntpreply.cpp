// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Any host on the network may answer the SNTP request; the reply sets a
// device clock. Whatever its length and bytes, the decoded time must be a
// time: nanoseconds within their second.

#include "sntpclient.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const SntpTime time = sntpDecodeReply(data, size);
    if (time.nanoseconds < 0 || time.nanoseconds >= 1000000000) {
        std::fprintf(stderr, "decoded %d ns\n", time.nanoseconds);
        std::abort();
    }
    return 0;
}
