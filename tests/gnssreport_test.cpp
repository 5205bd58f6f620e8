// gnssreport run as the web server runs it, against segments filled from the sentences of
// real receivers' logs; every expected reply is worked out here from the sentences' text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "json_text.h"
#include "nmea_text.h"
#include "process.h"
#include "segments.h"
#include "strict_json.h"

using namespace testsupport;

namespace {

std::vector<std::string> Split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// The fields between '$' and '*'.
std::vector<std::string> Fields(const std::string &sentence) {
    return Split(sentence.substr(1, sentence.find('*') - 1), ',');
}

std::vector<std::string> LogLines(const char *name) {
    std::vector<std::string> lines;
    std::ifstream in(LogPath(name));
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty() && line[0] == '$') lines.push_back(line);
    }
    return lines;
}

// The first complete group (sentences 1 to total, in a row) of a talker's GSV sentences.
std::vector<std::string> FirstGroup(const std::vector<std::string> &lines, const std::string &talker) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].compare(1, 5, talker + "GSV") != 0 || Fields(lines[i])[2] != "1") continue;
        const int total = std::stoi(Fields(lines[i])[1]);
        std::vector<std::string> group;
        for (int n = 1; n <= total && i + n - 1 < lines.size(); ++n) group.push_back(lines[i + n - 1]);
        if (static_cast<int>(group.size()) == total) return group;
    }
    return {};
}

std::string FirstOf(const std::vector<std::string> &lines, const std::string &type) {
    for (const std::string &line : lines)
        if (line.compare(3, 3, type) == 0) return line;
    return {};
}

void StoreSentence(int system, const std::string &sentence, int number = 0) {
    GSVInput input;
    std::memset(&input, 0, sizeof input);
    std::memcpy(input.Sentence, sentence.data(), std::min(sentence.size(), sizeof input.Sentence));
    input.System = static_cast<unsigned char>(system);
    input.Number = static_cast<unsigned char>(number != 0 ? number : std::stoi(Fields(sentence)[2]));
    ASSERT_EQ(SetGNSSInfoToShareMemory(ENTRY_GSV, &input), 0);
}

void StoreGroup(int system, const std::vector<std::string> &group) {
    for (const std::string &sentence : group) StoreSentence(system, sentence);
}

