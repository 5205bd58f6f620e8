#include "gsv.h"

#include <cstring>
#include <string_view>

#include "nmea_reader.h"

namespace gnssreport {
namespace {

// The most fields a GSV sentence is read with: the head, four satellites, and up to three
// left over (a signal field, or what a non-standard layout adds).
constexpr int kMaxGsvFields = nmea::kGsvHeadFields + 4 * nmea::kGsvBlockFields + 3;

// A group can announce up to 99 sentences; the slot holds the first eight.
constexpr int kMaxGroupSentences = 99;

struct Sentence {
    int total = 0;
    int number = 0;
    nmea::Fields fields;
};

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

// A GSV sentence of a slot with a valid checksum within its 128 bytes.
bool ParseSentence(const char (&text)[GNSS_GSV_SENTENCE_BYTES], Sentence *sentence) {
    const std::string_view body = nmea::CheckedBody(std::string_view(text, strnlen(text, sizeof text)));
    nmea::Fields &fields = sentence->fields;
    if (body.empty() || !nmea::SplitFields(body, &fields) || fields.count > kMaxGsvFields) return false;
    const std::string_view address = fields.at[0];
    if (fields.count < nmea::kGsvHeadFields || address.size() != 5 || address.substr(2) != "GSV") return false;
    sentence->total = Whole(fields.at[1], 1, kMaxGroupSentences);
    sentence->number = Whole(fields.at[2], 1, GNSS_GSV_SENTENCES);
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
    const auto &field = sentence.fields.at;
    const int blocks = (sentence.fields.count - nmea::kGsvHeadFields) / nmea::kGsvBlockFields;
    for (int block = 0; block < blocks; ++block) {
        const int first = nmea::kGsvHeadFields + block * nmea::kGsvBlockFields;
        Satellite satellite;
        satellite.number = Whole(field[first], 1, 999);
        if (satellite.number == kAbsent) continue;
        satellite.elevation = Whole(field[first + 1], 0, 90);
        satellite.azimuth = Whole(field[first + 2], 0, 359);
        satellite.snr = Whole(field[first + 3], 0, 99);
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
