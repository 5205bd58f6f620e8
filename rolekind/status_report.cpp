#include "status_report.h"

#include <cstring>
#include <iterator>
#include <memory>

#include "coordinates.h"
#include "records.h"
#include "selection.h"
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
void WriteStationMembers(cgi::JsonWriter &writer, const char (&id)[N], const Coordinates &point, AngleForm form) {
    writer.Key("ID");
    writer.String(id, strnlen(id, N));
    writer.Key("Coordinate");
    WriteCoordinate(writer, point, form);
    writer.Key("Height");
    WriteHeight(writer, point.Elevation);
}

void WriteConfiguredStation(cgi::JsonWriter &writer, const StatusRecords &records) {
    writer.BeginObject();
    WriteStationMembers(writer, records.station_id, records.station_position, AngleForm::Base);
    writer.Key("StationState");
    writer.Int(records.station_state == STATION_STARTUP ? 1 : 0);
    writer.EndObject();
}

// The work mode as the request read it at its start (no second read).
void WriteStatus(cgi::JsonWriter &writer, const StatusRecords &records) {
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

}  // namespace

const char *SmartBaseKey(int position) {
    return kStationKeys[position - 1];
}

void WriteSmartBase(cgi::JsonWriter &writer, const SmartBaseInfo &station) {
    writer.BeginObject();
    WriteStationMembers(writer, station.id, station.coordinate_point, AngleForm::List);
    writer.Key("StationState");
    writer.Int(station.available != 0 ? 1 : 0);
    writer.EndObject();
}

void WriteStatusReport(cgi::JsonWriter &reply, const StoredSwitches &switches) {
    const auto records = std::make_unique<StatusRecords>();
    records->switches = switches;
    ReadStatusRecords(*records);
    WriteStatus(reply, *records);
}

}  // namespace rolekind
