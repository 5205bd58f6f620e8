// Coordinate encodings, distances and the SmartBase start-up selection.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "angle_text.h"
#include "coordinates.h"
#include "forms.h"
#include "json_text.h"
#include "json_writer.h"
#include "segments.h"
#include "smartbase.h"
#include "station_id.h"
#include "status_report.h"

using namespace testsupport;
using namespace rolekind;

namespace {

std::string CoordinateText(const Coordinates &point, AngleForm form) {
    cgi::JsonWriter writer;
    WriteCoordinate(writer, point, form);
    return std::string(writer.Text());
}

std::string HeightText(double elevation) {
    cgi::JsonWriter writer;
    WriteHeight(writer, elevation);
    return std::string(writer.Text());
}

std::string Angle(const char *deg, const char *min, const char *sec, const char *hem) {
    return Obj({{"DEG", Str(deg)}, {"MIN", Str(min)}, {"SEC", Str(sec)}, {"HEM", Str(hem)}});
}

Coordinates Point(double lon, char lon_dir, double lat, char lat_dir) {
    Coordinates point{};
    point.Longitude = lon;
    point.LonDirection = static_cast<unsigned char>(lon_dir);
    point.Latitude = lat;
    point.LatDirection = static_cast<unsigned char>(lat_dir);
    return point;
}

// Reads a longitude angle object given as JSON text through the request's checks, in the base
// or the list form.
std::pair<double, unsigned char> Read(const std::string &angle, AngleForm form) {
    const std::string text = R"({"Station":{"Coordinate":{"Longitude":)" + angle + "}}}";
    json_object *request = json_tokener_parse(text.c_str());
    const MemberRule base[] = {{Member::LongitudeDegrees, ValueRule::LongitudeDegrees},
                               {Member::LongitudeMinutes, ValueRule::Minutes},
                               {Member::LongitudeSeconds, ValueRule::Seconds},
                               {Member::LongitudeHemisphere, ValueRule::LongitudeHemisphere}};
    const MemberRule list[] = {{Member::LongitudeDegrees, ValueRule::PackedLongitude},
                               {Member::LongitudeHemisphere, ValueRule::LongitudeHemisphere}};
    CheckedRequest checked;
    EXPECT_EQ(checked.Check(request, form == AngleForm::Base ? std::span<const MemberRule>(base) : list), "");
    double value = 0;
    unsigned char direction = 0;
    ReadAngle(checked, kLongitudeMembers, form, &value, &direction);
    json_object_put(request);  // the checked texts live in the document
    return {value, direction};
}

}  // namespace

TEST(Coordinates, BaseFormOutput) {
    EXPECT_EQ(
        CoordinateText(Point(11623.456, 'E', 3012.0, 'N'), AngleForm::Base),
        Obj({{"Longitude", Angle("116", "23", "27.360000", "E")}, {"Latitude", Angle("30", "12", "0.000000", "N")}}));
    // The sign plays no part; the letter tells the side. A zero letter, or any but N, S, E and
    // W, shows as "".
    EXPECT_EQ(
        CoordinateText(Point(-11623.456, 'W', 0, 0), AngleForm::Base),
        Obj({{"Longitude", Angle("116", "23", "27.360000", "W")}, {"Latitude", Angle("0", "0", "0.000000", "")}}));
    EXPECT_EQ(CoordinateText(Point(0, 'n', 0, '\x7F'), AngleForm::List),
              Obj({{"Longitude", Angle("0.000000000", "0.00", "0.00", "")},
                   {"Latitude", Angle("0.000000000", "0.00", "0.00", "")}}));
    EXPECT_EQ(HeightText(0), Str("0.000000"));
    // Wild stored values neither crash nor overflow a text.
    const std::string wild = CoordinateText(Point(1e300, 'E', std::nan(""), 'N'), AngleForm::Base);
    EXPECT_NE(wild.find("\"HEM\": \"E\""), std::string::npos);
}

