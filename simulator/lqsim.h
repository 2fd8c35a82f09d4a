/* SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 * Control and test interface of the device simulator. Exported from the
 * simulated libLumenquillAPI.so.2 next to the device library functions; the
 * manager never calls it, tests and benchmarks drive the simulated devices
 * through it instead of sleeping.
 *
 * Devices are named by their MAC text, six two-digit lower-case hexadecimal
 * bytes joined by ':' ("02:4c:51:00:00:01"). Ports are 0 (Port A) and 1 (Port B).
 * Functions returning int answer 0 on success and -1 when the device or
 * argument is unknown.
 */
#pragma once
#ifndef LQSIM_H
#define LQSIM_H

#include "lumenquillapi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------ scenario */

/* Replace every device with those of a scenario (JSON text or file). Devices
 * already announced leave (device-gone callbacks) and the new ones arrive, when
 * the library is initialised. On a malformed scenario the error is written to
 * stderr as one line naming the file (or "<text>"), line and field, and the
 * simulator is left with no devices; the answer is then -1. Objects and arrays
 * nesting deeper than 64 levels and files larger than 16 MiB are malformed
 * (README.md). */
int lqsim_load_scenario_text(const char *json);
int lqsim_load_scenario_file(const char *path);

/* ------------------------------------------------------------ clock */

/* Switch to a manual clock that stands still at startMs (milliseconds since
 * 1970-01-01 UTC; 0 keeps the current time) until advanced. */
void lqsim_use_manual_clock(uint64_t startMs);
/* Back to the wall clock (continuing from the manual time, no jump back). */
void lqsim_use_real_clock(void);
/* Advance the manual clock. Returns after every event that fell due (device
 * arrivals and departures, restarts, firmware progress) has been handled and its
 * callbacks have returned. */
void lqsim_advance_clock(uint64_t ms);
/* The simulator's clock, milliseconds since 1970-01-01 UTC. */
uint64_t lqsim_now_ms(void);

/* ------------------------------------------------------------ devices */

/* Plug a device described as one entry of a scenario's "devices" array (JSON
 * object text). A MAC already present is refused (-1). */
int lqsim_plug(const char *deviceJson);
/* Unplug a device; the device-gone callback follows on the simulator thread. */
int lqsim_unplug(const char *mac);
/* Current handle of a plugged and announced device, 0 when there is none. */
uint64_t lqsim_handle_of(const char *mac);
/* Number of devices currently plugged. */
int lqsim_device_count(void);

/* ------------------------------------------------------------ faults */

enum {
    LQSIM_FAIL_ONCE = 1,   /* the next call fails, later calls succeed */
    LQSIM_FAIL_ALWAYS = 2, /* every call fails until cleared */
    LQSIM_FAIL_RATE = 3    /* each call fails with probability `rate` (seeded) */
};

/* Make a library function (named as in lumenquillapi.h, e.g.
 * "LumenquillAPIGetTimingStatus") fail with `code` (non-zero). For functions
 * that cannot fail (GetVersion, GetDeviceCapabilities) the call is refused. */
int lqsim_fail(const char *function, int mode, double rate, int code);
void lqsim_clear_failures(void);
/* How many times a library function has been called since the last reset
 * (failed calls included). */
uint64_t lqsim_call_count(const char *function);
/* How many of those calls answered an injected failure. */
uint64_t lqsim_failure_count(const char *function);
void lqsim_reset_call_counts(void);

/* How many device library calls (any LumenquillAPI... function but
 * LumenquillAPIInitialize, failed calls and a second LumenquillAPIUninitialize
 * included) were made while the library stood uninitialised after a
 * LumenquillAPIUninitialize, counted since the latest LumenquillAPIInitialize
 * or the library's load. A program that stops cleanly keeps it at 0 from its
 * last LumenquillAPIUninitialize on. lqsim_reset_call_counts leaves it alone.
 *
 * Uninitialising takes every device's handle away at once, a firmware update
 * still running included: its progress (and any call on the old handle)
 * answers LQSIM_ERR_UNKNOWN_HANDLE. The device itself goes on writing the
 * image, so after the next LumenquillAPIInitialize it is announced under a new
 * handle with the update still running, or finished, by then. */
uint64_t lqsim_calls_after_uninitialize(void);

/* ------------------------------------------------------------ physical events */

/* Bring a port's link down (up = 0) or let it come up again (up = 1). */
int lqsim_set_link(const char *mac, int port, int up);
/* Insert (present = 1) or remove (0) a port's SFP module. */
int lqsim_set_sfp_module(const char *mac, int port, int present);

