// The groups of settings the settings program reads and changes: each a rows::Group whose rows
// may lie in several entries (each row names its own place). Adding a group is adding its rows
// and one line to kGroups.
#pragma once

#include <span>

#include "receiver_settings.h"
#include "setting_row.h"

namespace settings {

using rows::Choice;
using rows::Row;
using rows::Shown;

// ---- Tracking: the elevation mask, the PDOP limit, the systems (docs/receiver.md) ----------

inline constexpr rows::Place kMaskAngle = ROWS_PLACE(Configuration, ENTRY_MASK_ANGLE, ENTRY_MANGLE_OP);
inline constexpr rows::Place kPdopLimit = ROWS_PLACE(Configuration, ENTRY_PDOP_LIMIT, ENTRY_CONFIG_OP);
inline constexpr rows::Place kGps = ROWS_PLACE(Configuration, ENTRY_GPS_ENABLE, ENTRY_GPSE_OP);
inline constexpr rows::Place kBeiDou = ROWS_PLACE(Configuration, ENTRY_BD_ENABLE, ENTRY_BDE_OP);
inline constexpr rows::Place kGlonass = ROWS_PLACE(Configuration, ENTRY_GLO_ENABLE, ENTRY_GLOE_OP);
inline constexpr rows::Place kGalileo = ROWS_PLACE(Configuration, ENTRY_GAL_ENABLE, ENTRY_GALE_OP);
inline constexpr rows::Place kQzss = ROWS_PLACE(Configuration, ENTRY_QZSS_ENABLE, ENTRY_QZSS_OP);
inline constexpr rows::Place kSbas = ROWS_PLACE(Configuration, ENTRY_SBAS_ENABLE, ENTRY_SBAS_OP);

// Members of the scalar entries: the entry is the whole record.
inline constexpr grshm::Member kWord{"", 0, 4, grshm::Kind::Unsigned};
inline constexpr grshm::Member kByte{"", 0, 1, grshm::Kind::Unsigned};
inline constexpr grshm::Member kSbasOn{"On", 0, 1, grshm::Kind::Unsigned};
inline constexpr grshm::Member kSbasService{"Service", 1, 1, grshm::Kind::Unsigned};

inline constexpr Choice kSbasServices[] = {{0, "automatic, by the position"},
                                           {1, "WAAS"},
                                           {2, "EGNOS"},
                                           {3, "MSAS"},
                                           {4, "GAGAN"},
                                           {5, "SDCM"},
                                           {6, "BDSBAS"},
                                           {7, "KASS"},
                                           {8, "SouthPAN"}};

constexpr Row At(Row row, const rows::Place &place) {
    row.place = &place;
    return row;
}

inline constexpr Row kTrackingRows[] = {
    At(rows::Within(rows::Show("ElevationMask", Shown::Number, kWord, "Elevation mask", "°"), 0, 90), kMaskAngle),
    At(rows::Scaled(rows::Show("PDOPLimit", Shown::Decimal, kWord, "PDOP limit"), 10, 1, 99.9), kPdopLimit),
    At(rows::Show("GPS", Shown::Flag, kByte, "GPS"), kGps),
    At(rows::Show("BeiDou", Shown::Flag, kByte, "BeiDou"), kBeiDou),
    At(rows::Show("GLONASS", Shown::Flag, kByte, "GLONASS"), kGlonass),
    At(rows::Show("Galileo", Shown::Flag, kByte, "Galileo"), kGalileo),
    At(rows::Show("QZSS", Shown::Flag, kByte, "QZSS"), kQzss),
    At(rows::Show("SBAS", Shown::Flag, kSbasOn, "SBAS"), kSbas),
    At(rows::OneOf(rows::Show("SBASService", Shown::Choice, kSbasService, "SBAS service"), kSbasServices), kSbas),
};

inline constexpr rows::Group kTracking = {"the tracking settings", "Tracking", kMaskAngle, 4, kTrackingRows};

// ---- The groups, by the name a request gives ------------------------------------------------

// What a group needs beyond its rows (docs/settings.md, "The receiver's groups").
enum class Extra : unsigned char {
    None,
    Antenna,    // its block is written into both recorders' records too; a read brings the types
    Recorder1,  // no start without space
    Recorder2,
    Maintenance,  // no rows: the actions a person confirms
};

struct NamedGroup {
    const char *name;  // "Group" of a request
    const rows::Group &group;
    bool admins_only = false;  // changed by an administrator only (else by an operator too)
    Extra extra = Extra::None;
};

inline constexpr rows::Group kMaintenanceGroup = {"maintenance", "Maintenance", kMaskAngle, 0, {}};

inline constexpr NamedGroup kGroups[] = {
    {"tracking", kTracking},
    {"identity", receiverstate::kIdentity},
    {"health", receiverstate::kHealth},
    {"links", receiverstate::kLinks},
    {"antenna", receiverstate::kAntenna, false, Extra::Antenna},
    {"recorder1", receiverstate::kRecorder<1>, false, Extra::Recorder1},
    {"recorder2", receiverstate::kRecorder<2>, false, Extra::Recorder2},
    {"network", receiverstate::kNetwork, true},
    {"maintenance", kMaintenanceGroup, true, Extra::Maintenance},
};

}  // namespace settings