TEST(Coordinates, ListFormOutputAndTextLimits) {
    EXPECT_EQ(CoordinateText(Point(-114.5, 'W', 30.123456789, 'N'), AngleForm::List),
              Obj({{"Longitude", Angle("-114.500000000", "0.00", "0.00", "W")},
                   {"Latitude", Angle("30.123456789", "0.00", "0.00", "N")}}));
    // Every text is cut to 15 characters.
    EXPECT_EQ(CoordinateText(Point(100000, 'E', -10000, 'S'), AngleForm::List),
              Obj({{"Longitude", Angle("100000.00000000", "0.00", "0.00", "E")},
                   {"Latitude", Angle("-10000.00000000", "0.00", "0.00", "S")}}));
    EXPECT_EQ(HeightText(100000000), Str("100000000.00000"));
    EXPECT_EQ(HeightText(-10000000), Str("-10000000.00000"));
}

TEST(Coordinates, BaseFormInput) {
    auto [value, direction] = Read(R"({"DEG":"116","MIN":"23","SEC":"27.36","HEM":"E"})", AngleForm::Base);
    EXPECT_DOUBLE_EQ(value, 11623.456);
    EXPECT_EQ(direction, 'E');
    std::tie(value, direction) = Read(R"({"DEG":"180","MIN":"00","SEC":"0.000","HEM":"W"})", AngleForm::Base);
    EXPECT_EQ(value, 18000.0);
    EXPECT_EQ(direction, 'W');
}

TEST(Coordinates, ListFormInputReadsOnlyDegreesAndHemisphere) {
    auto [value, direction] = Read(R"({"DEG":"114.302512345","MIN":"7","SEC":"x","HEM":"E"})", AngleForm::List);
    EXPECT_DOUBLE_EQ(value, 114.302512345);
    EXPECT_EQ(direction, 'E');
}

TEST(Identifier, CutToFifteenCharacters) {
    char field[16];
    CopyIdentifier(field, "BASE");
    EXPECT_EQ(std::string(field, 16), std::string("BASE") + std::string(12, '\0'));
    CopyIdentifier(field, "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(std::string(field, 16), std::string("ABCDEFGHIJKLMNO") + '\0');
}

TEST(Distance, Examples) {
    EXPECT_DOUBLE_EQ(get_distance(0, 0, 0, 1), 111.3195);
    EXPECT_DOUBLE_EQ(get_distance(30, 114, 30, 115), 96.4052);
    EXPECT_DOUBLE_EQ(get_distance(12.5, 40, 12.5, 40), 0.0);
    // Points of different latitudes, on both hemispheres, in both orders. Worked out
    // separately as the angle between the points' unit vectors, R atan2(|u x v|, u . v).
    EXPECT_DOUBLE_EQ(get_distance(30, 114, 31, 115), 146.9401);
    EXPECT_DOUBLE_EQ(get_distance(31, 115, 30, 114), 146.9401);
    EXPECT_DOUBLE_EQ(get_distance(10, 20, -20, 25), 3384.2355);
    EXPECT_DOUBLE_EQ(get_distance(-20, 25, 10, 20), 3384.2355);
    EXPECT_DOUBLE_EQ(get_distance(-33.8688, 151.2093, -37.8136, 144.9631), 714.2267);
    EXPECT_DOUBLE_EQ(radian(180), 3.141592653589793);
    EXPECT_NEAR(PackedToDegrees(30.123456789), 30.2096021917, 1e-9);
}

class Selection : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static void Receiver(double lat_ddmm, double lon_ddmm, unsigned char fix) {
        GGAInfo gga{};
        gga.latitude = lat_ddmm;
        gga.longitude = lon_ddmm;
        gga.fix_status = fix;
        SetGNSSInfoToShareMemory(ENTRY_GGA, &gga);
    }

    static void Station(int position, double lat_packed, double lon_packed, unsigned char available = 0) {
        SmartBaseInfo info{};
        std::snprintf(info.id, sizeof info.id, "P%d", position);
        info.coordinate_point.Latitude = lat_packed;
        info.coordinate_point.Longitude = lon_packed;
        info.available = available;
        SetReceiverConfigParaToShareMemory(SmartBaseEntry(position), &info);
    }

    static unsigned char Mark(int position) {
        SmartBaseInfo info{};
        GetReceiverConfigParaFromShareMemory(SmartBaseEntry(position), &info);
        return info.available;
    }
};