// A GGA sentence decoded field by field, as the receiver's writer does.
GGAInfo DecodeGga(const std::string &sentence) {
    const std::vector<std::string> f = Fields(sentence);
    GGAInfo gga;
    std::memset(&gga, 0, sizeof gga);
    auto number = [](const std::string &field) { return field.empty() ? 0.0 : std::stod(field); };
    auto letter = [](const std::string &field) { return field.empty() ? 0 : static_cast<unsigned char>(field[0]); };
    gga.utc = static_cast<float>(number(f[1]));
    gga.latitude = number(f[2]);
    gga.latdir = letter(f[3]);
    gga.longitude = number(f[4]);
    gga.londir = letter(f[5]);
    gga.fix_status = static_cast<unsigned char>(number(f[6]));
    gga.fix_satellite = static_cast<unsigned short>(number(f[7]));
    gga.hdop = static_cast<float>(number(f[8]));
    gga.altitude = number(f[9]);
    gga.alt_unit = f[9].empty() ? 0 : letter(f[10]);  // a height not sent has no unit letter
    gga.undulation = static_cast<float>(number(f[11]));
    gga.und_unit = f[11].empty() ? 0 : letter(f[12]);
    gga.age = static_cast<unsigned char>(number(f[13]));
    gga.station_id = static_cast<unsigned int>(number(f[14]));
    gga.available = 1;
    return gga;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The expected "Fix" and "Position" members of a GGA sentence, from its text.
Members ExpectedFixAndPosition(const std::string &sentence) {
    const std::vector<std::string> f = Fields(sentence);
    static const char *kNames[] = {"No fix", "Single", "DGPS", "PPS", "RTK fixed", "RTK float"};
    const int quality = std::stoi(f[6]);
    Members fix = {{"Quality", Int(quality)}, {"Name", Str(kNames[quality])}, {"Satellites", Int(std::stoi(f[7]))}};
    if (!f[8].empty() && std::stod(f[8]) != 0) fix.push_back({"HDOP", Fixed(std::stof(f[8]), 2)});
    // hhmmss.ss as the receiver wrote it, seconds to two decimals.
    if (!f[1].empty()) {
        char seconds[16];
        std::snprintf(seconds, sizeof seconds, "%05.2f", std::stod(f[1].substr(4)));
        fix.push_back({"UTC", Str(f[1].substr(0, 2) + ":" + f[1].substr(2, 2) + ":" + seconds)});
    }
    Members members = {{"Fix", Obj(fix)}};
    if (quality == 0) return members;
    // ddmm.mmmm: whole degrees, whole minutes, the rest as seconds; south and west negative.
    auto angle = [](const std::string &value, const std::string &hemisphere) {
        const int degrees = std::stoi(value) / 100;
        const double minutes = std::stod(value) - degrees * 100;
        const double seconds = (minutes - std::floor(minutes)) * 60;
        return Obj({{"DEG", Str(std::to_string(degrees))},
                    {"MIN", Str(std::to_string(static_cast<int>(minutes)))},
                    {"SEC", Str(Fixed(seconds, 6))},
                    {"HEM", Str(hemisphere)}});
    };
    auto decimal = [](const std::string &value, const std::string &hemisphere) {
        const int degrees = std::stoi(value) / 100;
        const double result = degrees + (std::stod(value) - degrees * 100) / 60;
        return Fixed(hemisphere == "S" || hemisphere == "W" ? -result : result, 9);
    };
    Members position = {{"Latitude", decimal(f[2], f[3])},
                        {"Longitude", decimal(f[4], f[5])},
                        {"Coordinate", Obj({{"Longitude", angle(f[4], f[5])}, {"Latitude", angle(f[2], f[3])}})}};
    if (!f[9].empty() && !f[10].empty())
        position.insert(position.end(), {{"Altitude", Fixed(std::stod(f[9]), 3)}, {"AltitudeUnit", Str(f[10])}});
    if (!f[11].empty() && !f[12].empty())
        position.insert(position.end(), {{"Undulation", Fixed(std::stof(f[11]), 3)}, {"UndulationUnit", Str(f[12])}});
    position.push_back({"Age", Int(f[13].empty() ? 0 : static_cast<int>(std::stod(f[13])))});
    position.push_back({"Station", Int(f[14].empty() ? 0 : std::stoi(f[14]))});
    members.push_back({"Position", Obj(position)});
    return members;
}

bool IsSbas(int number) {
    return number >= 33 && number <= 64;
}

// The expected satellite list of a group's sentences: each satellite once, in order; of a GPS
// group, either the SBAS satellites (numbers 33 to 64) or the others.
std::string ExpectedSystem(const std::vector<std::string> &group, int gps_part = -1) {
    std::vector<std::string> items;
    std::set<int> seen;
    for (const std::string &sentence : group) {
        std::vector<std::string> f = Fields(sentence);
        if ((f.size() - 4) % 4 == 1) f.pop_back();  // the signal field of NMEA 4.10 and later
        for (std::size_t i = 4; i + 3 < f.size() + 3 && i < f.size(); i += 4) {
            const int number = std::stoi(f[i]);
            if (gps_part >= 0 && IsSbas(number) != (gps_part == 1)) continue;
            if (!seen.insert(number).second) continue;
            Members satellite = {{"Number", Int(number)}};
            const char *names[] = {"Elevation", "Azimuth", "SNR"};
            for (int k = 1; k <= 3; ++k)
                if (i + k < f.size() && !f[i + k].empty())
                    satellite.push_back({names[k - 1], Int(std::stoi(f[i + k]))});
            items.push_back(Obj(satellite));
        }
    }
    return Obj({{"Count", Int(static_cast<long long>(items.size()))}, {"List", Arr(items)}});
}

class GnssReport : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(InitShareMemory(), 0); }

    static std::string Reply() {
        const ProgramResult result = Post(GNSSREPORT_PATH, "{}");
        EXPECT_EQ(result.exit_status, 0);
        return ReplyBody(result);
    }

    static void StoreGga(const std::string &sentence) {
        const GGAInfo gga = DecodeGga(sentence);
        ASSERT_EQ(SetGNSSInfoToShareMemory(ENTRY_GGA, &gga), 0);
    }

    // The whole expected reply: the GGA sentence's fix, and a group per system (or none).
    static std::string Expected(const std::string &gga, const std::vector<std::string> (&groups)[4]) {
        Members members = gga.empty() ? Members{{"Fix", Obj({{"Quality", "0"}, {"Name", Str("No fix")}})}}
                                      : ExpectedFixAndPosition(gga);
        Members satellites = {{"GPS", ExpectedSystem(groups[0], 0)},
                              {"BeiDou", ExpectedSystem(groups[1])},
                              {"GLONASS", ExpectedSystem(groups[2])},
                              {"Galileo", ExpectedSystem(groups[3])},
                              {"SBAS", ExpectedSystem(groups[0], 1)}};
        members.push_back({"Satellites", Obj(satellites)});
        return Obj(members);
    }
};

}  // namespace

