#include "gsv.h"

#include <cstring>
#include <string_view>

namespace gnssreport {
namespace {

// The most fields a GSV sentence is read with: address, total, number, in view, four
// satellites of four fields, and up to three left over (a signal field, or what a
// non-standard layout adds).
constexpr int kMaxFields = 4 + 4 * 4 + 3;

// A group can announce up to 99 sentences; the slot holds the first eight.
constexpr int kMaxGroupSentences = 99;

struct Sentence {
    int total = 0;
    int number = 0;
    std::array<std::string_view, kMaxFields> fields{};
    int field_count = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A field of decimal digits within [low, high]; kAbsent when it is empty or anything else.
int Whole(std::string_view field, int low, int high) {
    if (field.empty() || field.size() > 3) return kAbsent;
    int value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return kAbsent;
        value = value * 10 + (c - '0');
    }
    return value >= low && value <= high ? value : kAbsent;
}

// The text between '$' and '*' of a sentence whose checksum holds, or empty. Never looks past
// the sentence's 128 bytes.
std::string_view CheckedBody(const char (&text)[GNSS_GSV_SENTENCE_BYTES]) {
    std::string_view sentence(text, strnlen(text, sizeof text));
    while (!sentence.empty() && (sentence.back() == '\r' || sentence.back() == '\n')) sentence.remove_suffix(1);
    if (sentence.size() < 4 || sentence.front() != '$' || sentence[sentence.size() - 3] != '*') return {};
    const int high = HexDigit(sentence[sentence.size() - 2]);
    const int low = HexDigit(sentence[sentence.size() - 1]);
    if (high < 0 || low < 0) return {};
    const std::string_view body = sentence.substr(1, sentence.size() - 4);
    unsigned char sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    return sum == high * 16 + low ? body : std::string_view{};
}

bool ParseSentence(const char (&text)[GNSS_GSV_SENTENCE_BYTES], Sentence *sentence) {
    const std::string_view body = CheckedBody(text);
    if (body.empty()) return false;
    std::size_t start = 0;
    for (;;) {
        if (sentence->field_count == kMaxFields) return false;
        const std::size_t comma = body.find(',', start);
        sentence->fields[sentence->field_count++] = body.substr(start, comma - start);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    const std::string_view address = sentence->fields[0];
    if (sentence->field_count < 4 || address.size() != 5 || address.substr(2) != "GSV") return false;
    sentence->total = Whole(sentence->fields[1], 1, kMaxGroupSentences);
    sentence->number = Whole(sentence->fields[2], 1, GNSS_GSV_SENTENCES);
    return sentence->total != kAbsent && sentence->number != kAbsent && sentence->number <= sentence->total;
}

void Keep(SatellitesInView *view, const Satellite &satellite) {
    for (std::size_t i = 0; i < view->count; ++i) {
        Satellite &known = view->list[i];
        if (known.number != satellite.number) continue;
        // Listed once; another signal's report may still bring a strength the first lacked.
        if (known.snr == kAbsent) known.snr = satellite.snr;
        return;
    }
    if (view->count < view->list.size()) view->list[view->count++] = satellite;
}

// The satellites of the sentence's whole blocks. What is left after them is a signal ID
// (NMEA 4.10 and later) or a layout of its own, and no satellite either way.
void AddSatellites(const Sentence &sentence, SatellitesInView *view) {
    const int blocks = (sentence.field_count - 4) / 4;
    for (int first = 4; first < 4 + 4 * blocks; first += 4) {
        Satellite satellite;
        satellite.number = Whole(sentence.fields[first], 1, 999);
        if (satellite.number == kAbsent) continue;
        satellite.elevation = Whole(sentence.fields[first + 1], 0, 90);
        satellite.azimuth = Whole(sentence.fields[first + 2], 0, 359);
        satellite.snr = Whole(sentence.fields[first + 3], 0, 99);
        Keep(view, satellite);
    }
}

}  // namespace

SatellitesInView ReadGsvSlot(const GSVSlot &slot) {
    SatellitesInView view;
    Sentence first;
    if (!ParseSentence(slot.Sentence[0], &first) || first.number != 1) return view;
    AddSatellites(first, &view);
    const int present = first.total < GNSS_GSV_SENTENCES ? first.total : GNSS_GSV_SENTENCES;
    for (int n = 2; n <= present; ++n) {
        Sentence sentence;
        if (ParseSentence(slot.Sentence[n - 1], &sentence) && sentence.total == first.total && sentence.number == n)
            AddSatellites(sentence, &view);
    }
    return view;
}

SatellitesInView TakeSbas(SatellitesInView *gps) {
    SatellitesInView sbas;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < gps->count; ++i) {
        const Satellite &satellite = gps->list[i];
        if (satellite.number >= 33 && satellite.number <= 64)
            sbas.list[sbas.count++] = satellite;
        else
            gps->list[kept++] = satellite;
    }
    gps->count = kept;
    return sbas;
}

}  // namespace gnssreport
