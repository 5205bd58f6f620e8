#include "tracking.h"

#include <cstring>
#include <iterator>

namespace receiversim {
namespace {

struct SystemSwitch {
    unsigned char code;
    unsigned char entry;
    unsigned char ReceiverConfigPara::*member;
    const char *system;
};

constexpr SystemSwitch kSystems[] = {
    {ENTRY_GPSE_OP, ENTRY_GPS_ENABLE, &ReceiverConfigPara::GPS_ENABLE, "GPS"},
    {ENTRY_BDE_OP, ENTRY_BD_ENABLE, &ReceiverConfigPara::BD_ENABLE, "BeiDou"},
    {ENTRY_GLOE_OP, ENTRY_GLO_ENABLE, &ReceiverConfigPara::GLO_ENABLE, "GLONASS"},
    {ENTRY_GALE_OP, ENTRY_GAL_ENABLE, &ReceiverConfigPara::GAL_ENABLE, "Galileo"},
    {ENTRY_QZSS_OP, ENTRY_QZSS_ENABLE, &ReceiverConfigPara::QZSS_ENABLE, "QZSS"},
};

// Byte 1 of ENTRY_SBAS_ENABLE.
constexpr const char *kSbasServices[] = {"automatic", "WAAS",   "EGNOS", "MSAS",    "GAGAN",
                                         "SDCM",      "BDSBAS", "KASS",  "SouthPAN"};

const SystemSwitch *FindSystem(unsigned char code) {
    for (const SystemSwitch &system : kSystems)
        if (system.code == code) return &system;
    return nullptr;
}

// Reads an entry through the library: false (and a line saying so) when its lock was not to
// be had.
bool Read(unsigned char entry, void *data, std::size_t size, FILE *log) {
    std::memset(data, 0, size);
    if (GetReceiverConfigParaFromShareMemory(entry, data) == 0) return true;
    std::fprintf(log, "could not read the setting: nothing taken into use");
    return false;
}

OPERATE_STATE Refused(FILE *log, const char *what, unsigned int value, const char *form) {
    std::fprintf(log, "%s %u refused (%s): nothing taken into use", what, value, form);
    return OP_FAILED;
}

OPERATE_STATE ElevationMask(FILE *log) {
    unsigned int degrees = 0;
    if (!Read(ENTRY_MASK_ANGLE, &degrees, sizeof degrees, log)) return OP_FAILED;
    if (degrees > 90) return Refused(log, "elevation mask", degrees, "whole degrees 0 to 90");
    std::fprintf(log, "elevation mask %u degrees taken into use", degrees);
    return OP_SUCCESS;
}

// ENTRY_CONFIG_OP: the settings that have no operation of their own, today the PDOP limit.
OPERATE_STATE SettingsWithoutOperation(FILE *log) {
    unsigned int tenths = 0;
    if (!Read(ENTRY_PDOP_LIMIT, &tenths, sizeof tenths, log)) return OP_FAILED;
    if (tenths < 10 || tenths > 999) return Refused(log, "PDOP limit", tenths, "tenths 10 to 999");
    std::fprintf(log, "PDOP limit %u.%u taken into use", tenths / 10, tenths % 10);
    return OP_SUCCESS;
}

OPERATE_STATE SystemOnOff(const SystemSwitch &system, FILE *log) {
    unsigned char on = 0;
    if (!Read(system.entry, &on, sizeof on, log)) return OP_FAILED;
    if (on > 1) return Refused(log, system.system, on, "0 off or 1 on");
    std::fprintf(log, "%s %s", system.system, on != 0 ? "tracked and used" : "off");
    return OP_SUCCESS;
}

OPERATE_STATE Sbas(FILE *log) {
    unsigned char sbas[2] = {};
    if (!Read(ENTRY_SBAS_ENABLE, sbas, sizeof sbas, log)) return OP_FAILED;
    if (sbas[0] > 1) return Refused(log, "SBAS", sbas[0], "0 off or 1 on");
    if (sbas[1] >= std::size(kSbasServices)) return Refused(log, "SBAS service", sbas[1], "0 to 8");
    std::fprintf(log, "SBAS %s, service %s", sbas[0] != 0 ? "tracked and used" : "off", kSbasServices[sbas[1]]);
    return OP_SUCCESS;
}

}  // namespace

const char *TrackingOperationName(unsigned char code) {
    if (const SystemSwitch *system = FindSystem(code)) return system->system;
    switch (code) {
        case ENTRY_MANGLE_OP:
            return "elevation mask";
        case ENTRY_SBAS_OP:
            return "SBAS";
        case ENTRY_CONFIG_OP:
            return "settings without an operation";
        default:
            return nullptr;
    }
}

OPERATE_STATE TakeTrackingIntoUse(unsigned char code, FILE *log) {
    if (const SystemSwitch *system = FindSystem(code)) return SystemOnOff(*system, log);
    switch (code) {
        case ENTRY_MANGLE_OP:
            return ElevationMask(log);
        case ENTRY_SBAS_OP:
            return Sbas(log);
        case ENTRY_CONFIG_OP:
            return SettingsWithoutOperation(log);
        default:
            return OP_FAILED;
    }
}

void SetDefaultTracking(ReceiverConfigPara &config) {
    config.MASK_ANGLE = 10;
    config.PDOP_LIMIT = 60;
    for (const SystemSwitch &system : kSystems) config.*system.member = 1;
    config.SBAS_ENABLE[0] = 1;
    config.SBAS_ENABLE[1] = 0;
}

void WriteTracking(const ReceiverConfigPara &config) {
    SetReceiverConfigParaToShareMemory(ENTRY_MASK_ANGLE, &config.MASK_ANGLE);
    SetReceiverConfigParaToShareMemory(ENTRY_PDOP_LIMIT, &config.PDOP_LIMIT);
    for (const SystemSwitch &system : kSystems)
        SetReceiverConfigParaToShareMemory(system.entry, &(config.*system.member));
    SetReceiverConfigParaToShareMemory(ENTRY_SBAS_ENABLE, config.SBAS_ENABLE);
}

}  // namespace receiversim
