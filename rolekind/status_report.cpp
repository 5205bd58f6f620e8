#include "status_report.h"

#include <cstring>
#include <iterator>

#include "angle_text.h"
#include "coordinates.h"
#include "records.h"
#include "selection.h"
#include "self_printing.h"
#include "station_id.h"

namespace rolekind {
namespace {

constexpr const char *kStationKeys[] = {
    "Station1",  "Station2",  "Station3",  "Station4",  "Station5",  "Station6",  "Station7",  "Station8",
    "Station9",  "Station10", "Station11", "Station12", "Station13", "Station14", "Station15", "Station16",
    "Station17", "Station18", "Station19", "Station20", "Station21", "Station22", "Station23", "Station24",
    "Station25", "Station26", "Station27", "Station28", "Station29", "Station30",
};
static_assert(std::size(kStationKeys) == SMARTBASE_STATIONS);

// What the report shows, read before anything is printed.
struct StatusRecords {
    StoredSwitches switches;
    char station_id[kIdentifierBytes];
    Coordinates station_position;
    unsigned char station_state;
    SmartBaseInfo list[SMARTBASE_STATIONS];
};

// In the order the report shows them: the configured station, then the list.
void ReadStatusRecords(StatusRecords &records) {
    cgi::NoteRead(GetReceiverConfigParaFromShareMemory(ENTRY_STATION_ID, records.station_id), cgi::kConfigSegment,
                  ENTRY_STATION_ID);
    records.station_position = cgi::ReadConfigEntry<Coordinates>(ENTRY_STATION_POS);
    records.station_state = cgi::ReadMonitorByte(ENTRY_STATION_STATE);
    for (int position = kSmartBaseFirstPosition; position <= kSmartBaseLastPosition; ++position)
        records.list[position - 1] = cgi::ReadConfigEntry<SmartBaseInfo>(SmartBaseEntry(position));
}

void WriteText(cgi::JsonWriter &writer, const char *text) {
    writer.String(text, std::strlen(text));
}

void WriteSwitches(cgi::JsonWriter &writer, const StoredSwitches &switches, const char *clk) {
    writer.BeginObject();
    writer.Key("PPS");
    WriteText(writer, switches.pps_enable != 0 ? "ON" : "OFF");
    writer.Key("EVENT");
    WriteText(writer, switches.event_enable != 0 ? "ON" : "OFF");
    writer.Key("CLK");
    WriteText(writer, clk);
    writer.EndObject();
}

// The members a station object opens with: its identifier (a fixed-size field), its coordinate
// with angles in the given form, and its height.
template <std::size_t N>
void WriteStationMembers(cgi::JsonWriter &writer, const char (&id)[N], const Coordinates &point,
                         void (*write_angle)(cgi::JsonWriter &, double, unsigned char)) {
    writer.Key("ID");
    writer.String(id, strnlen(id, N));
    writer.Key("Coordinate");
    writer.BeginObject();
    writer.Key("Longitude");
    write_angle(writer, point.Longitude, point.LonDirection);
    writer.Key("Latitude");
    write_angle(writer, point.Latitude, point.LatDirection);
    writer.EndObject();
    writer.Key("Height");
    WriteText(writer, cgi::FixedShortText(point.Elevation, kHeightDecimals).text);
}

void WriteConfiguredStation(cgi::JsonWriter &writer, const StatusRecords &records) {
    writer.BeginObject();
    WriteStationMembers(writer, records.station_id, records.station_position, cgi::WriteBaseAngle);
    writer.Key("StationState");
    writer.Int(records.station_state == STATION_STARTUP ? 1 : 0);
    writer.EndObject();
}

// An angle object in the list form: "DEG" holds the signed degrees, "MIN" and "SEC" are
// constant.
void WriteListAngle(cgi::JsonWriter &writer, double value, unsigned char direction) {
    writer.BeginObject();
    writer.Key("DEG");
    WriteText(writer, cgi::FixedShortText(value, kListDegreesDecimals).text);
    writer.Key("MIN");
    WriteText(writer, "0.00");
    writer.Key("SEC");
    WriteText(writer, "0.00");
    writer.Key("HEM");
    const char letter[2] = {static_cast<char>(direction), '\0'};  // a zero letter gives ""
    WriteText(writer, letter);
    writer.EndObject();
}

// The work mode as the request read it at its start (no second read).
void WriteStatusReport(const void *userdata, cgi::JsonWriter &writer) {
    const auto &records = *static_cast<const StatusRecords *>(userdata);
    writer.BeginObject();
    writer.Key("Mode");
    writer.Int(records.switches.work_mode);
    writer.Key("Rover");
    WriteSwitches(writer, records.switches, "OFF");
    writer.Key("Station");
    WriteConfiguredStation(writer, records);
    writer.Key("SinglePoint");
    WriteSwitches(writer, records.switches, "ON");
    for (int position = kSmartBaseFirstPosition; position <= kSmartBaseLastPosition; ++position) {
        writer.Key(SmartBaseKey(position));
        WriteSmartBase(writer, records.list[position - 1]);
    }
    writer.EndObject();
}

void DeleteStatusRecords(void *userdata) {
    delete static_cast<StatusRecords *>(userdata);
}

}  // namespace

const char *SmartBaseKey(int position) {
    return kStationKeys[position - 1];
}

// Thirty list positions as json-c objects would be 120 objects, each with a hash table of
// its own: the report is written straight from its records instead.
void WriteSmartBase(cgi::JsonWriter &writer, const SmartBaseInfo &station) {
    writer.BeginObject();
    WriteStationMembers(writer, station.id, station.coordinate_point, WriteListAngle);
    writer.Key("StationState");
    writer.Int(station.available != 0 ? 1 : 0);
    writer.EndObject();
}

void MakeStatusReport(json_object *reply, const StoredSwitches &switches) {
    auto *records = new StatusRecords{};
    records->switches = switches;
    ReadStatusRecords(*records);
    cgi::SetSelfPrinting(reply, records, WriteStatusReport, DeleteStatusRecords);
}

}  // namespace rolekind