TEST_F(GnssReport, NothingStoredYet) {
    EXPECT_EQ(Reply(), Expected("", {}));
}

TEST_F(GnssReport, MultiSystemLogWithSignalFields) {
    const std::vector<std::string> lines = LogLines("ublox-zed-f9p-nmea.log");
    if (lines.empty()) GTEST_SKIP() << "recorded NMEA logs not found";
    const std::vector<std::string> groups[4] = {FirstGroup(lines, "GP"), FirstGroup(lines, "GB"),
                                                FirstGroup(lines, "GL"), FirstGroup(lines, "GA")};
    for (int s = 0; s < 4; ++s) {
        ASSERT_FALSE(groups[s].empty()) << s;
        StoreGroup(s, groups[s]);
    }
    const std::string gga = FirstOf(lines, "GGA");
    StoreGga(gga);
    const std::string reply = Reply();
    EXPECT_EQ(reply, Expected(gga, groups));
    // Read off the log by hand: 45 52.65403 S, 170 30.00668 E, single fix, GPS 5 first.
    EXPECT_NE(reply.find(R"("Latitude": -45.877567167, "Longitude": 170.500111333)"), std::string::npos) << reply;
    EXPECT_NE(reply.find(R"({ "Number": 5, "Elevation": 6, "Azimuth": 110, "SNR": 19 })"), std::string::npos);
    EXPECT_NE(reply.find(R"({ "Number": 33, "Elevation": 62, "Azimuth": 34, "SNR": 8 })"), std::string::npos);
}

TEST_F(GnssReport, DifferentialFixWithoutSatellites) {
    const std::vector<std::string> lines = LogLines("nmea-rtk.log");
    if (lines.empty()) GTEST_SKIP() << "recorded NMEA logs not found";
    for (const auto &[quality, station] : {std::pair{"2", "133"}, std::pair{"4", "2"}}) {
        std::string gga;
        for (const std::string &line : lines)
            if (line.compare(3, 3, "GGA") == 0 && Fields(line)[6] == quality) gga = line;
        ASSERT_FALSE(gga.empty()) << quality;
        StoreGga(gga);
        const std::string reply = Reply();
        EXPECT_EQ(reply, Expected(gga, {}));
        EXPECT_NE(reply.find(std::string(R"("Station": )") + station + " }"), std::string::npos) << reply;
        EXPECT_NE(reply.find(R"("HEM": "W" })"), std::string::npos) << reply;
    }
}

