#include "value_rules.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string_view>

#include "station_id.h"

namespace rolekind {
namespace {

enum class Syntax : unsigned char { Any, Printable, Name, Whole, Decimal, SignedDecimal, Letter };

struct RuleRow {
    ValueRule rule;
    Syntax syntax;
    double low, high;  // numbers: the range, both ends included...
    bool below_high;   // ...or the high end left out
    bool packed;       // DD.MMSSsss: the minute and second digits below 60
    const char *letters;
    const char *requirement;
};

// One row per rule, in the order of the enumeration.
constexpr RuleRow kRules[] = {
    {ValueRule::AnyText, Syntax::Any, 0, 0, false, false, nullptr, nullptr},
    {ValueRule::Identifier, Syntax::Printable, 0, 0, false, false, nullptr, "must be printable ASCII"},
    {ValueRule::StationName, Syntax::Name, 0, 0, false, false, nullptr, "must be printable ASCII, not empty"},
    {ValueRule::WorkMode, Syntax::Whole, 0, 4, false, false, nullptr, "must be a work mode from 0 to 4"},
    {ValueRule::ListPosition, Syntax::Whole, 1, 30, false, false, nullptr, "must be a whole number from 1 to 30"},
    {ValueRule::LatitudeDegrees, Syntax::Whole, 0, 90, false, false, nullptr, "must be 0 to 90"},
    {ValueRule::LongitudeDegrees, Syntax::Whole, 0, 180, false, false, nullptr, "must be 0 to 180"},
    {ValueRule::Minutes, Syntax::Whole, 0, 59, false, false, nullptr, "must be 0 to 59"},
    {ValueRule::Seconds, Syntax::Decimal, 0, 60, true, false, nullptr, "must be 0 to less than 60"},
    {ValueRule::LatitudeHemisphere, Syntax::Letter, 0, 0, false, false, "NS", "must be N or S"},
    {ValueRule::LongitudeHemisphere, Syntax::Letter, 0, 0, false, false, "EW", "must be E or W"},
    {ValueRule::PackedLatitude, Syntax::Decimal, 0, 90, false, true, nullptr,
     "must be 0 to 90 as DD.MMSS, minutes and seconds below 60"},
    {ValueRule::PackedLongitude, Syntax::Decimal, 0, 180, false, true, nullptr,
     "must be 0 to 180 as DDD.MMSS, minutes and seconds below 60"},
    {ValueRule::Height, Syntax::SignedDecimal, -1000, 10000, false, false, nullptr, "must be -1000 to 10000"},
};

constexpr bool RulesInOrder() {
    for (std::size_t i = 0; i < std::size(kRules); ++i)
        if (static_cast<std::size_t>(kRules[i].rule) != i) return false;
    return true;
}
static_assert(RulesInOrder(), "one rule row per rule, in the order of the enumeration");

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The count of digits that text starts with.
std::size_t Digits(std::string_view text) {
    std::size_t count = 0;
    while (count < text.size() && IsDigit(text[count])) ++count;
    return count;
}

bool IsWhole(std::string_view text) {
    return !text.empty() && Digits(text) == text.size();
}

// [0-9]+(\.[0-9]+)?
bool IsDecimal(std::string_view text) {
    const std::size_t whole = Digits(text);
    if (whole == 0) return false;
    if (whole == text.size()) return true;
    return text[whole] == '.' && IsWhole(text.substr(whole + 1));
}

bool IsPrintable(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool KeepsSyntax(const RuleRow &row, std::string_view text) {
    switch (row.syntax) {
        case Syntax::Any:
            return true;
        case Syntax::Printable:
            return IsPrintable(text);
        case Syntax::Name:
            return !text.empty() && IsPrintable(text);
        case Syntax::Whole:
            return IsWhole(text);
        case Syntax::Decimal:
            return IsDecimal(text);
        case Syntax::SignedDecimal:
            return IsDecimal(text.starts_with('-') ? text.substr(1) : text);
        case Syntax::Letter:
            return text.size() == 1 && text[0] != '\0' && std::strchr(row.letters, text[0]) != nullptr;
    }
    return false;
}

// Minutes and seconds of a packed DD.MMSSsss text: the digits after the point, missing ones 0.
bool PackedDigitsBelowSixty(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    const auto digit = [&](std::size_t i) { return i < fraction.size() ? fraction[i] : '0'; };
    return digit(0) < '6' && digit(2) < '6';
}

bool IsNumber(Syntax syntax) {
    return syntax == Syntax::Whole || syntax == Syntax::Decimal || syntax == Syntax::SignedDecimal;
}

double Number(const RuleRow &row, const char *text) {
    if (!IsNumber(row.syntax)) return 0;
    return row.syntax == Syntax::Whole ? WholeValue(text) : DecimalValue(text);
}

// Texts that keep a number's syntax end at their length: the C string functions may read them.
bool InRange(const RuleRow &row, std::string_view text) {
    if (!IsNumber(row.syntax)) return true;
    const double value = Number(row, text.data());
    if (value < row.low || value > row.high || (row.below_high && value >= row.high)) return false;
    return !row.packed || PackedDigitsBelowSixty(text);
}

void DescribeRange(const RuleRow &row, cgi::JsonWriter &writer) {
    writer.Key("Min");
    writer.Int(static_cast<long long>(row.low));
    writer.Key(row.below_high ? "MaxBelow" : "Max");
    writer.Int(static_cast<long long>(row.high));
    writer.Key("Step");
    writer.Int(row.syntax == Syntax::Whole ? 1 : 0);
    if (row.syntax == Syntax::SignedDecimal) {
        writer.Key("Signed");
        writer.Bool(true);
    }
    if (row.packed) {
        writer.Key("Packed");
        writer.String(row.high > 90 ? "DDD.MMSSsssss" : "DD.MMSSsssss");
    }
}

void DescribeText(const RuleRow &row, cgi::JsonWriter &writer) {
    if (row.syntax == Syntax::Name) {
        writer.Key("MinLength");
        writer.Int(1);
    }
    writer.Key("MaxLength");  // longer texts are cut at the field
    writer.Int(kIdentifierBytes - 1);
    writer.Key("Characters");
    writer.String("printable ASCII");
}

void DescribeLetters(const RuleRow &row, cgi::JsonWriter &writer) {
    writer.Key("Choices");
    writer.BeginArray();
    for (const char *letter = row.letters; *letter != '\0'; ++letter)
        WriteChoice(writer, std::string_view(letter, 1), std::string_view(letter, 1));
    writer.EndArray();
}

}  // namespace

void WriteChoice(cgi::JsonWriter &writer, std::string_view value, std::string_view text) {
    writer.BeginObject();
    writer.Key("Value");
    writer.String(value);
    writer.Key("Text");
    writer.String(text);
    writer.EndObject();
}

void WriteChoice(cgi::JsonWriter &writer, long long value, std::string_view text) {
    writer.BeginObject();
    writer.Key("Value");
    writer.Int(value);
    writer.Key("Text");
    writer.String(text);
    writer.EndObject();
}

void DescribeRule(ValueRule rule, cgi::JsonWriter &writer) {
    const RuleRow &row = kRules[static_cast<std::size_t>(rule)];
    writer.Key("Type");
    switch (row.syntax) {
        case Syntax::Any:
            writer.String("Text");
            return;
        case Syntax::Printable:
        case Syntax::Name:
            writer.String("Text");
            return DescribeText(row, writer);
        case Syntax::Whole:
            writer.String("Number");
            return DescribeRange(row, writer);
        case Syntax::Decimal:
        case Syntax::SignedDecimal:
            writer.String("Decimal");
            return DescribeRange(row, writer);
        case Syntax::Letter:
            writer.String("Choice");
            return DescribeLetters(row, writer);
    }
}

const char *BrokenRule(ValueRule rule, std::string_view text) {
    const RuleRow &row = kRules[static_cast<std::size_t>(rule)];
    return KeepsSyntax(row, text) && InRange(row, text) ? nullptr : row.requirement;
}

const char *Requirement(ValueRule rule) {
    return kRules[static_cast<std::size_t>(rule)].requirement;
}

double NumberValue(ValueRule rule, const char *text) {
    return Number(kRules[static_cast<std::size_t>(rule)], text);
}

int WholeValue(const char *text) {
    constexpr int kCeiling = 1000000;  // above every range: longer texts stay out of range
    int value = 0;
    for (; IsDigit(*text); ++text) value = value >= kCeiling ? kCeiling : value * 10 + (*text - '0');
    return value;
}

double DecimalValue(const char *text) {
    return std::strtod(text, nullptr);
}

}  // namespace rolekind
