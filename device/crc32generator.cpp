// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// CRC-32 for the device library; see crc32generator.h.

#include "crc32generator.h"

namespace {
constexpr unsigned long kAllOnes = 0xFFFFFFFFul;
}

CRC32Generator::CRC32Generator()
{
    make_crc_table();
}

void CRC32Generator::make_crc_table()
{
    // The reflected polynomial, assembled from its exponents as the standard
    // describes it: x^32 + x^26 + x^23 + ... + x + 1 gives 0xEDB88320.
    static const int exponents[] = {0, 1, 2, 4, 5, 7, 8, 10, 11, 12, 16, 22, 23, 26};
    unsigned int poly = 0;
    for (int e : exponents)
        poly |= 1u << (31 - e);

    for (unsigned int n = 0; n < 256; ++n) {
        unsigned int c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1u) ? (c >> 1) ^ poly : c >> 1;
        m_table[n] = c;
    }
}

void CRC32Generator::Init()
{
    m_value = kAllOnes;
}

void CRC32Generator::CRC32_InitChecksum()
{
    Init();
}

void CRC32Generator::feed(const char *data, unsigned long length)
{
    for (unsigned long i = 0; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(data[i]);
        m_value = (m_value >> 8) ^ m_table[(m_value ^ b) & 0xFFu];
    }
}

void CRC32Generator::Accumulate(char *data, int length)
{
    if (length > 0)
        feed(data, static_cast<unsigned long>(length));
}

void CRC32Generator::CRC32_UpdateChecksum(char *data, unsigned long length)
{
    feed(data, length);
}

unsigned long CRC32Generator::Get()
{
    m_value ^= kAllOnes;
    return m_value;
}

void CRC32Generator::CRC32_FinishChecksum()
{
    m_value ^= kAllOnes;
}

unsigned long CRC32Generator::Generate(char *data, unsigned long length)
{
    m_value = kAllOnes;
    feed(data, length);
    m_value ^= kAllOnes;
    return m_value;
}
