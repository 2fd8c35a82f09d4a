/* SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 * The device library's C interface (libLumenquillAPI.so.2): every function and
 * every fixed-layout record it exchanges with the manager. The layouts are
 * byte-for-byte those of the vendor library; every size and offset the manager
 * relies on is pinned below, and bytes the manager does not use are explicit
 * reserved fields. Plain C: the header compiles as C11 and as C++17.
 */
#pragma once
#ifndef LUMENQUILLAPI_H
#define LUMENQUILLAPI_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
#define LQ_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define LQ_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define LQ_CHECK_SIZE(type, size) LQ_STATIC_ASSERT(sizeof(type) == (size), #type " must be " #size " bytes")
#define LQ_CHECK_OFFSET(type, field, off) \
    LQ_STATIC_ASSERT(offsetof(type, field) == (off), #type "." #field " must be at " #off)

LQ_STATIC_ASSERT(sizeof(wchar_t) == 4, "the library's paths are 32-bit wide strings");
LQ_STATIC_ASSERT(sizeof(void *) == 8, "the record layouts are those of a 64-bit library");

/* ---------------------------------------------------------------- versions */

/* a.b.c.d packed as four bytes, a at the lowest address. */
typedef struct DeviceVersions {
    uint8_t softwareVersion[4]; /* firmware a.b.c.d */
    uint8_t driverVersion[4];   /* driver a.b.c.d */
    uint32_t hardwareFirmwareVersion;
    uint8_t reserved[4];
} DeviceVersions;
LQ_CHECK_SIZE(DeviceVersions, 16);
LQ_CHECK_OFFSET(DeviceVersions, driverVersion, 4);
LQ_CHECK_OFFSET(DeviceVersions, hardwareFirmwareVersion, 8);

/* ---------------------------------------------------------------- link status */

/* Link speed codes of LinkStatus. */
enum {
    LQ_LINK_10M = 0,
    LQ_LINK_100M = 1,
    LQ_LINK_1G = 2,
    LQ_LINK_10G = 3,
    LQ_LINK_UNKNOWN = 4,
    LQ_LINK_DOWN = 5
};

/* Measurement set of an SFP module's digital diagnostics, in engineering units. */
typedef struct SfpDiagnostics {
    float temperature; /* deg C */
    float voltage;     /* V */
    float txBias;      /* mA */
    float txPower;     /* mW */
    float rxPower;     /* mW */
} SfpDiagnostics;
LQ_CHECK_SIZE(SfpDiagnostics, 20);

/* Flag word bits of SfpPortInfo. */
enum {
    LQ_SFP_ALARM_TEMPERATURE = 0x1,
    LQ_SFP_ALARM_VOLTAGE = 0x2,
    LQ_SFP_ALARM_BIAS = 0x4,
    LQ_SFP_ALARM_TX_POWER = 0x8,
    LQ_SFP_ALARM_RX_POWER = 0x10,
    LQ_SFP_WARNING_TEMPERATURE = 0x20,
    LQ_SFP_WARNING_VOLTAGE = 0x40,
    LQ_SFP_WARNING_BIAS = 0x80,
    LQ_SFP_WARNING_TX_POWER = 0x100,
    LQ_SFP_WARNING_RX_POWER = 0x200,
    LQ_SFP_STATUS_TX_DISABLE = 0x400,
    LQ_SFP_STATUS_TX_FAULT = 0x800,
    LQ_SFP_STATUS_RX_LOS = 0x1000
};

#define LQ_SFP_OPTION_WORDS 14
#define LQ_SFP_TRANSCEIVER_WORDS 56

/* One port's SFP module, decoded by the library from the module memory. */
typedef struct SfpPortInfo {
    uint8_t present;
    char vendorName[19];
    uint32_t vendorOui; /* low 24 bits */
    char model[17];
    char revision[5];
    char dateCode[14];
    char serialNumber[20];
    uint32_t nominalBitRate;   /* units of 100 Mbit/s */
    uint32_t bitRateMarginUpper; /* percent */
    uint32_t bitRateMarginLower; /* percent */
    uint32_t encoding;
    uint32_t rateIdentifier;
    uint32_t identifier;
    uint32_t extendedIdentifier;
    uint32_t connector;
    uint32_t wavelength; /* nm */
    uint32_t diagnosticMonitoringType; /* 0..3, 4 = none */
    uint32_t sff8472Compliance;
    uint32_t lengthSingleMode;  /* 9/125 um, metres */
    uint32_t lengthOm2;         /* 50/125 um OM2, metres */
    uint32_t lengthOm1;         /* 62.5/125 um OM1, metres */
    uint32_t lengthCopper;      /* copper and active cable, metres */
    uint32_t lengthOm3;         /* 50/125 um, metres */
    uint32_t options[LQ_SFP_OPTION_WORDS];
    uint32_t transceiver[LQ_SFP_TRANSCEIVER_WORDS];
    SfpDiagnostics value;
    SfpDiagnostics lowAlarm;
    SfpDiagnostics lowWarning;
    SfpDiagnostics highAlarm;
    SfpDiagnostics highWarning;
    uint32_t flags;
} SfpPortInfo;
LQ_CHECK_SIZE(SfpPortInfo, 528);
LQ_CHECK_OFFSET(SfpPortInfo, vendorName, 1);
LQ_CHECK_OFFSET(SfpPortInfo, vendorOui, 20);
LQ_CHECK_OFFSET(SfpPortInfo, model, 24);
LQ_CHECK_OFFSET(SfpPortInfo, revision, 41);
LQ_CHECK_OFFSET(SfpPortInfo, dateCode, 46);
LQ_CHECK_OFFSET(SfpPortInfo, serialNumber, 60);
LQ_CHECK_OFFSET(SfpPortInfo, nominalBitRate, 80);
LQ_CHECK_OFFSET(SfpPortInfo, bitRateMarginUpper, 84);
LQ_CHECK_OFFSET(SfpPortInfo, bitRateMarginLower, 88);
LQ_CHECK_OFFSET(SfpPortInfo, encoding, 92);
LQ_CHECK_OFFSET(SfpPortInfo, rateIdentifier, 96);
LQ_CHECK_OFFSET(SfpPortInfo, identifier, 100);
LQ_CHECK_OFFSET(SfpPortInfo, extendedIdentifier, 104);
LQ_CHECK_OFFSET(SfpPortInfo, connector, 108);
LQ_CHECK_OFFSET(SfpPortInfo, wavelength, 112);
LQ_CHECK_OFFSET(SfpPortInfo, diagnosticMonitoringType, 116);
LQ_CHECK_OFFSET(SfpPortInfo, sff8472Compliance, 120);
LQ_CHECK_OFFSET(SfpPortInfo, lengthSingleMode, 124);
LQ_CHECK_OFFSET(SfpPortInfo, lengthOm2, 128);
LQ_CHECK_OFFSET(SfpPortInfo, lengthOm1, 132);
LQ_CHECK_OFFSET(SfpPortInfo, lengthCopper, 136);
LQ_CHECK_OFFSET(SfpPortInfo, lengthOm3, 140);
LQ_CHECK_OFFSET(SfpPortInfo, options, 144);
LQ_CHECK_OFFSET(SfpPortInfo, options[7], 172);
LQ_CHECK_OFFSET(SfpPortInfo, transceiver, 200);
LQ_CHECK_OFFSET(SfpPortInfo, transceiver[18], 272);
LQ_CHECK_OFFSET(SfpPortInfo, value, 424);
LQ_CHECK_OFFSET(SfpPortInfo, value.voltage, 428);
LQ_CHECK_OFFSET(SfpPortInfo, value.txBias, 432);
LQ_CHECK_OFFSET(SfpPortInfo, value.txPower, 436);
LQ_CHECK_OFFSET(SfpPortInfo, value.rxPower, 440);
LQ_CHECK_OFFSET(SfpPortInfo, lowAlarm, 444);
LQ_CHECK_OFFSET(SfpPortInfo, lowWarning, 464);
LQ_CHECK_OFFSET(SfpPortInfo, highAlarm, 484);
LQ_CHECK_OFFSET(SfpPortInfo, highWarning, 504);
LQ_CHECK_OFFSET(SfpPortInfo, flags, 524);

/* Both ports' SFP modules. */
typedef struct SfpInfo {
    uint8_t valid;
    uint8_t reserved[7];
    SfpPortInfo portA;
    SfpPortInfo portB;
} SfpInfo;
LQ_CHECK_SIZE(SfpInfo, 1064);
LQ_CHECK_OFFSET(SfpInfo, portA, 0x08);
LQ_CHECK_OFFSET(SfpInfo, portB, 0x218);

/* One port PHY's status; flags are 1 when the condition holds. */
typedef struct PortPhyStatus {
    uint32_t masterSlaveResolution; /* 0 = master */
    uint32_t partnerAutoNegCapable;
    uint32_t partnerNextPageCapable;
    uint32_t nextPageRequest;
    uint32_t acknowledge;
    uint32_t advertise1000BaseTFull;
    uint32_t advertise1000BaseTHalf;
    uint32_t advertise100BaseTxFull;
    uint32_t advertise100BaseTxHalf;
    uint32_t advertise10BaseTFull;
    uint32_t advertise10BaseTHalf;
    uint32_t advertiseAsymmetricPause;
    uint32_t advertiseSymmetricPause;
    uint32_t parallelDetectionFault;
    uint32_t remoteFault;
    uint32_t masterSlaveFault;
    uint32_t localReceiverOk;
    uint32_t remoteReceiverOk;
    uint8_t idleErrorCount;
    uint8_t reserved[3];
    uint32_t lock100BaseTxError;
    uint32_t receive100BaseTxError;
    uint32_t transmit100BaseTxError;
    uint32_t ssd100BaseTxError;
    uint32_t esd100BaseTxError;
    uint32_t lock1000BaseTError;
    uint32_t receive1000BaseTError;
    uint32_t transmit1000BaseTError;
    uint32_t ssd1000BaseTError;
    uint32_t esd1000BaseTError;
    uint32_t carrierExtension1000BaseTError;
    int32_t mdiCrossoverErrors; /* count since the previous report */
} PortPhyStatus;
LQ_CHECK_SIZE(PortPhyStatus, 124);
LQ_CHECK_OFFSET(PortPhyStatus, partnerAutoNegCapable, 0x04);
LQ_CHECK_OFFSET(PortPhyStatus, advertiseSymmetricPause, 0x30);
LQ_CHECK_OFFSET(PortPhyStatus, parallelDetectionFault, 0x34);
LQ_CHECK_OFFSET(PortPhyStatus, masterSlaveFault, 0x3c);
LQ_CHECK_OFFSET(PortPhyStatus, localReceiverOk, 0x40);
LQ_CHECK_OFFSET(PortPhyStatus, remoteReceiverOk, 0x44);
LQ_CHECK_OFFSET(PortPhyStatus, idleErrorCount, 0x48);
LQ_CHECK_OFFSET(PortPhyStatus, lock100BaseTxError, 0x4c);
LQ_CHECK_OFFSET(PortPhyStatus, esd100BaseTxError, 0x5c);
LQ_CHECK_OFFSET(PortPhyStatus, lock1000BaseTError, 0x60);
LQ_CHECK_OFFSET(PortPhyStatus, carrierExtension1000BaseTError, 0x74);
LQ_CHECK_OFFSET(PortPhyStatus, mdiCrossoverErrors, 0x78);

typedef struct LinkStatus {
    uint8_t reserved0[12];
    uint32_t portASpeed;  /* LQ_LINK_* */
    uint32_t portADuplex; /* 0 = full, other = half */
    uint8_t reserved1[4];
    uint32_t portBSpeed;
    uint32_t portBDuplex;
    SfpInfo sfp;
    uint8_t reserved2[8];
    PortPhyStatus portAPhy;
    PortPhyStatus portBPhy;
} LinkStatus;
LQ_CHECK_SIZE(LinkStatus, 1352);
LQ_CHECK_OFFSET(LinkStatus, portASpeed, 0x0c);
LQ_CHECK_OFFSET(LinkStatus, portADuplex, 0x10);
LQ_CHECK_OFFSET(LinkStatus, portBSpeed, 0x18);
LQ_CHECK_OFFSET(LinkStatus, portBDuplex, 0x1c);
LQ_CHECK_OFFSET(LinkStatus, sfp, 0x20);
LQ_CHECK_OFFSET(LinkStatus, sfp.portA.present, 0x28);
LQ_CHECK_OFFSET(LinkStatus, sfp.portB.present, 0x238);
LQ_CHECK_OFFSET(LinkStatus, reserved2, 0x448);
LQ_CHECK_OFFSET(LinkStatus, portAPhy, 0x450);
LQ_CHECK_OFFSET(LinkStatus, portBPhy, 0x4cc);

/* ---------------------------------------------------------------- statistics */

/* Per-port counters of the port-counter statistics format (capability 0x100). */
typedef struct PortCounters {
    uint64_t validUnder64;
    uint64_t valid64To1522;
    uint64_t validOver1522;
    uint64_t invalidUnder64;    /* shown as collisions */
    uint64_t invalid64To1522;   /* CRC errors */
    uint64_t invalidOver1522;   /* shown as jabbers */
    uint64_t validBytes;
    uint64_t capacity;          /* bytes the line carries per sampling interval; a level */
    uint64_t validPackets;
    uint64_t invalidPackets;
    uint64_t hardwareDropped;
} PortCounters;
LQ_CHECK_SIZE(PortCounters, 88);

#define LQ_COUNTERS_V2 16

typedef struct DeviceStatistics {
    uint64_t reserved0;
    uint64_t sampleTimeMs;
    uint64_t droppedPackets; /* software-dropped */
    union {
        struct {
            uint64_t linkUpMs;       /* time since the link came up */
            uint64_t lastLinkDownMs; /* duration of the last link-down period */
            PortCounters portA;
            PortCounters portB;
            uint64_t reserved[2];
        } ports; /* format 1, capability 0x100 */
        struct {
            uint64_t counters[LQ_COUNTERS_V2]; /* the sixteenth is also the hardware drop total */
            uint64_t reserved[10];
        } configurable; /* format 2, capability 0x200 */
    } u;
} DeviceStatistics;
LQ_CHECK_SIZE(DeviceStatistics, 232);
LQ_CHECK_OFFSET(DeviceStatistics, sampleTimeMs, 0x08);
LQ_CHECK_OFFSET(DeviceStatistics, droppedPackets, 0x10);
LQ_CHECK_OFFSET(DeviceStatistics, u.ports.linkUpMs, 0x18);
LQ_CHECK_OFFSET(DeviceStatistics, u.ports.lastLinkDownMs, 0x20);
LQ_CHECK_OFFSET(DeviceStatistics, u.ports.portA, 0x28);
LQ_CHECK_OFFSET(DeviceStatistics, u.ports.portB, 0x80);
LQ_CHECK_OFFSET(DeviceStatistics, u.ports.reserved, 0xd8);
LQ_CHECK_OFFSET(DeviceStatistics, u.configurable.counters, 0x18);
LQ_CHECK_OFFSET(DeviceStatistics, u.configurable.counters[15], 0x90);
LQ_CHECK_OFFSET(DeviceStatistics, u.configurable.reserved, 0x98);

/* ---------------------------------------------------------------- direct capture */

typedef struct DiskDumpStatus {
    uint8_t running;
    uint8_t bufferAlarm;
    uint8_t reserved0[6];
    uint64_t bufferedBytes;
    uint64_t writtenBytes;
    uint64_t droppedBytes;
    int32_t errorCode; /* 0 = no error */
    uint8_t reserved1[20];
} DiskDumpStatus;
LQ_CHECK_SIZE(DiskDumpStatus, 56);
LQ_CHECK_OFFSET(DiskDumpStatus, bufferedBytes, 8);
LQ_CHECK_OFFSET(DiskDumpStatus, writtenBytes, 16);
LQ_CHECK_OFFSET(DiskDumpStatus, droppedBytes, 24);
LQ_CHECK_OFFSET(DiskDumpStatus, errorCode, 32);

enum { LQ_DISK_DUMP_FORMAT_PCAPNG = 0 };

/* Passed by value; the path is only borrowed by the library. */
typedef struct DiskDumpConfig {
    uint32_t loop;
    uint32_t reserved0;
    uint32_t fileFormat;
    uint8_t reserved1[4];
    wchar_t *path; /* NUL-terminated; owned by the manager's request, freed by its worker */
    uint64_t maxFileSize;   /* bytes */
    uint64_t bufferSize;    /* bytes */
    uint32_t fileCount;
    uint32_t maxFileDuration; /* seconds */
} DiskDumpConfig;
LQ_CHECK_SIZE(DiskDumpConfig, 48);
LQ_CHECK_OFFSET(DiskDumpConfig, fileFormat, 8);
LQ_CHECK_OFFSET(DiskDumpConfig, path, 16);
LQ_CHECK_OFFSET(DiskDumpConfig, maxFileSize, 24);
LQ_CHECK_OFFSET(DiskDumpConfig, bufferSize, 32);
LQ_CHECK_OFFSET(DiskDumpConfig, fileCount, 40);
LQ_CHECK_OFFSET(DiskDumpConfig, maxFileDuration, 44);

/* ---------------------------------------------------------------- timing */

/* Time source codes, shared by the status and the initialisation setting. */
enum {
    LQ_TIME_SOURCE_SYSTEM = 0,
    LQ_TIME_SOURCE_RTC = 1,
    LQ_TIME_SOURCE_GPS = 2,
    LQ_TIME_SOURCE_NONE = 3,
    LQ_TIME_SOURCE_MANUAL = 4,
    LQ_TIME_SOURCE_SNTP = 5
};

typedef struct TimingStatus {
    int32_t statusWord; /* the device's own; not shown */
    int32_t gpsFixState; /* 0 no fix, 1 partial, 2 fix */
    int32_t satellitesUsed;
    int32_t gpsSatellites;
    int32_t glonassSatellites;
    int32_t gpsPpsValid;
    int32_t externalPps;
    int32_t oscillatorSynced;
    double ppsDeviationNs;
    int32_t ppsAccuracyNs;
    int32_t timeSource; /* LQ_TIME_SOURCE_* */
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t year;
    int32_t month;
    int32_t day;
} TimingStatus;
LQ_CHECK_SIZE(TimingStatus, 72);
LQ_CHECK_OFFSET(TimingStatus, gpsFixState, 4);
LQ_CHECK_OFFSET(TimingStatus, satellitesUsed, 8);
LQ_CHECK_OFFSET(TimingStatus, gpsSatellites, 12);
LQ_CHECK_OFFSET(TimingStatus, glonassSatellites, 16);
LQ_CHECK_OFFSET(TimingStatus, gpsPpsValid, 20);
LQ_CHECK_OFFSET(TimingStatus, externalPps, 24);
LQ_CHECK_OFFSET(TimingStatus, oscillatorSynced, 28);
LQ_CHECK_OFFSET(TimingStatus, ppsDeviationNs, 32);
LQ_CHECK_OFFSET(TimingStatus, ppsAccuracyNs, 40);
LQ_CHECK_OFFSET(TimingStatus, timeSource, 44);
LQ_CHECK_OFFSET(TimingStatus, hour, 48);
LQ_CHECK_OFFSET(TimingStatus, year, 60);

/* Clock-set request: for GPS only the source is filled. */
typedef struct TimingTimeSet {
    uint32_t source; /* LQ_TIME_SOURCE_GPS or LQ_TIME_SOURCE_SNTP */
    uint32_t seconds; /* since 1970-01-01 UTC */
    uint32_t secondsAgain;
} TimingTimeSet;
LQ_CHECK_SIZE(TimingTimeSet, 12);
LQ_CHECK_OFFSET(TimingTimeSet, seconds, 4);
LQ_CHECK_OFFSET(TimingTimeSet, secondsAgain, 8);

/* ---------------------------------------------------------------- features */

typedef struct DeviceFeatures {
    uint32_t transmit_crc_errors;
    uint32_t keep_crc;
    uint32_t disable_port_a;
    uint32_t disable_port_b;
    uint32_t packet_slicing;
    uint32_t tap_mode; /* 1 = span mode off, 0 = span mode on */
    uint32_t loopback;
    uint32_t timestamps;
    uint32_t force_pps;
    uint32_t timestamp_init_source; /* 0 system, 1 RTC, 2 GPS, 3 none */
    uint32_t wait_for_sync;
    uint32_t pps_output;
    int16_t pps_delay; /* negated slider value, steps of 2^-32 s */
    uint8_t reserved0[2];
    uint32_t port_a_timestamp; /* 0 capture, 1 ingress, 2 egress */
    uint32_t port_b_timestamp;
    uint32_t reserved1;
    uint16_t slicing_length;
    uint8_t firmware_variant;
    uint8_t reserved2;
} DeviceFeatures;
LQ_CHECK_SIZE(DeviceFeatures, 68);
LQ_CHECK_OFFSET(DeviceFeatures, keep_crc, 0x04);
LQ_CHECK_OFFSET(DeviceFeatures, disable_port_a, 0x08);
LQ_CHECK_OFFSET(DeviceFeatures, disable_port_b, 0x0c);
LQ_CHECK_OFFSET(DeviceFeatures, packet_slicing, 0x10);
LQ_CHECK_OFFSET(DeviceFeatures, tap_mode, 0x14);
LQ_CHECK_OFFSET(DeviceFeatures, loopback, 0x18);
LQ_CHECK_OFFSET(DeviceFeatures, timestamps, 0x1c);
LQ_CHECK_OFFSET(DeviceFeatures, force_pps, 0x20);
LQ_CHECK_OFFSET(DeviceFeatures, timestamp_init_source, 0x24);
LQ_CHECK_OFFSET(DeviceFeatures, wait_for_sync, 0x28);
LQ_CHECK_OFFSET(DeviceFeatures, pps_output, 0x2c);
LQ_CHECK_OFFSET(DeviceFeatures, pps_delay, 0x30);
LQ_CHECK_OFFSET(DeviceFeatures, port_a_timestamp, 0x34);
LQ_CHECK_OFFSET(DeviceFeatures, port_b_timestamp, 0x38);
LQ_CHECK_OFFSET(DeviceFeatures, reserved1, 0x3c);
LQ_CHECK_OFFSET(DeviceFeatures, slicing_length, 0x40);
LQ_CHECK_OFFSET(DeviceFeatures, firmware_variant, 0x42);
LQ_CHECK_OFFSET(DeviceFeatures, reserved2, 0x43);

/* One port's link settings; 1 = on. */
typedef struct PortSpeedSettings {
    uint32_t auto_negotiation;
    uint32_t speed_1000_full;
    uint32_t speed_100_full;
    uint32_t speed_100_half;
    uint32_t speed_10_full;
    uint32_t speed_10_half;
    uint32_t asymmetric_pause;
    uint32_t symmetric_pause;
    uint32_t master;
    uint32_t force_master_slave;
} PortSpeedSettings;
LQ_CHECK_SIZE(PortSpeedSettings, 40);

typedef struct DevicePortsSpeed {
    PortSpeedSettings portA;
    PortSpeedSettings portB;
} DevicePortsSpeed;
LQ_CHECK_SIZE(DevicePortsSpeed, 80);
LQ_CHECK_OFFSET(DevicePortsSpeed, portA.speed_1000_full, 0x04);
LQ_CHECK_OFFSET(DevicePortsSpeed, portA.force_master_slave, 0x24);
LQ_CHECK_OFFSET(DevicePortsSpeed, portB, 0x28);
LQ_CHECK_OFFSET(DevicePortsSpeed, portB.force_master_slave, 0x4c);

/* ---------------------------------------------------------------- configurable counters */

/* Tri-state fields: -1 don't care, 0 must not match, 1 must match. */
typedef struct CounterV2Config {
    uint32_t index; /* 0..15 */
    int32_t ipv4;
    int32_t ipv6;
    int32_t broadcast;
    int32_t multicast;
    int32_t unicast;
    int32_t icmp;
    int32_t udp;
    int32_t tcp;
    int32_t crcValid;
    int32_t dropped;
    uint32_t size;
    int32_t sizeMode; /* -1 any, 0 greater than, 1 less than, 2 equal */
    uint8_t address[16]; /* reversed byte order */
    uint8_t mask[16];
    int32_t portA;
    int32_t portB;
    int32_t countingMode; /* 0 packets, 1 bytes */
} CounterV2Config;
LQ_CHECK_SIZE(CounterV2Config, 96);
LQ_CHECK_OFFSET(CounterV2Config, ipv4, 0x04);
LQ_CHECK_OFFSET(CounterV2Config, ipv6, 0x08);
LQ_CHECK_OFFSET(CounterV2Config, broadcast, 0x0c);
LQ_CHECK_OFFSET(CounterV2Config, multicast, 0x10);
LQ_CHECK_OFFSET(CounterV2Config, unicast, 0x14);
LQ_CHECK_OFFSET(CounterV2Config, icmp, 0x18);
LQ_CHECK_OFFSET(CounterV2Config, udp, 0x1c);
LQ_CHECK_OFFSET(CounterV2Config, tcp, 0x20);
LQ_CHECK_OFFSET(CounterV2Config, crcValid, 0x24);
LQ_CHECK_OFFSET(CounterV2Config, dropped, 0x28);
LQ_CHECK_OFFSET(CounterV2Config, size, 0x2c);
LQ_CHECK_OFFSET(CounterV2Config, sizeMode, 0x30);
LQ_CHECK_OFFSET(CounterV2Config, address, 0x34);
LQ_CHECK_OFFSET(CounterV2Config, mask, 0x44);
LQ_CHECK_OFFSET(CounterV2Config, portA, 0x54);
LQ_CHECK_OFFSET(CounterV2Config, portB, 0x58);
LQ_CHECK_OFFSET(CounterV2Config, countingMode, 0x5c);

/* ---------------------------------------------------------------- filters */

/* PacketFilter.fields bits */
enum {
    LQ_FILTER_IPV6 = 0x1,
    LQ_FILTER_DST_MAC = 0x2,
    LQ_FILTER_SRC_MAC = 0x4,
    LQ_FILTER_DST_IP = 0x8,
    LQ_FILTER_SRC_IP = 0x10,
    LQ_FILTER_DST_PORT = 0x20,
    LQ_FILTER_SRC_PORT = 0x40
};
/* PacketFilter.modes bits: set = "source or destination" (one address, either direction) */
enum { LQ_FILTER_MODE_MAC = 0x1, LQ_FILTER_MODE_IP = 0x2, LQ_FILTER_MODE_PORT = 0x4 };

/* Header filter. Addresses are stored in reversed byte order. */
typedef struct PacketFilter {
    uint32_t enabled;
    uint32_t fields;
    uint16_t modes;
    uint8_t dst_mac[6];
    uint8_t src_mac[6];
    uint8_t dst_ip[16];
    uint8_t src_ip[16];
    uint16_t dst_port;
    uint16_t src_port;
    uint16_t mac_mask;    /* bits 0-5 destination bytes, 6-11 source bytes */
    uint16_t dst_ip_mask; /* one bit per address byte */
    uint16_t src_ip_mask;
    uint8_t port_mask;    /* 0x3 destination port, 0xc source port */
    uint8_t reserved[3];
} PacketFilter;
LQ_CHECK_SIZE(PacketFilter, 68);
LQ_CHECK_OFFSET(PacketFilter, fields, 0x04);
LQ_CHECK_OFFSET(PacketFilter, modes, 0x08);
LQ_CHECK_OFFSET(PacketFilter, dst_mac, 0x0a);
LQ_CHECK_OFFSET(PacketFilter, src_mac, 0x10);
LQ_CHECK_OFFSET(PacketFilter, dst_ip, 0x16);
LQ_CHECK_OFFSET(PacketFilter, src_ip, 0x26);
LQ_CHECK_OFFSET(PacketFilter, dst_port, 0x36);
LQ_CHECK_OFFSET(PacketFilter, src_port, 0x38);
LQ_CHECK_OFFSET(PacketFilter, mac_mask, 0x3a);
LQ_CHECK_OFFSET(PacketFilter, dst_ip_mask, 0x3c);
LQ_CHECK_OFFSET(PacketFilter, src_ip_mask, 0x3e);
LQ_CHECK_OFFSET(PacketFilter, port_mask, 0x40);

#define LQ_DPI_PATTERN_BYTES 16

/* Deep packet inspection: keep packets containing the masked pattern. */
typedef struct DpiFilter {
    uint32_t enabled;
    uint8_t pattern[LQ_DPI_PATTERN_BYTES];
    uint8_t reserved[16];
    uint32_t pattern_mask; /* bit i set = byte i compared */
} DpiFilter;
LQ_CHECK_SIZE(DpiFilter, 40);
LQ_CHECK_OFFSET(DpiFilter, pattern, 0x04);
LQ_CHECK_OFFSET(DpiFilter, reserved, 0x14);
LQ_CHECK_OFFSET(DpiFilter, pattern_mask, 0x24);

/* ---------------------------------------------------------------- firmware variants */

#define LQ_HW_FIRMWARE_NAME_BYTES 32
/* The manager's bound on the variant list; the library never reports more. */
#define LQ_MAX_HW_FIRMWARES 16

typedef struct HwFirmwaresDesc {
    int32_t count;
    char names[LQ_MAX_HW_FIRMWARES][LQ_HW_FIRMWARE_NAME_BYTES]; /* NUL-terminated ASCII */
} HwFirmwaresDesc;
LQ_CHECK_OFFSET(HwFirmwaresDesc, names, 4);
LQ_CHECK_SIZE(HwFirmwaresDesc, 4 + LQ_MAX_HW_FIRMWARES * LQ_HW_FIRMWARE_NAME_BYTES);

/* ---------------------------------------------------------------- capability bits */

enum {
    LQ_CAP_CONFIGURABLE = 0x1,
    LQ_CAP_PORT_SPEED = 0x4,
    LQ_CAP_TIMING = 0x8,
    LQ_CAP_FIRMWARE_FLASH = 0x10,
    LQ_CAP_POE = 0x20,
    LQ_CAP_SFP = 0x40,
    LQ_CAP_FILTERS = 0x80,
    LQ_CAP_STATS_PORTS = 0x100,
    LQ_CAP_STATS_COUNTERS_V2 = 0x200,
    LQ_CAP_PER_PORT_LINK = 0x400,
    LQ_CAP_LOOPBACK = 0x800,
    LQ_CAP_PCAPNG = 0x8000,
    LQ_CAP_SLICING_LENGTH = 0x10000,
    LQ_CAP_FIRMWARE_VARIANTS = 0x40000
};

/* USB speed in the low byte of the extra information word. */
enum { LQ_USB_FULL_SPEED = 1, LQ_USB_HIGH_SPEED = 2, LQ_USB_SUPER_SPEED = 3 };

/* Firmware update progress answer while the update runs. */
#define LQ_FIRMWARE_UPDATE_RUNNING (-13)

/* ---------------------------------------------------------------- functions */

/* Called on a library thread when a device is connected or removed. */
typedef void (*LumenquillAPIDeviceCallback)(uint64_t handle, void *context);

int LumenquillAPIAddNewDeviceCallback(LumenquillAPIDeviceCallback callback, void *context);
int LumenquillAPIAddDeviceGoneCallback(LumenquillAPIDeviceCallback callback, void *context);
int LumenquillAPIInitialize(void);
int LumenquillAPIUninitialize(void);

uint32_t LumenquillAPIGetVersion(void); /* packed a.b.c.d, a in the low byte */
uint32_t LumenquillAPIGetDeviceCapabilities(uint32_t deviceType);

int LumenquillAPIGetDeviceType(uint64_t handle, uint32_t *deviceType);
int LumenquillAPIGetDeviceMAC(uint64_t handle, uint8_t mac[6]);
int LumenquillAPIGetDeviceExtraInfo(uint64_t handle, uint32_t *extraInfo);
int LumenquillAPIGetVersions(uint64_t handle, DeviceVersions *versions);
int LumenquillAPIGetLinkStatus(uint64_t handle, LinkStatus *status);
int LumenquillAPIGetStatistics(uint64_t handle, DeviceStatistics *statistics);
int LumenquillAPIGetTimingStatus(uint64_t handle, TimingStatus *status);
int LumenquillAPIDiskDumpGetStatus(uint64_t handle, DiskDumpStatus *status);
int LumenquillAPIGetDeviceFeatures(uint64_t handle, DeviceFeatures *features);
int LumenquillAPIGetDevicePortsSpeed(uint64_t handle, DevicePortsSpeed *portsSpeed);
int LumenquillAPIGetPacketFilter(uint64_t handle, PacketFilter *filter);
int LumenquillAPIGetDpiFilter(uint64_t handle, DpiFilter *filter);

int LumenquillAPISetDeviceFeatures(uint64_t handle, DeviceFeatures features);
int LumenquillAPISetDevicePortsSpeed(uint64_t handle, DevicePortsSpeed portsSpeed);
int LumenquillAPISetPacketFilter(uint64_t handle, PacketFilter filter);
int LumenquillAPISetDpiFilter(uint64_t handle, DpiFilter filter);
int LumenquillAPISetCounterV2(uint64_t handle, CounterV2Config config);
int LumenquillAPISetTimingTime(uint64_t handle, TimingTimeSet timeSet);
int LumenquillAPIDiskDumpSetConfig(uint64_t handle, DiskDumpConfig config);

int LumenquillAPISaveDeviceFeatures(uint64_t handle);
int LumenquillAPISavePacketFilter(uint64_t handle);
int LumenquillAPISaveDpiFilter(uint64_t handle);
int LumenquillAPIRestartDevice(uint64_t handle);
int LumenquillAPIDiskDumpStart(uint64_t handle);
int LumenquillAPIDiskDumpStop(uint64_t handle);

int LumenquillAPIFirmwareUpdateStart(uint64_t handle, const wchar_t *path);
/* 0 = finished well, LQ_FIRMWARE_UPDATE_RUNNING = running, other = failed */
int LumenquillAPIFirmwareUpdateGetProgress(uint64_t handle, uint32_t *percent);
int LumenquillAPIGetHwFirmwaresDesc(uint64_t handle, HwFirmwaresDesc *list);

#ifdef __cplusplus
}
#endif

#endif /* LUMENQUILLAPI_H */
