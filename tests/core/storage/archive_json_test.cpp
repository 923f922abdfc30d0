// The archive file's JSON: the direct writer agrees byte for byte with the tree writer,
// files round-trip byte for byte, and the direct reader refuses what the tree reader and
// the generic JSON reader refuse.
#include <gtest/gtest.h>

#include "core/storage/archive_json.h"
#include "core/record_fixtures.h"
#include "core/records/record_json.h"
#include "support/python_oracle.h"

namespace pellam {
namespace {

using testing::at;

std::string treeText(const Archive& archive) {
  return writeJson(toJson(archive, DateStyle::ArchiveNumbers), {.pretty = true});
}

TEST(ArchiveJsonTest, DirectWriterMatchesTheTreeWriter) {
  Archive empty;
  empty.preferences = testing::fixedPreferences();
  Archive noBreaks = testing::richArchive();
  noBreaks.entries[0].pauses.clear();
  noBreaks.entries[0].tags.clear();
  noBreaks.preferences.reminderWeekdays.clear();
  for (const Archive& archive : {testing::richArchive(), empty, noBreaks}) {
    EXPECT_EQ(encodeArchiveJson(archive), treeText(archive));
  }
}

TEST(ArchiveJsonTest, LayoutIsPrettyWithSortedKeys) {
  Archive archive;
  archive.preferences = testing::fixedPreferences();
  archive.jobs.push_back(testing::plainJob(testing::kJobA, "A"));
  archive.entries.push_back(
      testing::plainEntry(testing::kEntry1, testing::kJobA, at("2026-03-02T09:00:00Z"), std::nullopt));
  archive.entries[0].tags = {"x"};
  const std::string text = encodeArchiveJson(archive);
  EXPECT_EQ(text.substr(0, 40), "{\n  \"entries\" : [\n    {\n      \"adjustmen");
  EXPECT_NE(text.find("\n      \"tags\" : [\n        \"x\"\n      ],\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"pauses\" : [],"), std::string::npos);
  EXPECT_NE(text.find("\"filters\" : [],"), std::string::npos);
  EXPECT_EQ(text.find("\"end\""), std::string::npos);
  EXPECT_EQ(text.back(), '}');
}

TEST(ArchiveJsonTest, InPlaceReadingGivesTheSameRecords) {
  const Archive archive = testing::richArchive();
  std::string padded;
  const std::string file = encodeArchiveJson(archive);
  padded.reserve(file.size() + kArchiveReadPadding);
  padded = file;
  ASSERT_GE(padded.capacity() - padded.size(), kArchiveReadPadding);
  EXPECT_EQ(decodeArchiveJsonInPlace(padded), archive);
  // Without spare capacity it copies, with the same result and the same errors.
  std::string tight = file;
  tight.shrink_to_fit();
  EXPECT_EQ(decodeArchiveJsonInPlace(tight), archive);
  padded += " x";
  EXPECT_THROW(decodeArchiveJsonInPlace(padded), JsonParseError);
}

TEST(ArchiveJsonTest, IdentifiersReadExactlyAsUuidParseReadsThem) {
  const char* texts[] = {
      "0f8fad5b-d9cb-469f-a165-70867728950e", "0F8FAD5B-D9CB-469F-A165-70867728950E",
      "00000000-0000-0000-0000-000000000000", "ffffffff-ffff-ffff-ffff-ffffffffffff",
      "0f8fad5b-d9cb-469f-a165-70867728950",  "0f8fad5b-d9cb-469f-a165-70867728950e0",
      "0f8fad5bd9cb-469f-a165-70867728950e0", "0f8fad5b-d9cb-469f-a165-70867728950g",
      "0f8fad5b_d9cb-469f-a165-70867728950e", "{f8fad5b-d9cb-469f-a165-70867728950e}",
      "0f8fad5b-d9cb-469f-a16570867728950e-", "-f8fad5b-d9cb-469f-a165-70867728950e",
      "0f8fad5b-d9cb-469f-a165-7086772895 e", "0f8fad5b-d9cb-469f-a165-7086772895Ã©",
  };
  Json tree = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  for (const char* text : texts) {
    tree["filters"].asArray()[1]["id"] = Json(text);
    const std::optional<Uuid> expected = Uuid::parse(text);
    try {
      const Archive read = decodeArchiveJson(writeJson(tree));
      EXPECT_EQ(std::optional<Uuid>(read.filters[1].id), expected) << text;
    } catch (const DecodingError& error) {
      EXPECT_FALSE(expected) << text;
      EXPECT_EQ(error.reason(), DecodingError::Reason::MalformedUuid) << text;
    }
  }
}

TEST(ArchiveJsonTest, SameArchiveGivesSameBytes) {
  EXPECT_EQ(encodeArchiveJson(testing::richArchive()), encodeArchiveJson(testing::richArchive()));
}

TEST(ArchiveJsonTest, RecordsRoundTripAndFilesRoundTripByteForByte) {
  const Archive archive = testing::richArchive();
  const std::string file = encodeArchiveJson(archive);
  const Archive read = decodeArchiveJson(file);
  EXPECT_EQ(read, archive);
  EXPECT_EQ(encodeArchiveJson(read), file);
  // The tree reader reads the same file to the same records.
  EXPECT_EQ(archiveFromJson(parseJson(file)), archive);
}

TEST(ArchiveJsonTest, PythonReadsTheFileAsTheSameDocument) {
  // Python's json module re-sorts and re-indents our file into our own layout.
  const std::string file = encodeArchiveJson(testing::richArchive());
  const std::string script =
      "import json, sys\n"
      "data = json.loads(sys.stdin.buffer.read().decode('utf-8'), parse_float=lambda s: s, parse_int=lambda s: s)\n"
      "def walk(v):\n"
      "    if isinstance(v, dict): return {k: walk(x) for k, x in v.items()}\n"
      "    if isinstance(v, list): return [walk(x) for x in v]\n"
      "    return v\n"
      "sys.stdout.write(json.dumps(walk(data), sort_keys=True, indent=2, ensure_ascii=False,\n"
      "                 separators=(',', ' : ')))\n";
  std::string python = testing::runPython(script, file);
  // Python writes every number as a string here (parse_* kept the lexemes); undo that.
  const Json reparsed = parseJson(python);
  std::function<Json(const Json&)> unquote = [&](const Json& v) -> Json {
    if (v.isObject()) {
      Json::Object members;
      for (const auto& [k, x] : v.asObject()) members.emplace(k, unquote(x));
      return Json(std::move(members));
    }
    if (v.isArray()) {
      Json::Array items;
      for (const auto& x : v.asArray()) items.push_back(unquote(x));
      return Json(std::move(items));
    }
    if (v.isString() && isJsonNumber(v.asString())) return Json::number(v.asString());
    return v;
  };
  Json expected = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  EXPECT_EQ(writeJson(unquote(reparsed)), writeJson(expected));
}

TEST(ArchiveJsonTest, IsoDatesReadAndAreWrittenBackAsNumbers) {
  const Archive archive = testing::richArchive();
  Json tree = toJson(archive, DateStyle::ArchiveNumbers);
  Json& entry = tree["entries"].asArray()[0];
  entry["start"] = Json("2026-03-02T09:00:00Z");
  entry["end"] = Json("2026-03-02T18:30:00.5+01:00");
  entry["pauses"].asArray()[1]["start"] = Json("2026-03-02T05:00:00.250-05:00");
  tree["jobs"].asArray()[1]["payAnchor"] = Json("2026-01-05T05:00:00Z");
  tree["filters"].asArray()[0]["through"] = Json(794'000'000.75);
  const std::string file = writeJson(tree, {.pretty = true});
  ASSERT_NE(file.find("\"2026-03-02T18:30:00.5+01:00\""), std::string::npos);

  const Archive read = decodeArchiveJson(file);
  EXPECT_EQ(read, archive);
  EXPECT_EQ(encodeArchiveJson(read), encodeArchiveJson(archive));
}

TEST(ArchiveJsonTest, FiltersMissingOrNullReadAsNoFilters) {
  Json tree = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  tree["filters"] = Json();
  EXPECT_TRUE(decodeArchiveJson(writeJson(tree)).filters.empty());
  tree.asObject().erase("filters");
  const Archive read = decodeArchiveJson(writeJson(tree));
  EXPECT_TRUE(read.filters.empty());
  // Written again, the key is back, with an empty array.
  EXPECT_NE(encodeArchiveJson(read).find("\"filters\" : []"), std::string::npos);
}

TEST(ArchiveJsonTest, UnknownKeysAndEscapedKeysRead) {
  Json tree = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  tree["appBuild"] = Json(Json::Object{{"x", Json(Json::Array{Json(1), Json::number("2.5e3"), Json()})}});
  tree["entries"].asArray()[0]["weather"] = Json("sunny");
  std::string file = writeJson(tree);
  // "\u0069d" is "id" written with an escape.
  const std::string plainKey = "\"id\":\"A1A1A1A1-0000-4000-8000-000000000001\"";
  auto at = file.find(plainKey);
  ASSERT_NE(at, std::string::npos);
  file.replace(at, 4, "\"\\u0069d\"");
  EXPECT_EQ(decodeArchiveJson(file), testing::richArchive());
}

TEST(ArchiveJsonTest, EscapedStringsReadAsTheirText) {
  Archive archive = testing::richArchive();
  const std::string file = encodeArchiveJson(archive);
  // The writer escaped the quotes, the line breaks and the control character.
  EXPECT_NE(file.find(R"("Caf)" "\xC3\xA9" R"( \"Nord\" / Bar\n\tline\u0001")"), std::string::npos);
  std::string variant = file;
  auto at = variant.find("\"Studio\"");
  ASSERT_NE(at, std::string::npos);
  variant.replace(at, 8, "\"St\\u00fcdio \\ud83d\\ude00 \\/\"");
  EXPECT_EQ(decodeArchiveJson(variant).jobs[1].name, "St\xC3\xBC" "dio \xF0\x9F\x98\x80 /");
}

// The shape failures of the tree reader, through the file reader.
TEST(ArchiveJsonTest, ShapeFailuresNameTheField) {
  using R = DecodingError::Reason;
  struct Case {
    const char* name;
    std::function<void(Json&)> change;
    R reason;
    const char* message;
  };
  const Case cases[] = {
      {"missing key", [](Json& j) { j["jobs"].asArray()[0].asObject().erase("currency"); }, R::MissingKey,
       "The required field \"jobs[0].currency\" is missing."},
      {"missing preferences", [](Json& j) { j.asObject().erase("preferences"); }, R::MissingKey,
       "The required field \"preferences\" is missing."},
      {"null", [](Json& j) { j["entries"].asArray()[1]["comment"] = Json(); }, R::NullValue,
       "The field \"entries[1].comment\" must not be null."},
      {"null in array", [](Json& j) { j["entries"] = Json(Json::Array{Json()}); }, R::NullValue,
       "The field \"entries[0]\" must not be null."},
      {"wrong type", [](Json& j) { j["entries"].asArray()[0]["miles"] = Json("12"); }, R::WrongType,
       "The field \"entries[0].miles\" must be a number."},
      {"object for number", [](Json& j) { j["preferences"]["reminderHour"] = Json::object(); }, R::WrongType,
       "The field \"preferences.reminderHour\" must be a whole number."},
      {"unknown enum", [](Json& j) { j["jobs"].asArray()[1]["rounding"] = Json("nearest"); }, R::UnknownCase,
       "The field \"jobs[1].rounding\" must be one of \"None\", \"Nearest\", \"Up\" or \"Down\"."},
      {"bad UUID", [](Json& j) { j["entries"].asArray()[0]["jobID"] = Json("not-a-uuid"); }, R::MalformedUuid,
       "The field \"entries[0].jobID\" must be a UUID such as 3F2504E0-4F89-41D3-9A0C-0305E82C3301."},
      {"date without zone", [](Json& j) { j["entries"].asArray()[0]["start"] = Json("2026-03-02T09:00:00"); },
       R::InvalidDate, "Invalid backup date."},
      {"date as words", [](Json& j) { j["filters"].asArray()[1]["from"] = Json("last week"); }, R::InvalidDate,
       "Invalid backup date."},
      {"date as bool", [](Json& j) { j["entries"].asArray()[0]["pauses"].asArray()[0]["end"] = Json(true); },
       R::InvalidDate, "Invalid backup date."},
      {"date as null", [](Json& j) { j["jobs"].asArray()[0]["payAnchor"] = Json(); }, R::NullValue,
       "The field \"jobs[0].payAnchor\" must not be null."},
      {"root array", [](Json& j) { j = Json(Json::Array{Json::object()}); }, R::WrongType,
       "The JSON value must be an object."},
  };
  const Json base = toJson(testing::richArchive(), DateStyle::ArchiveNumbers);
  for (const Case& c : cases) {
    Json tree = base;
    c.change(tree);
    for (const bool pretty : {false, true}) {
      try {
        decodeArchiveJson(writeJson(tree, {.pretty = pretty}));
        ADD_FAILURE() << c.name << ": decoded";
      } catch (const DecodingError& error) {
        EXPECT_EQ(error.reason(), c.reason) << c.name;
        EXPECT_STREQ(error.what(), c.message) << c.name;
      }
    }
    // The tree reader agrees.
    try {
      archiveFromJson(tree);
      ADD_FAILURE() << c.name << ": tree read";
    } catch (const DecodingError& error) {
      EXPECT_STREQ(error.what(), c.message) << c.name;
    }
  }
}

// Text that is not one sound JSON document fails as the generic reader fails, with the
// byte where it breaks.
TEST(ArchiveJsonTest, SyntaxFailuresMatchTheGenericReader) {
  const std::string valid = encodeArchiveJson(testing::richArchive());
  auto replaced = [&](std::string_view from, std::string_view to) {
    std::string text = valid;
    auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    return text;
  };
  struct Case {
    const char* name;
    std::string text;
    const char* mention;  // part of the message
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"leading zero", replaced("\"roundingMinutes\" : 15", "\"roundingMinutes\" : 015"), "\"015\""},
      {"bare point", replaced("\"miles\" : 12.3", "\"miles\" : 12."), "\"12.\""},
      {"lone minus", replaced("\"timeAdjustmentMinutes\" : -12", "\"timeAdjustmentMinutes\" : -"), "\"-\""},
      {"bad number in unknown key", replaced("{\n  \"entries\"", "{\"extra\" : [1, 2, 01],\n  \"entries\""),
       "\"01\""},
      {"trailing content", valid + " {}", "after the JSON value"},
      {"second document", valid + "\n[1]", "after the JSON value"},
      {"duplicate known key", replaced("\"version\" : 1", "\"version\" : 1, \"version\" : 2"),
       "the key \"version\" appears twice."},
      {"duplicate unknown key", replaced("\"version\" : 1", "\"version\" : 1, \"x\" : 1, \"x\" : 2"),
       "the key \"x\" appears twice."},
      {"duplicate nested unknown key", replaced("\"version\" : 1", "\"version\" : 1, \"x\" : {\"a\":1,\"a\":1}"),
       "the key \"a\" appears twice."},
      {"trailing comma", replaced("\n  \"version\" : 1", "\n  \"version\" : 1,"), ""},
      {"bad atom", replaced("\"archived\" : true", "\"archived\" : tru"), ""},
      {"raw tab in text", replaced("\"Studio\"", "\"Stu\tdio\""), ""},
      {"bad escape", replaced("\"Studio\"", "\"Stu\\qdio\""), ""},
      {"invalid UTF-8", replaced("\"Studio\"", "\"Stu\xC3("), ""},
      {"unclosed", valid.substr(0, valid.size() - 1), ""},
  };
  for (const Case& c : cases) {
    std::string generic;
    try {
      parseJson(c.text);
      ADD_FAILURE() << c.name << ": the generic reader accepted it";
    } catch (const JsonParseError& error) {
      generic = error.what();
    }
    try {
      decodeArchiveJson(c.text);
      ADD_FAILURE() << c.name << ": decoded";
    } catch (const JsonParseError& error) {
      EXPECT_NE(std::string(error.what()).find(c.mention), std::string::npos) << c.name << ": " << error.what();
      EXPECT_EQ(std::string(error.what()).rfind("The JSON text is invalid at byte ", 0), 0u) << error.what();
    } catch (const std::exception& error) {
      ADD_FAILURE() << c.name << ": " << error.what();
    }
  }
}

TEST(ArchiveJsonTest, SyntaxErrorsGiveTheBytePosition) {
  const std::string text = "{\"format\" : \"PellamDesktop\", \"format\" : \"x\"}";
  try {
    decodeArchiveJson(text);
    FAIL() << "decoded";
  } catch (const JsonParseError& error) {
    EXPECT_EQ(error.offset(), text.rfind("\"format\""));
  }
  const std::string number = "{\"version\" : 02}";
  try {
    decodeArchiveJson(number);
    FAIL() << "decoded";
  } catch (const JsonParseError& error) {
    EXPECT_EQ(error.offset(), number.find("02"));
  }
}

}  // namespace
}  // namespace pellam
