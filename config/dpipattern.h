// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The deep packet inspection pattern as text: sixteen bytes, each a value or
// the wildcard, in hexadecimal ("47 45 54 ** …") and as characters. The
// pattern editor shows these texts and the command line reads and writes them.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <cstdint>

namespace DpiPattern {

constexpr int kBytes = LQ_DPI_PATTERN_BYTES;

// Sixteen two-digit groups joined by spaces, "**" for a byte not compared.
QString hexText(const uint8_t *pattern, uint32_t mask);
// One character per byte: "*" not compared, "." for a byte with no printable
// character.
QString clearText(const uint8_t *pattern, uint32_t mask);

// Up to sixteen groups of two hexadecimal digits or "**", separated by spaces
// or colons; bytes not written are not compared. False on anything else
// (outputs untouched).
bool parseHex(const QString &text, uint8_t *pattern, uint32_t *mask);

} // namespace DpiPattern
