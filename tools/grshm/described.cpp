#include "described.h"

#include <json-c/json.h>

#include <memory>
#include <vector>

#include "groups.h"
#include "json_writer.h"
#include "values.h"

namespace grshmtool {
namespace {

struct DescribedRow {
    const char *group;
    const rows::Row *row;
};

std::vector<DescribedRow> RowsOf(const Entry &entry) {
    std::vector<DescribedRow> found;
    if (std::string(entry.segment->name) != "config") return found;
    for (const settings::NamedGroup &named : settings::kGroups)
        for (const rows::Row &row : named.group.rows) {
            const rows::Place &place = rows::PlaceOf(named.group, row);
            if (place.segment == rows::Segment::Configuration && place.entry == entry.number)
                found.push_back({named.name, &row});
        }
    return found;
}

}  // namespace

std::string DescribedText(const Entry &entry, const Bytes &bytes) {
    std::string text;
    for (const DescribedRow &described : RowsOf(entry)) {
        cgi::JsonWriter shown;
        shown.BeginObject();
        rows::WriteShown(shown, *described.row, bytes.data());
        shown.EndObject();
        const std::string object(shown.Text());
        const std::size_t colon = object.find(": ");
        const std::string value = object.substr(colon + 2, object.size() - colon - 4);  // between ": " and " }"
        const char *unit = described.row->unit;
        const std::string unit_text = unit != nullptr && *unit != 0 ? std::string(" ") + unit : "";
        text.append("  ").append(described.group).append(".").append(described.row->key).append(": ");
        text.append(value).append(unit_text).append(" (").append(described.row->label).append(")\n");
    }
    return text;
}

bool SetsThroughRow(const Entry &entry) {
    const std::vector<DescribedRow> described = RowsOf(entry);
    return described.size() == 1 && rows::Changeable(*described[0].row);
}

bool SetThroughRow(const Entry &entry, const std::string &text, Bytes &bytes, std::string *error) {
    const rows::Row &row = *RowsOf(entry)[0].row;
    // Read as strict JSON, as the programs read a request (no 015, no trailing text).
    const std::unique_ptr<json_tokener, decltype(&json_tokener_free)> reader(json_tokener_new(), json_tokener_free);
    json_tokener_set_flags(reader.get(), JSON_TOKENER_STRICT);
    const std::unique_ptr<json_object, decltype(&json_object_put)> value(
        json_tokener_parse_ex(reader.get(), text.c_str(), static_cast<int>(text.size() + 1)), json_object_put);
    if (value == nullptr || json_tokener_get_error(reader.get()) != json_tokener_success) {
        *error = rows::BadValue(row);
        return false;
    }
    *error = rows::Store(row, value.get(), bytes.data());
    return error->empty();
}

}  // namespace grshmtool