TEST_F(Selection, NoFixChoosesNothing) {
    Station(1, 30.0, 114.0);
    Receiver(3000.0, 11400.0, 0);
    const auto before = ConfigBytes();
    EXPECT_EQ(SelectBaseStationStartupCoordinate(), 0);
    EXPECT_EQ(ConfigBytes(), before);
}

TEST_F(Selection, NearestOfTheFirstFiveIsChosenAndMarked) {
    Receiver(3012.0, 11418.0, 4);  // 30 deg 12 min N, 114 deg 18 min E
    Station(1, 31.0, 114.0);
    Station(2, 29.0, 114.18, 1);  // marked earlier: its mark stays
    Station(3, 30.1, 114.18);     // 2 minutes off
    Station(4, 35.0, 120.0);
    Station(5, 30.12, 114.18);  // exactly there
    Station(6, 30.12, 114.18);  // equally near, but only five take part
    EXPECT_EQ(SelectBaseStationStartupCoordinate(), 5);
    EXPECT_EQ(Mark(5), 1);
    EXPECT_EQ(Mark(2), 1);
    EXPECT_EQ(Mark(3), 0);
    EXPECT_EQ(Mark(6), 0);
}

TEST_F(Selection, TiesKeepTheLowerPosition) {
    Receiver(3000.0, 11400.0, 1);
    Station(2, 30.3, 114.0);  // 30 minutes north
    Station(4, 29.3, 114.0);  // 30 minutes south: just as near
    Station(3, 30.3, 114.0);  // the same point as position 2
    EXPECT_EQ(SelectBaseStationStartupCoordinate(), 2);
    EXPECT_EQ(Mark(2), 1);
    EXPECT_EQ(Mark(3), 0);
}

TEST_F(Selection, EmptyFirstFivePositionsLieAtZeroZero) {
    Receiver(3000.0, 11400.0, 1);
    for (int position = 6; position <= 30; ++position) Station(position, 30.0, 114.0);
    EXPECT_EQ(SelectBaseStationStartupCoordinate(), 1);
    EXPECT_EQ(Mark(1), 1);
}

TEST_F(Selection, HemispheresTakeNoPart) {
    Receiver(3000.0, 11400.0, 1);  // stored as magnitudes; 30 S counts as 30 N
    GGAInfo gga{};
    GetGNSSInfoFromShareMemory(ENTRY_GGA, &gga);
    gga.latdir = 'S';
    gga.londir = 'W';
    SetGNSSInfoToShareMemory(ENTRY_GGA, &gga);
    Station(1, -30.0, -114.0);
    Station(2, 30.0, 114.0);
    EXPECT_EQ(SelectBaseStationStartupCoordinate(), 2);
}