/* ------------------------------------------------------------ read back what the manager set */

/* Each answers -1 when the manager has not set that record on that device yet. */
int lqsim_last_features(const char *mac, DeviceFeatures *out);
int lqsim_last_ports_speed(const char *mac, DevicePortsSpeed *out);
int lqsim_last_counter_v2(const char *mac, uint32_t index, CounterV2Config *out);
int lqsim_last_packet_filter(const char *mac, PacketFilter *out);
int lqsim_last_dpi_filter(const char *mac, DpiFilter *out);
int lqsim_last_timing_time(const char *mac, TimingTimeSet *out);
/* The configuration's path is copied as UTF-8 into pathOut (NUL-terminated,
 * truncated to pathSize); the record's own path pointer is set to NULL. */
int lqsim_last_disk_dump_config(const char *mac, DiskDumpConfig *out, char *pathOut, size_t pathSize);
/* Packets written to the capture files and files opened by the device's
 * current or last direct capture (a ring's deleted files included). */
int lqsim_disk_dump_written(const char *mac, uint64_t *packets, uint64_t *files);

/* ------------------------------------------------------------ library answers */

/* What the simulated library answers when a call fails, so that tests can
 * tell the reasons apart. LQ_FIRMWARE_UPDATE_RUNNING (-13) is not among them. */
enum {
    LQSIM_ERR_UNKNOWN_HANDLE = -2,      /* no announced device has that handle */
    LQSIM_ERR_INVALID_ARGUMENT = -3,    /* null pointer, index out of range, firmware path not bytes */
    LQSIM_ERR_NOT_SUPPORTED = -4,       /* the device type lacks the capability */
    LQSIM_ERR_BUSY = -5,                /* a firmware update or a direct capture runs (see below) */
    LQSIM_ERR_NOT_READY = -6,           /* capture without configuration, progress without update */
    LQSIM_ERR_IMAGE_UNREADABLE = -7,    /* firmware image missing or unreadable */
    LQSIM_ERR_IMAGE_FOREIGN = -8,       /* not a LumenQuill firmware image */
    LQSIM_ERR_IMAGE_WRONG_DEVICE = -9,  /* the image does not list the device's type */
    LQSIM_ERR_IMAGE_CORRUPT = -10,      /* payload CRC mismatch, found while verifying */
    LQSIM_ERR_NO_CRC32 = -11,           /* the process exports no CRC32Generator */
    LQSIM_ERR_INTERNAL = -12            /* the simulator itself failed (out of memory) */
};

/* Busy. While a firmware update runs the device refuses a restart and a
 * second update; while a direct capture runs it refuses a new capture
 * configuration, keeping the running capture's files, names and rotation
 * untouched (stop the capture first). */

/* Paths. LumenquillAPIFirmwareUpdateStart takes the image path the way the
 * manager writes it: each wide character is one byte of the local 8-bit
 * (UTF-8) path, so "/home/zoë/fw.img" arrives as ..., 0xC3, 0xAB, ...; a
 * character above 0xFF is no byte and answers LQSIM_ERR_INVALID_ARGUMENT.
 * The path of a DiskDumpConfig holds code points instead, which the library
 * encodes as UTF-8. */

/* Simulator clock durations. */
enum {
    LQSIM_RESTART_MS = 3000,          /* a restarting device is away this long */
    LQSIM_FIRMWARE_VERIFY_MS = 1000,  /* an update verifies the image first... */
    LQSIM_FIRMWARE_UPDATE_MS = 8000   /* ...and has finished writing it by then */
};

/* ------------------------------------------------------------ start-up scenario, replugging, state */

/* Back to the scenario the library starts with: the file named by
 * LUMENQUILL_SIM_SCENARIO (read again now), or the compiled-in default when
 * that is unset or empty. Answers like lqsim_load_scenario_file. */
int lqsim_load_startup_scenario(void);

/* Pull a device's cable and put it back: it leaves now and returns after
 * LQSIM_RESTART_MS with a new handle, exactly as after a restart (saved
 * settings in force, a finished firmware update installed). -1 for an unknown
 * MAC or while a firmware update is running. */
int lqsim_replug(const char *mac);

/* Whether the library is initialised (its thread runs). */
int lqsim_is_initialized(void);

#ifdef __cplusplus
}
#endif

#endif /* LQSIM_H */
