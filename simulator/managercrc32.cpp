// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Calls the manager's exported CRC32Generator through its mangled member
// names. The class has no virtual members, so each member is a plain function
// taking the object as its first argument.

#include "managercrc32.h"

#include <dlfcn.h>

#include <algorithm>

namespace lqsim {

namespace {

// The object layout the manager exports: a 256-entry table and a 64-bit
// running value. Room and alignment are all the library has to provide.
constexpr size_t kGeneratorBytes = 1032;

using Constructor = void (*)(void *self);
using Init = void (*)(void *self);
using Update = void (*)(void *self, char *data, unsigned long length);
using Finish = unsigned long (*)(void *self);

template <typename F> F resolve(const char *mangledName)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, mangledName));
}

} // namespace

std::optional<uint32_t> managerCrc32(const uint8_t *data, size_t length)
{
    const auto construct = resolve<Constructor>("_ZN14CRC32GeneratorC1Ev");
    const auto init = resolve<Init>("_ZN14CRC32Generator4InitEv");
    const auto update = resolve<Update>("_ZN14CRC32Generator20CRC32_UpdateChecksumEPcm");
    const auto finish = resolve<Finish>("_ZN14CRC32Generator3GetEv");
    if (!construct || !init || !update || !finish)
        return std::nullopt;

    alignas(8) unsigned char generator[kGeneratorBytes];
    construct(generator);
    init(generator);
    // The manager's signature takes a mutable pointer, though it only reads;
    // feed it a chunk at a time so a huge image never depends on how wide
    // its length parameter really is.
    constexpr size_t kChunk = 1u << 20;
    for (size_t done = 0; done < length;) {
        const size_t n = std::min(kChunk, length - done);
        update(generator, reinterpret_cast<char *>(const_cast<uint8_t *>(data + done)), n);
        done += n;
    }
    return static_cast<uint32_t>(finish(generator) & 0xFFFFFFFFu);
}

} // namespace lqsim
