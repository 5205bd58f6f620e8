// The receiver's status rows: each value in the form the receiver writes it shows as it is,
// any other as {"Unknown": raw}, never as a reply that is not JSON; and none can be changed.
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstring>
#include <string>
#include <vector>

#include "describe.h"
#include "json_writer.h"
#include "maintenance.h"
#include "receiver_settings.h"
#include "recording.h"
#include "status_rows.h"
#include "values.h"

using namespace receiverstate;

namespace {

const Row &RowOf(std::span<const Row> group, const char *key) {
    for (const Row &row : group)
        if (std::strcmp(row.key, key) == 0) return row;
    throw std::logic_error(key);
}

std::string ShownText(const Row &row, const std::vector<unsigned char> &entry) {
    std::vector<unsigned char> record(entry);
    record.resize(std::max(record.size(), row.member.size), 0);
    cgi::JsonWriter writer;
    writer.BeginObject();
    rows::WriteShown(writer, row, record.data());
    writer.EndObject();
    return std::string(writer.Text());
}

std::vector<unsigned char> Bytes(std::string_view text, std::size_t size) {
    std::vector<unsigned char> bytes(size, 0);
    std::memcpy(bytes.data(), text.data(), std::min(text.size(), size));
    return bytes;
}

std::vector<unsigned char> Word(unsigned int value) {
    std::vector<unsigned char> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

}  // namespace

TEST(ReceiverState, ValuesInTheirFormShowAsTheyAreAndOthersAsUnknown) {
    const struct {
        std::span<const Row> group;
        const char *key;
        std::vector<unsigned char> entry;
        const char *shown;
    } cases[] = {
        {kIdentityRows, "SerialNumber", Bytes("GR2026120800017", 16), R"({ "SerialNumber": "GR2026120800017" })"},
        {kIdentityRows, "SerialNumber", Bytes("", 16), R"({ "SerialNumber": "" })"},
        {kIdentityRows, "Hardware", Bytes("H3.1xxxx", 8), R"({ "Hardware": { "Unknown": "48332e3178787878" } })"},
        {kIdentityRows, "Hardware", Bytes("H3\t1", 8), R"({ "Hardware": { "Unknown": "4833093100000000" } })"},
        {kIdentityRows, "GnssBoard", Bytes("GB-8 7.10.2512", 24), R"({ "GnssBoard": "GB-8 7.10.2512" })"},
        {kHealthRows, "Temperature", {41}, R"({ "Temperature": 41 })"},
        {kHealthRows, "Temperature", {0xF6}, R"({ "Temperature": -10 })"},
        {kHealthRows, "Temperature", {0x80}, R"({ "Temperature": { "Unknown": -128 } })"},
        {kHealthRows, "Battery", {100}, R"({ "Battery": 100 })"},
        {kHealthRows, "Battery", {101}, R"({ "Battery": { "Unknown": 101 } })"},
        {kHealthRows, "PowerSupply", {2}, R"({ "PowerSupply": 2 })"},
        {kHealthRows, "PowerSupply", {9}, R"({ "PowerSupply": { "Unknown": 9 } })"},
        {kHealthRows, "RunningTime", Word(4294967295u), R"({ "RunningTime": 4294967295 })"},
        {kHealthRows, "StorageFree", Word(6208), R"({ "StorageFree": 6208 })"},
        {kHealthRows, "FirmwareState", {5}, R"({ "FirmwareState": { "Unknown": 5 } })"},
        {kHealthRows, "Power", {1}, R"({ "Power": 1 })"},
        {kLinkRows, "Connection5", {2}, R"({ "Connection5": 2 })"},
        {kLinkRows, "Connection6", {7}, R"({ "Connection6": { "Unknown": 7 } })"},
        {kLinkRows, "Connection9", {255}, R"({ "Connection9": { "Unknown": 255 } })"},
    };
    for (const auto &c : cases) {
        const std::string shown = ShownText(RowOf(c.group, c.key), c.entry);
        EXPECT_EQ(shown, c.shown);
        json_object *parsed = json_tokener_parse(shown.c_str());
        EXPECT_NE(parsed, nullptr) << shown;
        json_object_put(parsed);
    }
}

// Every row is read-only, says so, and names its entry and segment.
TEST(ReceiverState, EveryRowIsReadOnlyAndNamesItsEntry) {
    for (const rows::Group *group : {&kIdentity, &kHealth, &kLinks}) {
        for (const Row &row : group->rows) {
            EXPECT_FALSE(rows::Changeable(row)) << row.key;
            cgi::JsonWriter writer;
            rows::Describe(writer, *group, row);
            json_object *described = json_tokener_parse(std::string(writer.Text()).c_str());
            ASSERT_NE(described, nullptr) << writer.Text();
            json_object *value = nullptr;
            ASSERT_TRUE(json_object_object_get_ex(described, "Error", &value));
            EXPECT_EQ(json_object_get_string(value), std::string(row.key) + " is read-only: the receiver writes it");
            ASSERT_TRUE(json_object_object_get_ex(described, "Entry", &value));
            EXPECT_EQ(std::string(json_object_get_string(value)), row.place->entry_name);
            ASSERT_TRUE(json_object_object_get_ex(described, "Live", &value));
            EXPECT_TRUE(json_object_get_boolean(value));
            json_object_put(described);
        }
    }
}

// Antenna, recorder and network rows: what each takes, stored in the receiver's form, and the
// message for anything else, with the record left as it was.
TEST(ReceiverSettings, ChangesAreStoredInTheReceiversFormOrRefused) {
    RecConfig defaults{};
    std::memcpy(defaults.FolderName, "session1", 8);
    defaults.RecInterval = 1000;
    const int two_metres = 20000;
    std::memcpy(defaults.Antenna + 24, &two_metres, 4);
    std::vector<unsigned char> recorder(sizeof defaults);
    std::memcpy(recorder.data(), &defaults, sizeof defaults);
    std::vector<unsigned char> antenna(defaults.Antenna, defaults.Antenna + 44);
    std::vector<unsigned char> state = {2};  // the space is used up
    const struct {
        std::span<const Row> group;
        const char *key;
        std::vector<unsigned char> *record;
        const char *value;
        const char *error;  // empty: stored
        std::size_t at;
        std::vector<unsigned char> stored;
    } cases[] = {
        {kAntennaRows, "AntennaHeight", &antenna, "1.5025", "", 24, {0xb1, 0x3a, 0, 0}},
        {kAntennaRows, "AntennaHeight", &antenna, "-10", "", 24, {0x60, 0x79, 0xfe, 0xff}},
        {kAntennaRows,
         "AntennaHeight",
         &antenna,
         "100.0001",
         "AntennaHeight must be a number from -10 to 100 m in steps of 0.0001",
         0,
         {}},
        {kAntennaRows,
         "AntennaHeight",
         &antenna,
         "1.23456",
         "AntennaHeight must be a number from -10 to 100 m in steps of 0.0001",
         0,
         {}},
        {kAntennaRows, "AntennaType", &antenna, R"("TRM57971.00     NONE")", "", 0, {'T', 'R', 'M', '5'}},
        {kAntennaRows,
         "AntennaType",
         &antenna,
         R"("TRM57971.00")",
         "AntennaType must be a text of exactly 20 printable ASCII characters (no control characters)",
         0,
         {}},
        {kAntennaRows, "HeightMethod", &antenna, "1", "", 21, {1}},
        {kAntennaRows,
         "HeightMethod",
         &antenna,
         "2",
         "HeightMethod must be 0 (vertical, from the mark to the antenna reference point) or 1 (slant, from the mark "
         "to the antenna's slant-measurement point)",
         0,
         {}},
        {kRecorderRows<1>,
         "FolderName",
         &recorder,
         R"("site_7-b")",
         "",
         0,
         {'s', 'i', 't', 'e', '_', '7', '-', 'b', 0}},
        {kRecorderRows<1>,
         "FolderName",
         &recorder,
         R"("a/b")",
         "FolderName must be a text of 1 to 16 of the characters A-Z a-z 0-9 - _",
         0,
         {}},
        {kRecorderRows<1>,
         "FolderName",
         &recorder,
         R"("")",
         "FolderName must be a text of 1 to 16 of the characters A-Z a-z 0-9 - _",
         0,
         {}},
        {kRecorderRows<1>,
         "MarkName",
         &recorder,
         R"("BASE 01")",
         "MarkName must be a text of 1 to 11 of the characters A-Z a-z 0-9 - _",
         0,
         {}},
        {kRecorderRows<1>, "Interval", &recorder, "200", "", 32, {200, 0, 0, 0}},
        {kRecorderRows<1>,
         "Interval",
         &recorder,
         "7",
         "Interval must be 50 (50 ms (20 Hz)), 100 (100 ms (10 Hz)), 200 (200 ms (5 Hz)), 500 (500 ms (2 Hz)), 1000 (1 "
         "s), 2000 (2 s), 5000 (5 s), 10000 (10 s), 15000 (15 s), 30000 (30 s) or 60000 (1 min)",
         0,
         {}},
        {kRecorderRows<1>, "Circular", &recorder, "true", "", 44, {1}},
        {kRecorderRows<1>, "Recording", &state, "1", "", 0, {1}},
        {kRecorderRows<1>, "Recording", &state, "2", "Recording must be 0 (stopped) or 1 (recording)", 0, {}},
    };
    for (const auto &c : cases) {
        const Row &row = RowOf(c.group, c.key);
        std::vector<unsigned char> record = *c.record;
        json_object *value = json_tokener_parse(c.value);
        EXPECT_EQ(rows::Store(row, value, record.data()), c.error) << c.key << " " << c.value;
        json_object_put(value);
        if (*c.error != '\0') {
            EXPECT_EQ(record, *c.record) << c.key;
            continue;
        }
        EXPECT_TRUE(std::equal(c.stored.begin(), c.stored.end(), record.begin() + c.at)) << c.key << " " << c.value;
    }
    EXPECT_EQ(ShownText(RowOf(kAntennaRows, "AntennaHeight"), antenna), R"({ "AntennaHeight": 2 })");
    EXPECT_EQ(ShownText(RowOf(kRecorderRows<1>, "Recording"), state), R"({ "Recording": 0 })");
    EXPECT_EQ(ShownText(RowOf(kRecorderRows<1>, "State"), state), R"({ "State": 2 })");
    for (const char *key : {"FreeSpace", "State"}) EXPECT_FALSE(rows::Changeable(RowOf(kRecorderRows<2>, key)));
    for (const Row &row : kNetworkRows) {
        EXPECT_FALSE(rows::Changeable(row)) << row.key;
        EXPECT_EQ(
            rows::FixedReason(kNetwork, row),
            std::string(row.key) + " is read-only: the network settings are changed on the receiver itself for now");
    }
}

// The receiver's list of antenna types: types of its form up to the first empty slot, others
// left out and counted; the list, the maintenance actions and a start refusal as the
// programs say them.
TEST(ReceiverSettings, AntennaTypesMaintenanceActionsAndNoStartWithoutSpace) {
    std::vector<unsigned char> list(3 * 21 + 21, 0);
    std::memcpy(&list[0], "TRM57971.00     NONE", 20);
    std::memcpy(&list[21], "LEIAR20         LEIMxx", 21);  // no terminator in its slot
    std::memcpy(&list[42], "JAVRINGANT_DM   NONE", 20);
    const AntennaTypeList types = AntennaTypesOf(list.data(), list.size());
    EXPECT_EQ(types.types, (std::vector<std::string>{"TRM57971.00     NONE", "JAVRINGANT_DM   NONE"}));
    EXPECT_EQ(types.left_out, 1);
    cgi::JsonWriter writer;
    writer.BeginObject();
    WriteAntennaTypes(writer, types);
    writer.Key("Maintenance");
    WriteMaintenanceActions(writer);
    writer.EndObject();
    EXPECT_EQ(writer.Text(),
              R"({ "AntennaTypes": [ "TRM57971.00     NONE", "JAVRINGANT_DM   NONE" ], "Maintenance": [ )"
              R"({ "Action": "restart", "Operation": "ENTRY_RESTART_OP", "Lost": "the receiver stops for a while: )"
              R"(recordings and connections stop", "Answered": false }, { "Action": "shut down", "Operation": )"
              R"("ENTRY_SHUTDOWN_OP", "Lost": "the receiver powers off and can be started only at the receiver", )"
              R"("Answered": false }, { "Action": "restore settings", "Operation": "ENTRY_RESTORE_OP", "Lost": )"
              R"("every setting goes back to the receiver's defaults: channels, base station, antenna, recorders", )"
              R"("Answered": true }, { "Action": "format storage", "Operation": "ENTRY_FORMAT_OP", "Lost": "every )"
              R"(recorded file is deleted", "Answered": true }, { "Action": "clear ephemerides", "Operation": )"
              R"("ENTRY_CLEANEPH_OP", "Lost": "no position until the satellites' orbits are received again", )"
              R"("Answered": true } ] })");

    RecConfig record{};
    EXPECT_EQ(StartRefusal(2, record),
              "Recording cannot start: recorder 2 has no space left (its FreeSpace is 0 MB); format the storage or "
              "raise its MaxSpace");
    record.FreeSpace = 1;
    EXPECT_EQ(StartRefusal(2, record), "");

    unsigned char block[kAntennaBlock];
    for (std::size_t i = 0; i < kAntennaBlock; ++i) block[i] = static_cast<unsigned char>(i + 1);
    RecConfig one{}, two{};
    MirrorAntenna(block, one, two);
    EXPECT_EQ(std::memcmp(one.Antenna, block, kAntennaBlock), 0);
    EXPECT_EQ(std::memcmp(two.Antenna, block, kAntennaBlock), 0);
    EXPECT_EQ(one.FreeSpace, 0u);  // nothing else of the record
}