TEST_F(GnssReport, NoFixShowsNoPositionButTheSatellites) {
    const std::vector<std::string> lines = LogLines("beidou-bd.log");
    if (lines.empty()) GTEST_SKIP() << "recorded NMEA logs not found";
    const std::vector<std::string> groups[4] = {
        FirstGroup(lines, "GP"), FirstGroup(lines, "BD"), FirstGroup(lines, "GL"), {}};
    ASSERT_EQ(groups[0].size(), 7u);
    for (int s = 0; s < 3; ++s) StoreGroup(s, groups[s]);
    const std::string gga = FirstOf(lines, "GGA");
    StoreGga(gga);
    const std::string reply = Reply();
    EXPECT_EQ(reply, Expected(gga, groups));
    EXPECT_EQ(reply.find("Position"), std::string::npos);
    EXPECT_NE(reply.find(R"("GPS": { "Count": 25, )"), std::string::npos);
}

// What a slot can hold besides one clean group.
TEST_F(GnssReport, SlotsOfMixedEpochsSignalsAndDamage) {
    const std::string a1 = Nmea("GPGSV,3,1,09,01,10,100,40,02,20,200,41,03,30,300,42,04,40,040,43");
    const std::string a2 = Nmea("GPGSV,3,2,09,05,50,050,44,06,60,060,45,07,70,070,46,08,80,080,47");
    const std::string a3 = Nmea("GPGSV,3,3,09,09,90,090,48");
    const std::string b1 = Nmea("GPGSV,2,1,05,11,11,111,,12,12,112,32,13,13,113,33,14,14,114,34,1");
    const std::string b2 = Nmea("GPGSV,2,2,05,11,11,111,31,1");  // a second report of 11 brings its strength

    // An earlier epoch of three sentences, then one of two: sentence 3 is a leftover.
    StoreGroup(0, {a1, a2, a3});
    StoreGroup(0, {b1, b2});
    std::string reply = Reply();
    EXPECT_NE(
        reply.find(R"("GPS": { "Count": 4, "List": [ { "Number": 11, "Elevation": 11, "Azimuth": 111, "SNR": 31 }, )"),
        std::string::npos)
        << reply;
    EXPECT_EQ(reply.find(R"("Number": 9,)"), std::string::npos) << "the leftover of the earlier epoch was read";
    // The first sentence of a group of three over that group of two: sentence 2 is a leftover
    // of another count (sentence 3, of the same count, cannot be told from a current one).
    StoreSentence(0, a1);
    reply = Reply();
    EXPECT_NE(reply.find(R"("GPS": { "Count": 5, "List": [ { "Number": 1, )"), std::string::npos) << reply;
    EXPECT_EQ(reply.find(R"("Number": 11,)"), std::string::npos) << "a sentence of another group was read";

    // Damage in sentence 2: a wrong checksum, text without an end, fields out of range.
    StoreGroup(1, {a1, a2, a3});
    std::string broken = a2;
    broken[broken.size() - 4] = broken[broken.size() - 4] == '7' ? '6' : '7';  // an SNR digit
    StoreSentence(1, broken);
    reply = Reply();
    EXPECT_NE(reply.find(R"("BeiDou": { "Count": 5, )"), std::string::npos) << reply;  // sentences 1 and 3

    GSVSlot garbage;
    std::memset(&garbage, '9', sizeof garbage);  // no terminator anywhere
    std::memcpy(RawGnss() + offsetof(GNSSInfo, GSV[2]), &garbage, sizeof garbage);
    // Some receivers write the checksum in lower case.
    StoreSentence(3, "$GAGSV,1,1,03,07,95,400,100,xz,10,010,,08,,360,*6a");
    reply = Reply();
    EXPECT_NE(reply.find(R"("GLONASS": { "Count": 0, "List": [ ] })"), std::string::npos) << reply;
    // Out of range (azimuth 400 or 360) means absent; a number that is not one drops the satellite.
    EXPECT_NE(reply.find(R"("Galileo": { "Count": 2, "List": [ { "Number": 7 }, { "Number": 8 } ] })"),
              std::string::npos)
        << reply;

    // Sentence 1 is what counts: without it, nothing.
    StoreSentence(0, Nmea("GPGGA,1,2,3"), 1);
    reply = Reply();
    EXPECT_NE(reply.find(R"("GPS": { "Count": 0, "List": [ ] })"), std::string::npos) << reply;
}

