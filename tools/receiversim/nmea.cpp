#include "nmea.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "nmea_reader.h"

namespace receiversim {
namespace {

// The fields of a sentence with a valid checksum.
std::optional<nmea::Fields> Fields(std::string_view sentence) {
    const std::string_view body = nmea::CheckedBody(sentence);
    nmea::Fields fields;
    if (body.empty() || !nmea::SplitFields(body, &fields)) return std::nullopt;
    return fields;
}

double Number(std::string_view field) {
    return field.empty() ? 0.0 : std::strtod(std::string(field).c_str(), nullptr);
}
long Whole(std::string_view field) {
    return field.empty() ? 0 : std::strtol(std::string(field).c_str(), nullptr, 10);
}
unsigned char Letter(std::string_view field) {
    return field.empty() ? 0 : static_cast<unsigned char>(field[0]);
}

std::string_view SentenceText(const GSVInput &input) {
    return {input.Sentence, strnlen(input.Sentence, sizeof input.Sentence)};
}

// The primary signal's ID per slot (GPS, BeiDou, GLONASS, Galileo); the fifth slot has none.
constexpr int kPrimarySignal[GNSS_GSV_SLOTS] = {1, 1, 1, 7, -1};

// One GSV group of an epoch: a sentence 1 and the sentences that follow it, of one system.
struct Group {
    unsigned char system = 0;
    std::vector<GSVInput> sentences;
    int signal = -1;  // the ID every sentence ends in, or -1
};

std::vector<Group> Groups(const std::vector<GSVInput> &sentences) {
    std::vector<Group> groups;
    std::vector<std::size_t> open(GNSS_GSV_SLOTS, SIZE_MAX);  // each system's group being filled
    for (const GSVInput &input : sentences) {
        const unsigned char system = input.System % GNSS_GSV_SLOTS;
        if (input.Number == 1) {
            open[system] = groups.size();
            groups.push_back({system, {}, -1});
        }
        if (open[system] != SIZE_MAX) groups[open[system]].sentences.push_back(input);
    }
    for (Group &group : groups) {
        std::optional<int> common;
        for (const GSVInput &input : group.sentences) {
            const auto fields = Fields(SentenceText(input));
            const int id = fields ? nmea::GsvSignalId(*fields) : -1;
            if (!common) common = id;
            if (*common != id) common = -1;
        }
        group.signal = common.value_or(-1);
    }
    return groups;
}

}  // namespace

bool NmeaChecksumOk(std::string_view sentence) {
    return !nmea::CheckedBody(sentence).empty();
}

std::string_view NmeaType(std::string_view sentence) {
    if (sentence.size() < 6 || sentence[0] != '$') return {};
    return sentence.substr(3, 3);
}

std::optional<GGAInfo> ParseGga(std::string_view sentence) {
    const auto fields = Fields(sentence);
    if (!fields || NmeaType(sentence) != "GGA" || fields->count < 15) return std::nullopt;
    const auto &f = fields->at;
    GGAInfo gga;
    std::memset(&gga, 0, sizeof gga);
    gga.utc = static_cast<float>(Number(f[1]));
    gga.latitude = Number(f[2]);
    gga.latdir = Letter(f[3]);
    gga.longitude = Number(f[4]);
    gga.londir = Letter(f[5]);
    gga.fix_status = static_cast<unsigned char>(Whole(f[6]));
    gga.fix_satellite = static_cast<unsigned short>(Whole(f[7]));
    gga.hdop = static_cast<float>(Number(f[8]));
    // A height that was not sent keeps no unit letter, even where the sentence has one
    // ("246.0,M,,M"): an empty letter is what says so to the readers.
    gga.altitude = Number(f[9]);
    gga.alt_unit = f[9].empty() ? 0 : Letter(f[10]);
    gga.undulation = static_cast<float>(Number(f[11]));
    gga.und_unit = f[11].empty() ? 0 : Letter(f[12]);
    gga.age = static_cast<unsigned char>(Number(f[13]));
    gga.station_id = static_cast<unsigned int>(Whole(f[14]));
    gga.checksum = nmea::Checksum(nmea::CheckedBody(sentence));
    gga.available = 1;
    return gga;
}

std::optional<GSVInput> ParseGsv(std::string_view sentence) {
    const auto fields = Fields(sentence);
    if (!fields || NmeaType(sentence) != "GSV" || fields->count < nmea::kGsvHeadFields) return std::nullopt;
    const long number = Whole(fields->at[2]);
    if (number < 1 || number > GNSS_GSV_SENTENCES) return std::nullopt;
    const std::string_view talker = sentence.substr(1, 2);
    GSVInput input;
    std::memset(&input, 0, sizeof input);
    std::memcpy(input.Sentence, sentence.data(), std::min(sentence.size(), sizeof input.Sentence - 1));
    input.System = talker == "GP"                       ? 0
                   : (talker == "BD" || talker == "GB") ? 1
                   : talker == "GL"                     ? 2
                   : talker == "GA"                     ? 3
                                                        : 4;
    input.Number = static_cast<unsigned char>(number);
    input.Control = static_cast<unsigned char>(Whole(fields->at[1]));  // sentences in the group
    return input;
}

std::vector<GSVInput> PrimarySignalOnly(const std::vector<GSVInput> &sentences) {
    const std::vector<Group> groups = Groups(sentences);
    std::vector<const Group *> chosen(GNSS_GSV_SLOTS, nullptr);
    for (const Group &group : groups) {
        const Group *&kept = chosen[group.system];
        const bool primary = group.signal >= 0 && group.signal == kPrimarySignal[group.system];
        if (kept == nullptr || (primary && kept->signal != kPrimarySignal[group.system])) kept = &group;
    }
    std::vector<GSVInput> kept;
    for (const Group *group : chosen)
        if (group != nullptr) kept.insert(kept.end(), group->sentences.begin(), group->sentences.end());
    return kept;
}

std::string FormatGga(const GGAInfo &gga) {
    char body[256];
    auto letter = [](unsigned char c) { return c == 0 ? std::string() : std::string(1, static_cast<char>(c)); };
    std::snprintf(body, sizeof body, "GPGGA,%09.2f,%013.8f,%s,%014.8f,%s,%d,%02d,%.1f,%.3f,%s,%.3f,%s,,", gga.utc,
                  gga.latitude, letter(gga.latdir).c_str(), gga.longitude, letter(gga.londir).c_str(), gga.fix_status,
                  gga.fix_satellite, gga.hdop, gga.altitude, letter(gga.alt_unit).c_str(), gga.undulation,
                  letter(gga.und_unit).c_str());
    char sentence[272];
    std::snprintf(sentence, sizeof sentence, "$%s*%02X", body, nmea::Checksum(body));
    return sentence;
}

}  // namespace receiversim
