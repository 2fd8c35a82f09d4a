// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The packet filter record and the six texts of its editor, converted both
// ways without a widget in sight. The record keeps addresses byte-reversed and
// one compare bit per byte, the first written byte on the highest bit.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <cstdint>

namespace SimpleFilterRecord {

struct Texts {
    QString srcMac, dstMac, srcIp, dstIp, srcPort, dstPort;
};

struct Built {
    PacketFilter filter{};
    // The LQ_FILTER_* bit of every used field whose text was refused.
    uint32_t invalid = 0;
};

// The record for the editor's `fields` and `modes` and its texts. Fields that
// are off, and destinations in "source or destination" mode, stay zero.
Built build(uint32_t fields, uint16_t modes, const Texts &texts);

// The texts that show `filter`: addresses with "*" for open bytes, ports in
// decimal. Every text is written, used or not.
Texts texts(const PacketFilter &filter);

// A port as typed: decimal, "0x" hexadecimal or leading-zero octal, 0 to 65535.
bool parsePort(const QString &text, uint16_t &port);

} // namespace SimpleFilterRecord
