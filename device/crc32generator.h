// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The standard CRC-32 (ISO-HDLC, IEEE 802.3, zlib). The manager never calls it
// itself: the device library, loaded into our process, calls these members to
// check firmware images. Class name, member names and parameter types are
// therefore an interface, exported from the executable's dynamic symbol table;
// do not rename, reorder, make virtual or add members.

#pragma once

class CRC32Generator {
public:
    CRC32Generator();

    void make_crc_table();

    void Init();
    void CRC32_InitChecksum();

    void Accumulate(char *data, int length);
    void CRC32_UpdateChecksum(char *data, unsigned long length);

    // Finishes the running value (XOR 0xFFFFFFFF) and answers it. Calling it
    // twice answers the checksum, then its complement.
    unsigned long Get();
    void CRC32_FinishChecksum();

    unsigned long Generate(char *data, unsigned long length);

private:
    void feed(const char *data, unsigned long length);

    unsigned int m_table[256];
    unsigned long m_value;
};

static_assert(sizeof(CRC32Generator) == 1032, "the device library allocates 1032 bytes for a CRC32Generator");
