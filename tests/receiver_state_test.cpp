// The receiver's status rows: each value in the form the receiver writes it shows as it is,
// any other as {"Unknown": raw}, never as a reply that is not JSON; and none can be changed.
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <cstring>
#include <string>
#include <vector>

#include "describe.h"
#include "json_writer.h"
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