// Every byte of the position record set (NaN in every number, no letter a hemisphere, a fix
// quality of 255), and slots of noise: still a reply that any JSON reader takes.
TEST_F(GnssReport, ARecordOfNoiseStillGivesStrictJson) {
    GGAInfo gga;
    std::memset(&gga, 0xFF, sizeof gga);
    ASSERT_EQ(SetGNSSInfoToShareMemory(ENTRY_GGA, &gga), 0);
    std::string reply = Reply();
    EXPECT_TRUE(testsupport::StrictJson::Accepts(reply)) << reply;
    EXPECT_NE(reply.find(R"("Quality": 255)"), std::string::npos) << reply;
    for (int system = 0; system < 4; ++system) {
        StoreSentence(system, Nmea("GPGSV,1,1,01,\"\x01\x7f,,,"), 1);
        StoreSentence(system, std::string(200, '\x01'), 2);
    }
    reply = Reply();
    EXPECT_TRUE(testsupport::StrictJson::Accepts(reply)) << reply;
}

TEST_F(GnssReport, ARecordThatIsNotAvailableIsNoFix) {
    const std::vector<std::string> lines = LogLines("nmea-rtk.log");
    if (lines.empty()) GTEST_SKIP() << "recorded NMEA logs not found";
    GGAInfo gga = DecodeGga(FirstOf(lines, "GGA"));
    gga.available = 0;
    SetGNSSInfoToShareMemory(ENTRY_GGA, &gga);
    EXPECT_EQ(Reply(), Expected("", {}));
}

// What the receiver did not send is left out, times come back as written, and angles that
// are no point on the earth give no position.
TEST_F(GnssReport, FixAndPositionOfUnusualSentences) {
    const std::string no_satellites =
        R"("Satellites": { "GPS": { "Count": 0, "List": [ ] }, "BeiDou": { "Count": 0, "List": [ ] }, )"
        R"("GLONASS": { "Count": 0, "List": [ ] }, "Galileo": { "Count": 0, "List": [ ] }, )"
        R"("SBAS": { "Count": 0, "List": [ ] } })";
    const struct {
        const char *body;
        const char *fix_and_position;
    } rows[] = {
        // 235959.90 is stored as 235959.90625: rounding would say .91. No heights, no HDOP.
        {"GPGGA,235959.90,4134.5,N,09345.0,W,1,08,,,,,,,",
         R"("Fix": { "Quality": 1, "Name": "Single", "Satellites": 8, "UTC": "23:59:59.90" }, )"
         R"("Position": { "Latitude": 41.575000000, "Longitude": -93.750000000, "Coordinate": { )"
         R"("Longitude": { "DEG": "93", "MIN": "45", "SEC": "0.000000", "HEM": "W" }, )"
         R"("Latitude": { "DEG": "41", "MIN": "34", "SEC": "30.000000", "HEM": "N" } }, "Age": 0, "Station": 0 }, )"},
        // Every field empty: no time, no HDOP, no position.
        {"GPGGA,,,,,,0,,,,,,,,", R"("Fix": { "Quality": 0, "Name": "No fix", "Satellites": 0 }, )"},
        // Midnight with a fix is a time; 91.5 degrees north is no place.
        {"GPGGA,000000.00,9130.0,N,09345.0,W,1,08,1.0,10.0,M,-2.5,M,,",
         R"("Fix": { "Quality": 1, "Name": "Single", "Satellites": 8, "HDOP": 1.00, "UTC": "00:00:00.00" }, )"},
        // A leap second; an undulation whose value is empty (stored without its letter).
        {"GPGGA,235960.50,4134.5,N,09345.0,W,1,08,,246.0,M,,M,,",
         R"("Fix": { "Quality": 1, "Name": "Single", "Satellites": 8, "UTC": "23:59:60.50" }, )"
         R"("Position": { "Latitude": 41.575000000, "Longitude": -93.750000000, "Coordinate": { )"
         R"("Longitude": { "DEG": "93", "MIN": "45", "SEC": "0.000000", "HEM": "W" }, )"
         R"("Latitude": { "DEG": "41", "MIN": "34", "SEC": "30.000000", "HEM": "N" } }, )"
         R"("Altitude": 246.000, "AltitudeUnit": "M", "Age": 0, "Station": 0 }, )"},
        // 61 minutes is no time of day.
        {"GPGGA,126100.00,,,,,0,00,99.9,,M,,M,,",
         R"("Fix": { "Quality": 0, "Name": "No fix", "Satellites": 0, "HDOP": 99.90 }, )"},
    };
    for (const auto &row : rows) {
        StoreGga(Nmea(row.body));
        EXPECT_EQ(Reply(), std::string("{ ") + row.fix_and_position + no_satellites + " }") << row.body;
    }
}

