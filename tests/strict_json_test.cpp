// The strict JSON check that the fuzz targets and program tests put replies to: it must take
// what json-c prints of sound values and refuse what a browser's JSON.parse refuses.
#include "strict_json.h"

#include <gtest/gtest.h>
#include <json-c/json.h>

using testsupport::StrictJson;

TEST(StrictJson, TakesJsonCsOwnPrintsOfSoundValues) {
    json_object *document = json_tokener_parse(
        R"({"a": [1, -0.5, 2e10, 1E-3, true, false, null, {}, []], "b": {"c": "q\"\\\/\b\f\n\r\t\u00e9x"}})");
    ASSERT_NE(document, nullptr);
    for (int flags : {JSON_C_TO_STRING_SPACED, JSON_C_TO_STRING_PLAIN, JSON_C_TO_STRING_PRETTY})
        EXPECT_TRUE(StrictJson::Accepts(json_object_to_json_string_ext(document, flags))) << flags;
    json_object_put(document);
    EXPECT_TRUE(StrictJson::Accepts(" \n\t0\r "));
    EXPECT_TRUE(StrictJson::Accepts(R"("")"));
    EXPECT_TRUE(StrictJson::Accepts("\"\xC3\x84 \xE2\x82\xAC \xED\x9F\xBF \xF0\x9F\x9B\xB0 \xF4\x8F\xBF\xBF\""));
}

TEST(StrictJson, RefusesWhatAJsonReaderRefuses) {
    const char *refused[] = {
        R"({"a": NaN})",
        R"({"a": Infinity})",
        R"({"a": -Infinity})",
        "{\"a\": \"x\x01\"}",
        R"({"a": 01})",
        R"({"a": 1.})",
        R"({"a": .5})",
        R"({"a": +1})",
        R"({"a": 1e})",
        R"({"a": "\x"})",
        R"({"a": "\u12G4"})",
        R"({"a": "\u12"})",
        R"({"a" 1})",
        R"({"a": 1,})",
        R"([1,])",
        R"({'a': 1})",
        R"({"a": tru})",
        R"({} {})",
        R"({"a": "open)",
        "",
        R"({"a": 1)",
        R"({"a": "\)",
        "\"\x80\"",              // a stray continuation byte
        "\"\xC3\"",              // a sequence cut short
        "\"\xC0\xAF\"",          // an overlong form
        "\"\xE0\x9F\xBF\"",      // an overlong form
        "\"\xED\xA0\x80\"",      // a UTF-16 surrogate
        "\"\xF4\x90\x80\x80\"",  // past U+10FFFF
        "\"\xFF\"",
        "{\"\xC3\": 1}",  // keys too
    };
    for (const char *text : refused) EXPECT_FALSE(StrictJson::Accepts(text)) << text;
    EXPECT_FALSE(StrictJson::Accepts(std::string(100, '[') + std::string(100, ']')));  // deeper than any reply
}