namespace {

// The same list position built as plain json-c objects, as json-c itself prints them.
std::string ReferenceSmartBase(const SmartBaseInfo &station, int flags) {
    auto angle = [](double value, unsigned char direction) {
        char deg[16] = {};
        std::snprintf(deg, sizeof deg, "%.9lf", value);
        const char hem[2] = {cgi::HemisphereLetter(direction), '\0'};
        json_object *object = json_object_new_object();
        json_object_object_add(object, "DEG", json_object_new_string(deg));
        json_object_object_add(object, "MIN", json_object_new_string("0.00"));
        json_object_object_add(object, "SEC", json_object_new_string("0.00"));
        json_object_object_add(object, "HEM", json_object_new_string(hem));
        return object;
    };
    char height[16] = {};
    std::snprintf(height, sizeof height, "%.6lf", station.coordinate_point.Elevation);
    json_object *coordinate = json_object_new_object();
    json_object_object_add(coordinate, "Longitude",
                           angle(station.coordinate_point.Longitude, station.coordinate_point.LonDirection));
    json_object_object_add(coordinate, "Latitude",
                           angle(station.coordinate_point.Latitude, station.coordinate_point.LatDirection));
    json_object *object = json_object_new_object();
    // Bytes of the identifier that are not UTF-8 show as U+FFFD.
    std::string id;
    for (std::size_t i = 0, length = strnlen(station.id, 16); i < length;) {
        const std::size_t sequence = cgi::Utf8SequenceLength(station.id + i, length - i);
        id += sequence == 0 ? std::string("\xEF\xBF\xBD") : std::string(station.id + i, sequence);
        i += sequence == 0 ? 1 : sequence;
    }
    json_object_object_add(object, "ID", json_object_new_string_len(id.data(), static_cast<int>(id.size())));
    json_object_object_add(object, "Coordinate", coordinate);
    json_object_object_add(object, "Height", json_object_new_string(height));
    json_object_object_add(object, "StationState", json_object_new_int(station.available ? 1 : 0));
    std::string text = json_object_to_json_string_ext(object, flags);
    json_object_put(object);
    return text;
}

}  // namespace

TEST_F(Selection, ListPositionsPrintExactlyAsJsonCWouldWhateverTheyHold) {
    std::mt19937 random(42);
    for (int round = 0; round < 300; ++round) {
        SmartBaseInfo station{};
        for (char &c : station.id) c = static_cast<char>(random() % 256);  // quotes, controls, UTF-8 bytes...
        if (round % 3 == 0) station.id[random() % 16] = '\0';
        station.coordinate_point.Longitude = (static_cast<double>(random()) - 2e9) / 1e3;
        station.coordinate_point.Latitude = round == 7 ? 1e300 : static_cast<double>(random() % 9000) / 100.0;
        station.coordinate_point.LonDirection = static_cast<unsigned char>(random() % 256);
        station.coordinate_point.LatDirection = static_cast<unsigned char>(random() % 4 == 0 ? 0 : random() % 256);
        station.coordinate_point.Elevation = static_cast<double>(random() % 100000) / 7.0;
        station.available = static_cast<unsigned char>(random() % 3);
        cgi::JsonWriter writer;
        WriteSmartBase(writer, station);
        ASSERT_EQ(writer.Text(), ReferenceSmartBase(station, JSON_C_TO_STRING_SPACED)) << round;
    }
}

TEST(JsonWriter, EscapesEveryByteAsJsonCDoes) {
    for (int byte = 0; byte < 256; ++byte) {
        // The byte alone, and between plain text, as a writer's string and as json-c's own.
        const std::string bytes = std::string("a") + static_cast<char>(byte) + "b/" + static_cast<char>(byte);
        cgi::JsonWriter writer;
        writer.String(bytes);
        // A lone byte from 0x80 up is no UTF-8: it is written as U+FFFD.
        std::string expected = bytes;
        if (byte >= 0x80) expected = std::string("a\xEF\xBF\xBD") + "b/" + "\xEF\xBF\xBD";
        json_object *reference = json_object_new_string_len(expected.data(), static_cast<int>(expected.size()));
        ASSERT_EQ(writer.Text(), json_object_to_json_string_ext(reference, JSON_C_TO_STRING_SPACED)) << "byte " << byte;
        json_object_put(reference);
    }
}

