#include "nmea.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace receiversim {
namespace {

std::vector<std::string> SplitFields(std::string_view body) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = body.find(',', start);
        fields.emplace_back(body.substr(start, comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

// The fields between '$' and '*' of a sentence with a valid checksum.
std::optional<std::vector<std::string>> Fields(std::string_view sentence) {
    if (!NmeaChecksumOk(sentence)) return std::nullopt;
    const std::size_t star = sentence.rfind('*');
    return SplitFields(sentence.substr(1, star - 1));
}

double Number(const std::string &field) {
    return field.empty() ? 0.0 : std::strtod(field.c_str(), nullptr);
}
long Whole(const std::string &field) {
    return field.empty() ? 0 : std::strtol(field.c_str(), nullptr, 10);
}
unsigned char Letter(const std::string &field) {
    return field.empty() ? 0 : static_cast<unsigned char>(field[0]);
}

unsigned char Checksum(std::string_view body) {
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return sum;
}

}  // namespace

bool NmeaChecksumOk(std::string_view sentence) {
    while (!sentence.empty() && (sentence.back() == '\r' || sentence.back() == '\n')) sentence.remove_suffix(1);
    if (sentence.size() < 4 || sentence[0] != '$') return false;
    const std::size_t star = sentence.rfind('*');
    if (star == std::string_view::npos || star + 3 != sentence.size()) return false;
    const unsigned long stated = std::strtoul(std::string(sentence.substr(star + 1)).c_str(), nullptr, 16);
    return stated == Checksum(sentence.substr(1, star - 1));
}

std::string_view NmeaType(std::string_view sentence) {
    if (sentence.size() < 6 || sentence[0] != '$') return {};
    return sentence.substr(3, 3);
}

std::optional<GGAInfo> ParseGga(std::string_view sentence) {
    const auto fields = Fields(sentence);
    if (!fields || NmeaType(sentence) != "GGA" || fields->size() < 15) return std::nullopt;
    const std::vector<std::string> &f = *fields;
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
    gga.altitude = Number(f[9]);
    gga.alt_unit = Letter(f[10]);
    gga.undulation = static_cast<float>(Number(f[11]));
    gga.und_unit = Letter(f[12]);
    gga.age = static_cast<unsigned char>(Number(f[13]));
    gga.station_id = static_cast<unsigned int>(Whole(f[14]));
    gga.checksum = Checksum(sentence.substr(1, sentence.rfind('*') - 1));
    gga.available = 1;
    return gga;
}

std::optional<GSVInput> ParseGsv(std::string_view sentence) {
    const auto fields = Fields(sentence);
    if (!fields || NmeaType(sentence) != "GSV" || fields->size() < 4) return std::nullopt;
    const long number = Whole((*fields)[2]);
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
    input.Control = static_cast<unsigned char>(Whole((*fields)[1]));  // sentences in the group
    return input;
}

std::string GsvSignal(std::string_view sentence) {
    const auto fields = Fields(sentence);
    if (!fields || fields->size() < 5 || (fields->size() - 4) % 4 != 1) return {};
    return fields->back();
}

std::vector<GSVInput> FirstSignalOnly(const std::vector<GSVInput> &sentences) {
    std::optional<std::string> chosen[GNSS_GSV_SLOTS];
    std::vector<GSVInput> kept;
    for (const GSVInput &input : sentences) {
        const std::string signal =
            GsvSignal(std::string_view(input.Sentence, strnlen(input.Sentence, sizeof input.Sentence)));
        std::optional<std::string> &first = chosen[input.System % GNSS_GSV_SLOTS];
        if (!first) first = signal;
        if (*first == signal) kept.push_back(input);
    }
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
    std::snprintf(sentence, sizeof sentence, "$%s*%02X", body, Checksum(body));
    return sentence;
}

}  // namespace receiversim
