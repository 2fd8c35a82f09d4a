// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Application payloads of the simulated frames. Every packet of a flow is
// drawn on its own (its hosts, ports and sequence numbers at random), so each
// payload stands alone: whole TLS records, whole SMB2 messages, whole DNS
// messages, never a length that points into a segment nobody will see. People
// read these captures in Wireshark; a length that disagrees with the bytes is
// a red line there, and red lines make a tap look broken.

#include "payloadwriter.h"

#include "simnoise.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lqsim {

namespace {

constexpr char kPageText[] =
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Example Domain</title>"
    "</head>\n<body><div><h1>Example Domain</h1><p>This domain is for use in illustrative "
    "examples in documents.</p></div></body></html>\n";

// Writes forward through a payload. Bytes at or past the spot's end are
// counted but not stored, so a frame written in part gets the same bytes at
// the same offsets as the whole one.
class Cursor {
public:
    explicit Cursor(const PayloadSpot &spot) : m_spot(spot), m_at(spot.from) {}

    size_t at() const { return m_at; }
    size_t left() const { return m_spot.to > m_at ? m_spot.to - m_at : 0; }
    uint64_t id() const { return m_spot.id; }

    void u8(unsigned x)
    {
        if (m_at < m_spot.end)
            m_spot.out[m_at] = uint8_t(x);
        ++m_at;
    }
    void u16(unsigned x)
    {
        u8(x >> 8);
        u8(x);
    }
    void u24(uint32_t x)
    {
        u8(x >> 16);
        u16(x & 0xffff);
    }
    void u32(uint32_t x)
    {
        u16(x >> 16);
        u16(x & 0xffff);
    }
    void le16(unsigned x)
    {
        u8(x);
        u8(x >> 8);
    }
    void le32(uint32_t x)
    {
        le16(x & 0xffff);
        le16(x >> 16);
    }
    void le64(uint64_t x)
    {
        le32(uint32_t(x));
        le32(uint32_t(x >> 32));
    }
    void bytes(const void *p, size_t n)
    {
        const auto *b = static_cast<const uint8_t *>(p);
        for (size_t i = 0; i < n; ++i)
            u8(b[i]);
    }
    void text(const char *s) { bytes(s, std::strlen(s)); }
    void fill(Filler kind, size_t n, size_t textBase = 0)
    {
        lqsim::fill(m_spot.out, m_at, std::min(m_at + n, m_spot.end), kind, m_spot.id, textBase);
        m_at += n;
    }
    // Whatever is left of the payload, as filler.
    void rest(Filler kind) { fill(kind, left()); }

private:
    const PayloadSpot &m_spot;
    size_t m_at;
};

size_t digits(size_t v)
{
    size_t n = 1;
    while (v >= 10) {
        v /= 10;
        ++n;
    }
    return n;
}

// ---------------------------------------------------------------- TLS

constexpr size_t kClientHelloMin = 189;
constexpr size_t kServerFlightMin = 139;

void tlsApplicationData(Cursor &c)
{
    // Records of at most 2^14 bytes; none is left with fewer than one byte of data.
    while (c.left() >= 6) {
        size_t data = std::min<size_t>(c.left() - 5, 16384);
        const size_t after = c.left() - 5 - data;
        if (after > 0 && after < 6)
            data -= 6;
        c.u8(0x17);
        c.u16(0x0303);
        c.u16(unsigned(data));
        c.fill(Filler::Random, data);
    }
    c.rest(Filler::Zero);
}

void tlsClientHello(Cursor &c)
{
    const size_t total = c.left();
    c.u8(0x16);
    c.u16(0x0301);
    c.u16(unsigned(total - 5));
    c.u8(1);
    c.u24(uint32_t(total - 9));
    c.u16(0x0303);
    c.fill(Filler::Random, 32);
    c.u8(32);
    c.fill(Filler::Random, 32);
    c.u16(8);
    for (unsigned suite : {0x1301u, 0x1302u, 0x1303u, 0xc02fu})
        c.u16(suite);
    c.u8(1);
    c.u8(0);
    c.u16(unsigned(c.left() - 2));
    c.u16(0x0000); // server_name
    c.u16(20);
    c.u16(18);
    c.u8(0);
    c.u16(15);
    c.text("www.example.com");
    c.u16(0x000a); // supported_groups
    c.u16(6);
    c.u16(4);
    c.u16(0x001d);
    c.u16(0x0017);
    c.u16(0x000d); // signature_algorithms
    c.u16(8);
    c.u16(6);
    c.u16(0x0403);
    c.u16(0x0804);
    c.u16(0x0401);
    c.u16(0x002b); // supported_versions
    c.u16(3);
    c.u8(2);
    c.u16(0x0304);
    c.u16(0x0033); // key_share
    c.u16(38);
    c.u16(36);
    c.u16(0x001d);
    c.u16(32);
    c.fill(Filler::Random, 32);
    // Browsers pad their hello to a fixed size; so does this one, to the segment.
    c.u16(0x0015);
    c.u16(unsigned(c.left() - 2));
    c.rest(Filler::Zero);
}

// A TLS 1.3 server's first flight as the wire shows it: the hello in clear,
// the cipher change kept for middleboxes, then encrypted records.
void tlsServerFlight(Cursor &c)
{
    c.u8(0x16);
    c.u16(0x0303);
    c.u16(122);
    c.u8(2);
    c.u24(118);
    c.u16(0x0303);
    c.fill(Filler::Random, 32);
    c.u8(32);
    c.fill(Filler::Random, 32);
    c.u16(0x1301);
    c.u8(0);
    c.u16(46);
    c.u16(0x002b);
    c.u16(2);
    c.u16(0x0304);
    c.u16(0x0033);
    c.u16(36);
    c.u16(0x001d);
    c.u16(32);
    c.fill(Filler::Random, 32);
    c.u8(0x14);
    c.u16(0x0303);
    c.u16(1);
    c.u8(1);
    tlsApplicationData(c);
}

void tls(Cursor &c, bool request)
{
    const size_t n = c.left();
    // Handshakes ride the mid-sized segments; full segments carry data.
    if (request && n >= kClientHelloMin && n < 1000)
        tlsClientHello(c);
    else if (!request && n >= kServerFlightMin && n < 1400)
        tlsServerFlight(c);
    else
        tlsApplicationData(c);
}

// ---------------------------------------------------------------- HTTP

void http(Cursor &c, bool request)
{
    if (c.left() == 0)
        return;
    if (request) {
        static const char head[] =
            "GET /index.html HTTP/1.1\r\nHost: www.example.com\r\n"
            "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0\r\n"
            "Accept: text/html,application/xhtml+xml\r\nAccept-Language: en-GB,en;q=0.5\r\n"
            "Cookie: session=";
        if (c.left() < sizeof head + 4) {
            c.rest(Filler::Text);
            return;
        }
        c.text(head);
        c.fill(Filler::Hex, c.left() - 4);
        c.text("\r\n\r\n");
        return;
    }
    static const char head[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: ";
    const size_t fixed = sizeof head - 1 + 4;
    size_t body = 0;
    for (size_t k = 1; k < 8; ++k) {
        if (c.left() > fixed + k && digits(c.left() - fixed - k) == k) {
            body = c.left() - fixed - k;
            break;
        }
    }
    if (body == 0) {
        c.rest(Filler::Text);
        return;
    }
    char length[24];
    std::snprintf(length, sizeof length, "%zu", body);
    c.text(head);
    c.text(length);
    c.text("\r\n\r\n");
    c.fill(Filler::Text, body, c.at());
}

// ---------------------------------------------------------------- SMB2

// A file copy: the client writes, the server answers reads; each message
// fills its segment, behind the NetBIOS session header that gives its length.
void smb(Cursor &c, bool request)
{
    const size_t fixed = 4 + 64 + (request ? 48 : 16);
    if (c.left() < fixed) {
        c.rest(Filler::Zero);
        return;
    }
    const size_t data = c.left() - fixed;
    c.u8(0);
    c.u24(uint32_t(c.left() - 3));
    c.bytes("\xfeSMB", 4);
    c.le16(64);
    c.le16(1);                     // credit charge
    c.le32(0);                     // status
    c.le16(request ? 0x09 : 0x08); // write, read
    c.le16(1);                     // credits
    c.le32(request ? 0 : 1);       // server to redirector
    c.le32(0);                     // next command
    c.le64(c.id() >> 40);          // message id
    c.le32(0xfeff);                // process id
    c.le32(5);                     // tree id
    c.le64(0x0000100000000009ull); // session id
    c.fill(Filler::Zero, 16);      // signature
    if (request) {
        c.le16(49);
        c.le16(64 + 48);
        c.le32(uint32_t(data));
        c.le64((c.id() & 0xfffff) << 16); // file offset
        c.le64(0x1d);                     // file id, persistent and volatile
        c.le64(0x0000000400000001ull);
        c.le32(0); // channel
        c.le32(0); // remaining bytes
        c.le16(0); // channel info offset
        c.le16(0); // channel info length
        c.le32(0); // flags
    } else {
        c.le16(17);
        c.u8(64 + 16);
        c.u8(0);
        c.le32(uint32_t(data));
        c.le32(0); // remaining
        c.le32(0);
    }
    c.fill(Filler::Random, data);
}

// ---------------------------------------------------------------- DNS

// A name made of one label and the rest of `tail`, which is already in wire form.
void dnsName(Cursor &c, const char *label, size_t labelLength, const char *tail, size_t tailLength)
{
    c.u8(unsigned(labelLength));
    c.bytes(label, labelLength);
    c.bytes(tail, tailLength);
}

constexpr char kHostLabel[] = "officeportalintranetwikimailcalendarfilesprintersbackupmonitoring";
constexpr char kExampleCom[] = "\x07"
                               "example\x03"
                               "com";                            // without the root
constexpr size_t kExampleComLength = sizeof kExampleCom - 1 + 1; // with it

// A TXT record's strings, `length` bytes of record data in all.
void txtData(Cursor &c, size_t length)
{
    while (length > 0) {
        const size_t s = std::min<size_t>(length - 1, 255);
        c.u8(unsigned(s));
        if (s >= 5) {
            c.text("note=");
            c.fill(Filler::Hex, s - 5);
        } else {
            c.fill(Filler::Hex, s);
        }
        length -= s + 1;
    }
}

// One record of fixed parts: a compressed name, type, class, TTL, data length.
void dnsRecordHead(Cursor &c, unsigned pointer, unsigned type, unsigned cls, uint32_t ttl, size_t dataLength)
{
    c.u16(0xc000 | pointer);
    c.u16(type);
    c.u16(cls);
    c.u32(ttl);
    c.u16(unsigned(dataLength));
}

// A resolver's A query for <label>.example.com, the label sized to the datagram.
void dnsQuery(Cursor &c)
{
    const size_t n = c.left();
    const size_t label =
        std::clamp<size_t>(n > 12 + kExampleComLength + 1 + 4 ? n - 12 - kExampleComLength - 1 - 4 : 1, 1, 63);
    c.u16(unsigned(c.id() & 0xffff));
    c.u16(0x0100);
    c.u16(1);
    c.u16(0);
    c.u16(0);
    c.u16(0);
    dnsName(c, kHostLabel, label, kExampleCom, kExampleComLength);
    c.u16(1);
    c.u16(1);
    c.rest(Filler::Zero);
}

// The server's answer: A records, and a TXT record in the additional section
// that takes up what the addresses leave.
void dnsAnswer(Cursor &c)
{
    const size_t question = 1 + 6 + kExampleComLength + 4;
    const size_t rest = c.left() >= 12 + question ? c.left() - 12 - question : 0;
    const bool txt = rest >= 12;
    const size_t addresses = txt ? (rest - 12) / 16 : rest / 16;
    c.u16(unsigned(c.id() & 0xffff));
    c.u16(0x8180);
    c.u16(1);
    c.u16(unsigned(addresses));
    c.u16(0);
    c.u16(txt ? 1 : 0);
    dnsName(c, kHostLabel, 6, kExampleCom, kExampleComLength);
    c.u16(1);
    c.u16(1);
    for (size_t i = 0; i < addresses; ++i) {
        dnsRecordHead(c, 12, 1, 1, 300, 4);
        c.u8(203);
        c.u8(0);
        c.u8(113);
        c.u8(unsigned(20 + (c.id() >> 8) % 40 + i) & 0xff);
    }
    if (txt) {
        const size_t data = c.left() - 12;
        dnsRecordHead(c, 12, 16, 1, 300, data);
        txtData(c, data);
    }
    c.rest(Filler::Zero);
}

// ---------------------------------------------------------------- mDNS

constexpr char kPrinterService[] = "\x08_printer\x04_tcp\x05local"; // without the root
constexpr size_t kPrinterServiceLength = sizeof kPrinterService - 1 + 1;
constexpr char kInstance[] = "Office Printer on the second floor by the kitchen, colour laser A3";

// Small datagrams ask who prints, with the answer the asker already knows;
// large ones announce a printer with its TXT record.
void mdns(Cursor &c)
{
    const size_t n = c.left();
    if (n < 200) {
        // Header, question, known answer: a pointer to an instance name that fills the datagram.
        const size_t fixed = 12 + kPrinterServiceLength + 4 + 12 + 1 + 2;
        const size_t instance = n > fixed ? std::min<size_t>(n - fixed, 63) : 0;
        c.u16(0);
        c.u16(0);
        c.u16(1);
        c.u16(instance ? 1 : 0);
        c.u16(0);
        c.u16(0);
        c.bytes(kPrinterService, kPrinterServiceLength);
        c.u16(12); // PTR
        c.u16(1);
        if (instance) {
            dnsRecordHead(c, 12, 12, 1, 4500, 1 + instance + 2);
            c.u8(unsigned(instance));
            c.bytes(kInstance, instance);
            c.u16(0xc000 | 12);
        }
        c.rest(Filler::Zero);
        return;
    }
    const size_t instance = 14; // "Office Printer"
    const size_t txtAt = 12 + kPrinterServiceLength + 10;
    const size_t fixed = txtAt + 1 + instance + 2 + 12;
    const size_t data = n > fixed ? n - fixed : 0;
    c.u16(0);
    c.u16(0x8400);
    c.u16(0);
    c.u16(2);
    c.u16(0);
    c.u16(0);
    c.bytes(kPrinterService, kPrinterServiceLength);
    c.u16(12);
    c.u16(1);
    c.u32(4500);
    c.u16(unsigned(1 + instance + 2));
    c.u8(unsigned(instance));
    c.bytes(kInstance, instance);
    c.u16(0xc000 | 12);
    dnsRecordHead(c, unsigned(txtAt), 16, 0x8001, 4500, data);
    txtData(c, data);
    c.rest(Filler::Zero);
}

// ---------------------------------------------------------------- DHCP, NetBIOS

// The fixed BOOTP part, the magic cookie and the options below.
constexpr size_t kDhcpDiscover = 236 + 4 + 3 + 9 + 4 + 12 + 9 + 1;

void dhcp(Cursor &c, const uint8_t *mac)
{
    if (c.left() < kDhcpDiscover) {
        c.rest(Filler::Zero);
        return;
    }
    c.u8(1); // request
    c.u8(1); // Ethernet
    c.u8(6);
    c.u8(0);
    c.u32(uint32_t(c.id() >> 16));
    c.u16(0);
    c.u16(0x8000); // answer by broadcast
    c.fill(Filler::Zero, 16);
    c.bytes(mac, 6);
    c.fill(Filler::Zero, 10 + 64 + 128);
    c.u32(0x63825363);
    c.bytes("\x35\x01\x01", 3); // discover
    c.bytes("\x3d\x07\x01", 3); // client id
    c.bytes(mac, 6);
    c.bytes("\x39\x02\x05\xdc", 4); // maximum message size
    c.bytes("\x0c\x0a"
            "office-pc7",
            12);
    c.bytes("\x37\x07\x01\x1c\x02\x03\x0f\x06\x0c", 9);
    c.u8(255);
    c.rest(Filler::Zero); // pad
}

void nbns(Cursor &c)
{
    c.u16(unsigned(c.id() & 0xffff));
    c.u16(0x0110); // query, broadcast, recursion desired
    c.u16(1);
    c.u16(0);
    c.u16(0);
    c.u16(0);
    c.u8(32);
    c.text("EOEBFDEBFAEFFCCACACACACACACACACA"); // NAS, encoded
    c.u8(0);
    c.u16(0x0020);
    c.u16(1);
    c.rest(Filler::Zero);
}

// ---------------------------------------------------------------- SSH

constexpr const char *kKexLists[] = {
    "curve25519-sha256,curve25519-sha256@libssh.org,ecdh-sha2-nistp256,ecdh-sha2-nistp384,ecdh-sha2-nistp521,"
    "sntrup761x25519-sha512@openssh.com,diffie-hellman-group-exchange-sha256,diffie-hellman-group16-sha512,"
    "diffie-hellman-group18-sha512,diffie-hellman-group14-sha256",
    "rsa-sha2-512,rsa-sha2-256,ecdsa-sha2-nistp256,ssh-ed25519",
    "chacha20-poly1305@openssh.com,aes128-ctr,aes192-ctr,aes256-ctr,aes128-gcm@openssh.com,aes256-gcm@openssh.com",
    "chacha20-poly1305@openssh.com,aes128-ctr,aes192-ctr,aes256-ctr,aes128-gcm@openssh.com,aes256-gcm@openssh.com",
    "umac-64-etm@openssh.com,umac-128-etm@openssh.com,hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,"
    "hmac-sha1-etm@openssh.com,umac-64@openssh.com,umac-128@openssh.com,hmac-sha2-256,hmac-sha2-512,hmac-sha1",
    "umac-64-etm@openssh.com,umac-128-etm@openssh.com,hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,"
    "hmac-sha1-etm@openssh.com,umac-64@openssh.com,umac-128@openssh.com,hmac-sha2-256,hmac-sha2-512,hmac-sha1",
    "none,zlib@openssh.com",
    "none,zlib@openssh.com",
    "",
    "",
};

size_t kexInitPayload()
{
    size_t n = 1 + 16 + 1 + 4;
    for (const char *list : kKexLists)
        n += 4 + std::strlen(list);
    return n;
}

// One binary packet in clear: length, padding length, payload, padding.
void sshIgnore(Cursor &c)
{
    const size_t total = c.left();
    const size_t padding = 4 + total % 8;
    c.u32(uint32_t(total - 4));
    c.u8(unsigned(padding));
    c.u8(2); // SSH_MSG_IGNORE
    c.u32(uint32_t(total - 4 - 1 - 1 - 4 - padding));
    c.fill(Filler::Random, total - 4 - 1 - 1 - 4 - padding);
    c.fill(Filler::Random, padding);
}

// The version banner first; then, in clear until the keys are agreed, the
// key exchange offer, and an ignore message that fills the segment.
void ssh(Cursor &c)
{
    const size_t n = c.left();
    if (n == 0)
        return;
    static const char banner[] = "SSH-2.0-OpenSSH_9.2p1 ";
    if (n < 256) {
        if (n < sizeof banner + 2) {
            c.rest(Filler::Zero);
            return;
        }
        c.text(banner);
        c.fill(Filler::Hex, n - (sizeof banner - 1) - 2);
        c.text("\r\n");
        return;
    }
    const size_t payload = kexInitPayload();
    const size_t padding = 4 + (8 - (4 + 1 + payload + 4) % 8) % 8;
    const size_t kexInit = 4 + 1 + payload + padding;
    if (n < kexInit + 16) {
        sshIgnore(c);
        return;
    }
    c.u32(uint32_t(kexInit - 4));
    c.u8(unsigned(padding));
    c.u8(20); // SSH_MSG_KEXINIT
    c.fill(Filler::Random, 16);
    for (const char *list : kKexLists) {
        c.u32(uint32_t(std::strlen(list)));
        c.text(list);
    }
    c.u8(0);
    c.u32(0);
    c.fill(Filler::Random, padding);
    sshIgnore(c);
}

// ---------------------------------------------------------------- QUIC, RTP, MPEG-TS

// Large client datagrams open connections (long header Initial, padded to
// the 1200 bytes the protocol asks for); everything else is 1-RTT data under
// a short header. The protected bytes are random, as encrypted bytes look.
void quic(Cursor &c, bool request)
{
    const size_t n = c.left();
    if (request && n >= 1200) {
        c.u8(0xc3);
        c.u32(1);
        c.u8(8);
        c.fill(Filler::Random, 8);
        c.u8(8);
        c.fill(Filler::Random, 8);
        c.u8(0); // no token
        c.u16(0x4000 | unsigned(c.left() - 2));
        c.rest(Filler::Random);
        return;
    }
    if (n == 0)
        return;
    // The connection ID the server chose leads with its routing byte; fixed
    // leading bytes also keep other dissectors' guesses off the random rest.
    c.u8(0x40 | unsigned(c.id() & 0x07));
    c.u8(0xc5);
    c.rest(Filler::Random);
}

void rtp(Cursor &c)
{
    if (c.left() < 12) {
        c.rest(Filler::Random);
        return;
    }
    c.u8(0x80);
    c.u8(0x00); // G.711 mu-law
    c.u16(unsigned(c.id() & 0xffff));
    c.u32(uint32_t(c.id() >> 16));
    c.u32(uint32_t(c.id() >> 32));
    c.rest(Filler::Random);
}

// Seven transport stream packets of one programme. The capture holds a
// sample of the stream, not all of it, so each datagram says that the
// continuity counter starts afresh.
void mpegTs(Cursor &c)
{
    unsigned counter = unsigned(c.id() & 0x0f);
    bool first = true;
    while (c.left() >= 188) {
        c.u8(0x47);
        c.u16(0x0100); // PID 0x100, no unit start
        if (first) {
            c.u8(0x30 | counter);
            c.u8(1);
            c.u8(0x80); // discontinuity
            c.fill(Filler::Random, 182);
        } else {
            c.u8(0x10 | counter);
            c.fill(Filler::Random, 184);
        }
        counter = (counter + 1) & 0x0f;
        first = false;
    }
    c.rest(Filler::Random);
}

void ping(Cursor &c)
{
    // The letters a to w over and over, as the usual ping tools send.
    for (size_t i = 0; c.left() > 0; ++i)
        c.u8(unsigned('a' + i % 23));
}

// ---------------------------------------------------------------- LLDP

void lldp(Cursor &c, const uint8_t *mac)
{
    static const char description[] =
        "Office access switch sw-office-1, 48 x 1000BASE-T, 4 x 10GBASE-X SFP+, software 7.2.14 build 2291, "
        "located in the second floor network cupboard, managed by the office IT team. ";
    const size_t fixed = 9 + 8 + 4 + 13 + 6 + 8 + 2 + 2;
    const size_t described = c.left() > fixed ? std::min<size_t>(c.left() - fixed, 511) : 0;
    c.u16(0x0207); // chassis id: MAC address
    c.u8(4);
    c.bytes(mac, 6);
    c.u16(0x0406); // port id: interface name
    c.u8(5);
    c.text("port7");
    c.u16(0x0602); // time to live
    c.u16(120);
    c.u16(0x0a0b); // system name
    c.text("sw-office-1");
    c.u16(0x0c00 | unsigned(described)); // system description
    for (size_t i = 0; i < described; ++i)
        c.u8(uint8_t(description[i % (sizeof description - 1)]));
    c.u16(0x0e04); // capabilities: bridge, enabled
    c.u16(0x0004);
    c.u16(0x0004);
    c.u16(0xfe06); // port VLAN 256
    c.bytes("\x00\x80\xc2\x01\x01\x00", 6);
    c.u16(0x0000); // end
    c.rest(Filler::Zero);
}

// ---------------------------------------------------------------- ICMPv6

// Options of an unsolicited neighbour advertisement: the sender's link-layer
// address, and a nonce option for what the message has room for beyond it.
void ndOptions(Cursor &c, const uint8_t *mac)
{
    if (c.left() >= 8) {
        c.u8(2);
        c.u8(1);
        c.bytes(mac, 6);
    }
    const size_t units = c.left() / 8;
    if (units > 0) {
        c.u8(14);
        c.u8(unsigned(units));
        c.fill(Filler::Random, units * 8 - 2);
    }
    c.rest(Filler::Zero);
}

} // namespace

void fill(uint8_t *out, size_t from, size_t to, Filler kind, uint64_t id, size_t textBase)
{
    if (from >= to)
        return;
    switch (kind) {
    case Filler::Zero:
        std::memset(out + from, 0, to - from);
        break;
    case Filler::Text:
        for (size_t i = from; i < to; ++i)
            out[i] = uint8_t(kPageText[(i - textBase) % (sizeof kPageText - 1)]);
        break;
    case Filler::Random:
    case Filler::Hex: {
        auto word = [id](size_t i) { return noise::mix(id ^ (uint64_t(i / 8) * 0xd6e8feb86659fd93ull)); };
        size_t i = from;
        for (; i < to && i % 8; ++i)
            out[i] = uint8_t(word(i) >> (8 * (i % 8)));
        for (; i + 8 <= to; i += 8) {
            uint64_t w = word(i);
            if constexpr (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__)
                w = __builtin_bswap64(w);
            std::memcpy(out + i, &w, 8);
        }
        for (; i < to; ++i)
            out[i] = uint8_t(word(i) >> (8 * (i % 8)));
        if (kind == Filler::Hex) {
            for (size_t k = from; k < to; ++k)
                out[k] = uint8_t("0123456789abcdef"[out[k] & 0x0f]);
        }
        break;
    }
    }
}

void writePayload(App app, const PayloadSpot &spot)
{
    if (spot.from >= spot.to)
        return;
    Cursor c(spot);
    switch (app) {
    case App::Tls:
        tls(c, spot.request);
        break;
    case App::Http:
        http(c, spot.request);
        break;
    case App::Smb:
        smb(c, spot.request);
        break;
    case App::Dns:
        if (spot.request)
            dnsQuery(c);
        else
            dnsAnswer(c);
        break;
    case App::Quic:
        quic(c, spot.request);
        break;
    case App::Rtp:
        rtp(c);
        break;
    case App::Ping:
        ping(c);
        break;
    case App::MpegTs:
        mpegTs(c);
        break;
    case App::Mdns:
        mdns(c);
        break;
    case App::Dhcp:
        dhcp(c, spot.mac);
        break;
    case App::Nbns:
        nbns(c);
        break;
    case App::Ssh:
        ssh(c);
        break;
    case App::Lldp:
        lldp(c, spot.mac);
        break;
    case App::Nd:
        ndOptions(c, spot.mac);
        break;
    case App::None:
        c.rest(Filler::Zero);
        break;
    }
}

} // namespace lqsim