// Well-formed UTF-8 goes through; each byte that starts no valid sequence becomes U+FFFD.
TEST(JsonWriter, WritesEachByteThatIsNotUtf8AsAReplacementCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xC3\x84 \xE2\x82\xAC \xF0\x9F\x9B\xB0 \xF4\x8F\xBF\xBF",
         "\xC3\x84 \xE2\x82\xAC \xF0\x9F\x9B\xB0 \xF4\x8F\xBF\xBF"},
        {"\x80x\xBF", "\xEF\xBF\xBDx\xEF\xBF\xBD"},                                // stray continuation bytes
        {"\xC0\xAF\xC1\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // overlong two-byte forms
        {"\xE0\x80\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong three-byte form
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                  // a UTF-16 surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // past U+10FFFF
        {"\xF5\xFF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xE2\x82x", "\xEF\xBF\xBD\xEF\xBF\xBDx"},  // cut short
        {"a\xE2\x82", "a\xEF\xBF\xBD\xEF\xBF\xBD"},  // cut short at the end
        {"\xC3\"", "\xEF\xBF\xBD\\\""},              // the quote is still escaped
    };
    for (const auto &[bytes, shown] : cases) {
        cgi::JsonWriter writer;
        writer.String(bytes);
        EXPECT_EQ(writer.Text(), "\"" + shown + "\"") << bytes;
    }
}

// Arrays and objects nested in each other, empty ones among them, next to the same value
// built from json-c objects.
TEST(JsonWriter, WritesNestedArraysAndObjectsAsJsonCDoes) {
    cgi::JsonWriter writer;
    writer.BeginArray();
    writer.BeginArray();  // empty
    writer.EndArray();
    writer.BeginObject();
    writer.Key("list");
    writer.BeginArray();
    for (int i = 0; i < 500; ++i) {
        writer.BeginArray();
        writer.Int(i);
        writer.Bool(i % 2 == 0);
        writer.BeginArray();
        writer.EndArray();
        writer.EndArray();
    }
    writer.EndArray();
    writer.Key("none");
    writer.BeginObject();
    writer.EndObject();
    writer.Key("half");
    writer.Double(0.5);
    writer.EndObject();
    writer.EndArray();
    json_object *reference = json_object_new_array();
    json_object_array_add(reference, json_object_new_array());
    json_object *object = json_object_new_object();
    json_object *list = json_object_new_array();
    for (int i = 0; i < 500; ++i) {
        json_object *item = json_object_new_array();
        json_object_array_add(item, json_object_new_int(i));
        json_object_array_add(item, json_object_new_boolean(i % 2 == 0 ? 1 : 0));
        json_object_array_add(item, json_object_new_array());
        json_object_array_add(list, item);
    }
    json_object_object_add(object, "list", list);
    json_object_object_add(object, "none", json_object_new_object());
    json_object_object_add(object, "half", json_object_new_double(0.5));
    json_object_array_add(reference, object);
    EXPECT_EQ(writer.Text(), json_object_to_json_string_ext(reference, JSON_C_TO_STRING_SPACED));
    json_object_put(reference);
}

// The form table's own check, on tables made for it.
namespace {
struct TestRow {
    const char *selector;
    const char *value;
    int (*serve)();
};
int Served() {
    return 0;
}
}  // namespace

TEST(FormTable, IsCompleteOnlyWithAHandlerAndACatchAllEndingEachSelector) {
    constexpr TestRow kGood[] = {{"Key", "1", Served}, {"Key", nullptr, Served}, {"Mode", nullptr, Served}};
    constexpr TestRow kNoHandler[] = {{"Key", "1", nullptr}, {"Key", nullptr, Served}};
    constexpr TestRow kNoCatchAll[] = {{"Key", "1", Served}, {"Mode", nullptr, Served}};
    constexpr TestRow kRowBehindCatchAll[] = {{"Key", nullptr, Served}, {"Key", "2", Served}};
    constexpr TestRow kNoSelector[] = {{nullptr, nullptr, Served}};
    static_assert(FormTableComplete(kGood));
    EXPECT_TRUE(FormTableComplete(kGood));
    EXPECT_FALSE(FormTableComplete(kNoHandler));
    EXPECT_FALSE(FormTableComplete(kNoCatchAll));
    EXPECT_FALSE(FormTableComplete(kRowBehindCatchAll));
    EXPECT_FALSE(FormTableComplete(kNoSelector));
}