// Groups beyond the slot's eight sentences, SBAS inside GPS sentences, and fields left over
// after whole satellite blocks.
TEST_F(GnssReport, BigGroupsSbasAndLeftoverFields) {
    // Nine sentences of four satellites each: 1 to 32 in the slot, 33 to 36 beyond it. 33 and
    // 36 (in sentence 1) are SBAS.
    for (int n = 1; n <= 8; ++n) {
        std::string body = "GPGSV,9,";
        body += std::to_string(n) + ",36";
        for (int k = 0; k < 4; ++k) {
            int number = 4 * (n - 1) + k + 1;
            if (number == 2) number = 33;
            if (number == 3) number = 64;
            body += "," + std::to_string(number) + ",45,180,40";
        }
        StoreSentence(0, Nmea(body + ",1"));
    }
    // An extra pair after whole blocks; a lone trailing field that is no single hex digit.
    StoreSentence(3, Nmea("GAGSV,1,1,02,07,10,100,40,08,20,200,41,99,1"));
    StoreSentence(1, Nmea("GBGSV,2,1,05,01,10,100,40,02,20,200,,03,30,300,42,04,40,040,43,12"));
    StoreSentence(1, Nmea("GBGSV,2,2,05,05,50,050,44"));
    const std::string reply = Reply();
    for (
        const char *part :
        {R"("GPS": { "Count": 30, "List": [ { "Number": 1, "Elevation": 45, "Azimuth": 180, "SNR": 40 }, { "Number": 4, )",
         R"({ "Number": 32, "Elevation": 45, "Azimuth": 180, "SNR": 40 } ] })",
         R"("SBAS": { "Count": 2, "List": [ { "Number": 33, "Elevation": 45, "Azimuth": 180, "SNR": 40 }, )"
         R"({ "Number": 64, "Elevation": 45, "Azimuth": 180, "SNR": 40 } ] } })",
         R"("Galileo": { "Count": 2, "List": [ { "Number": 7, "Elevation": 10, "Azimuth": 100, "SNR": 40 }, )"
         R"({ "Number": 8, "Elevation": 20, "Azimuth": 200, "SNR": 41 } ] })",
         R"("BeiDou": { "Count": 5, "List": [ { "Number": 1, )"})
        EXPECT_NE(reply.find(part), std::string::npos) << part << "\n" << reply;
    EXPECT_EQ(reply.find(R"("Number": 12 )"), std::string::npos) << reply;
}
