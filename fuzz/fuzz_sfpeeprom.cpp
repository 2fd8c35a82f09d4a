// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// SFP modules come from any maker and their memory says whatever it says.
// The device decodes pages A0h and A2h into the library record, and the SFP
// tab and its two dialogs turn every field of that record into text; both
// steps must hold for any bytes. The first input byte chooses whether the
// checksums are made right first, so that the decoder also reads past them.

#include "sfpeeprom.h"
#include "sfptexts.h"

#include <cstring>

namespace {

void showEverything(const SfpPortInfo &info)
{
    namespace T = SfpTexts;
    T::presence(info.present);
    T::fieldText(info.vendorName);
    T::vendorOui(info.vendorOui);
    T::fieldText(info.model);
    T::fieldText(info.revision);
    T::fieldText(info.dateCode);
    T::fieldText(info.serialNumber);
    T::nominalBitRate(info.nominalBitRate);
    T::bitRateMargin(info.bitRateMarginUpper);
    T::bitRateMargin(info.bitRateMarginLower);
    T::encoding(info.encoding);
    T::rateIdentifier(info.rateIdentifier);
    T::identifier(info.identifier);
    T::extendedIdentifier(info.extendedIdentifier);
    T::connector(info.connector);
    T::wavelength(info.wavelength);
    T::monitoringType(info.diagnosticMonitoringType);
    T::sff8472Compliance(info.sff8472Compliance);
    T::lengthSingleMode(info.lengthSingleMode);
    T::lengthMultiMode(info.lengthOm2);
    T::lengthMultiMode(info.lengthOm1);
    T::lengthCopper(info.lengthCopper);
    T::lengthMultiMode(info.lengthOm3);
    for (int i = 0; i < 5; ++i) {
        T::measurement(info.value, i);
        for (auto which :
             {T::Threshold::LowAlarm, T::Threshold::LowWarning, T::Threshold::HighWarning, T::Threshold::HighAlarm})
            T::measurement(T::thresholdSet(info, which), i);
    }
    T::warningFlags(info.flags);
    T::alarmFlags(info.flags);
    T::statusFlags(info.flags);
    for (int w = 0; w < LQ_SFP_TRANSCEIVER_WORDS; ++w)
        T::transceiverValue(w, info.transceiver[w]);
    for (int w = 0; w < LQ_SFP_OPTION_WORDS; ++w)
        T::optionValue(w, info.options[w]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool seal = data[0] & 1;
    ++data;
    --size;
    lqsim::SfpEeprom eeprom;
    std::memcpy(eeprom.a0.data(), data, std::min(size, eeprom.a0.size()));
    if (size > eeprom.a0.size())
        std::memcpy(eeprom.a2.data(), data + eeprom.a0.size(), std::min(size - eeprom.a0.size(), eeprom.a2.size()));
    if (seal)
        lqsim::sealSfpEeprom(eeprom);
    SfpPortInfo info{};
    lqsim::decodeSfpEeprom(eeprom, &info);
    showEverything(info);
    // The record as a device that is not ours might fill it: any bytes at all.
    SfpPortInfo raw{};
    std::memcpy(&raw, data, std::min(size, sizeof raw));
    showEverything(raw);
    return 0;
}
