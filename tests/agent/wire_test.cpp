#include "agent/wire/wire.h"

#include <gtest/gtest.h>

#include "agent/wire/catalogue.h"
#include "core/sha256.h"
#include "support/request_builders.h"

namespace pellam::agent {
namespace {

const Uuid kId = *Uuid::parse("0F8FAD5B-D9CB-469F-A165-70867728950E");

AgentRequest showRequest() { return testing::requestFor("jobs.show", {{"id", "Acme"}}, kId, Instant{814366800}); }

TEST(WireTest, RequestEncodesCompactSortedAndRoundTrips) {
  AgentRequest request = showRequest();
  request.arguments["path"] = "a/b";
  std::string bytes = AgentWire::encode(request);
  EXPECT_EQ(bytes,
            R"({"arguments":{"id":"Acme","path":"a/b"},"command":"jobs.show","createdAt":"2026-10-22T13:00:00Z",)"
            R"("dryRun":false,"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","version":1})");
  EXPECT_EQ(AgentWire::decodeRequest(bytes), request);
}

TEST(WireTest, ResponseLeavesOutAbsentFields) {
  AgentResponse bare = AgentWire::decodeResponse(R"({"version":1,"id":"0f8fad5b-d9cb-469f-a165-70867728950e","ok":true})");
  EXPECT_FALSE(bare.data || bare.error || bare.requestFingerprint);
  EXPECT_EQ(AgentWire::encode(bare), R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","ok":true,"version":1})");

  AgentResponse full = bare;
  full.ok = false;
  full.data = std::string("{\"x\":1}");
  full.error = AgentFailure("not_found", "No such job.", false);
  full.requestFingerprint = std::string(64, 'a');
  std::string bytes = AgentWire::encode(full);
  EXPECT_NE(bytes.find(R"("data":"eyJ4IjoxfQ==")"), std::string::npos);
  EXPECT_EQ(AgentWire::decodeResponse(bytes), full);
}

// A response is written straight out, not through its JSON value: the bytes must be the
// same whatever it holds, and its size known before it is written.
TEST(WireTest, ResponseBytesAreItsJsonForm) {
  AgentResponse bare;
  bare.id = kId;
  bare.ok = true;
  struct Case {
    const char* name;
    std::optional<std::string> data;
    std::optional<AgentFailure> error;
    std::optional<std::string> fingerprint;
  };
  const std::vector<Case> cases = {
      {"nothing optional", std::nullopt, std::nullopt, std::nullopt},
      {"empty data", std::string(), std::nullopt, std::string(64, 'f')},
      {"one byte", std::string("{"), std::nullopt, std::nullopt},
      {"two bytes", std::string("{}"), std::nullopt, std::nullopt},
      {"three bytes", std::string("[1]"), std::nullopt, std::nullopt},
      {"binary data", std::string("\0\xff\x7f/\"\\", 6), std::nullopt, std::string(64, '0')},
      {"failure with escapes", std::nullopt,
       AgentFailure("not_found", "No \"job\" at a/b\\c\n\x01.", true), std::string(64, 'a')},
      {"data and failure", std::string(1000, 'x'), AgentFailure("conflict", "Changed.", false), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentResponse response = bare;
    response.ok = !c.error;
    response.data = c.data;
    response.error = c.error;
    response.requestFingerprint = c.fingerprint;
    const std::string bytes = AgentWire::encode(response);
    EXPECT_EQ(bytes, writeJson(AgentWire::toJson(response)));
    EXPECT_EQ(AgentWire::encodedSize(response), bytes.size());
    EXPECT_EQ(AgentWire::decodeResponse(bytes), response);
  }
}

// The data is decoded where it lies in the answer when it holds no escape; either way the
// response, and every refusal of a bad one, is what reading it through its JSON value gives.
TEST(WireTest, ResponseDataReadsTheSameInPlaceOrEscaped) {
  const std::string head = R"({"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","ok":true,"version":1,"data":)";
  for (const std::string data :
       {R"("eyJ4IjoxfQ==")", R"("\u0065yJ4IjoxfQ\u003d\u003d")", R"("")", R"("eyJ4Ijox fQ==")", R"("eyJ4IjoxfQ=")",
        R"(5)", R"(null)", R"("\/\/\/\/")"}) {
    const std::string bytes = head + data + "}";
    std::string inPlace, throughJson;
    std::optional<AgentResponse> decoded, expected;
    try {
      decoded = AgentWire::decodeResponse(bytes);
    } catch (const std::exception& error) {
      inPlace = error.what();
    }
    try {
      expected = AgentWire::responseFromJson(parseJson(bytes));
    } catch (const std::exception& error) {
      throughJson = error.what();
    }
    EXPECT_EQ(decoded, expected) << data;
    EXPECT_EQ(inPlace, throughJson) << data;
  }
  EXPECT_EQ(AgentWire::decodeResponse(head + R"("\u0065yJ4IjoxfQ==")" + "}").data, std::string("{\"x\":1}"));
}

TEST(WireTest, StatusRoundTripsWithOptionalWebsite) {
  AgentStatus status;
  status.enabled = true;
  status.updatedAt = Instant{814366800};
  status.appVersion = "1.2";
  EXPECT_EQ(AgentWire::encode(status),
            R"({"appVersion":"1.2","enabled":true,"locked":false,"updatedAt":"2026-10-22T13:00:00Z","version":1})");
  status.websiteURL = "https://example.com/docs";
  EXPECT_EQ(AgentWire::decodeStatus(AgentWire::encode(status)), status);
}

struct DecodeCase {
  const char* name;
  const char* json;
  const char* message;  // empty when it must decode
};

TEST(WireTest, RequestDecodingRefusesWhatIsMissingOrMistyped) {
  const std::vector<DecodeCase> cases = {
      {"complete with unknown key",
       R"({"version":1,"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","createdAt":"2026-10-22T09:00:00-04:00","command":"x","arguments":{},"dryRun":false,"extra":[1]})",
       ""},
      {"missing dryRun",
       R"({"version":1,"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","createdAt":"2026-10-22T13:00:00Z","command":"x","arguments":{}})",
       "The request key \"dryRun\" is missing."},
      {"fractional seconds",
       R"({"version":1,"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","createdAt":"2026-10-22T13:00:00.5Z","command":"x","arguments":{},"dryRun":false})",
       "The request key \"createdAt\" must be an ISO 8601 date-time with a time zone and whole seconds."},
      {"version as text",
       R"({"version":"1","id":"0F8FAD5B-D9CB-469F-A165-70867728950E","createdAt":"2026-10-22T13:00:00Z","command":"x","arguments":{},"dryRun":false})",
       "The request key \"version\" must be a whole number."},
      {"non-string argument",
       R"({"version":1,"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","createdAt":"2026-10-22T13:00:00Z","command":"x","arguments":{"limit":5},"dryRun":false})",
       "The request key \"arguments\" must be an object of strings."},
      {"bad id",
       R"({"version":1,"id":"nope","createdAt":"2026-10-22T13:00:00Z","command":"x","arguments":{},"dryRun":false})",
       "The request key \"id\" must be a UUID."},
      {"null command",
       R"({"version":1,"id":"0F8FAD5B-D9CB-469F-A165-70867728950E","createdAt":"2026-10-22T13:00:00Z","command":null,"arguments":{},"dryRun":false})",
       "The request key \"command\" is missing."},
      {"not an object", R"([1])", "The request is not a JSON object."},
  };
  for (const auto& c : cases) {
    try {
      AgentWire::decodeRequest(c.json);
      EXPECT_STREQ(c.message, "") << c.name;
    } catch (const WireDecodeError& error) {
      EXPECT_STREQ(error.what(), c.message) << c.name;
    }
  }
}

TEST(WireTest, FingerprintIsTheDigestOfTheCanonicalText) {
  AgentRequest request = showRequest();
  EXPECT_EQ(AgentWire::fingerprint(request),
            sha256Hex(R"({"arguments":{"id":"Acme"},"command":"jobs.show","dryRun":false,"version":1})"));
}

TEST(WireTest, FingerprintIgnoresIdentityButNotContent) {
  const AgentRequest base = showRequest();
  const std::string print = AgentWire::fingerprint(base);

  AgentRequest other = base;
  other.id = Uuid::random();
  other.createdAt = Instant{1};
  EXPECT_EQ(AgentWire::fingerprint(other), print);

  std::vector<AgentRequest> changed(4, base);
  changed[0].arguments["id"] = "Acme2";
  changed[1].command = "jobs.update";
  changed[2].dryRun = true;
  changed[3].arguments["extra"] = "";
  for (const auto& request : changed) EXPECT_NE(AgentWire::fingerprint(request), print);
}

TEST(WireTest, FingerprintHashesSlashesAndNonAsciiAsTheyAre) {
  AgentRequest request = showRequest();
  request.arguments = {{"path", "a/b"}, {"name", "Café \"Ü\"\n"}};
  EXPECT_EQ(AgentWire::fingerprint(request),
            sha256Hex("{\"arguments\":{\"name\":\"Café \\\"Ü\\\"\\n\",\"path\":\"a/b\"},\"command\":\"jobs.show\","
                      "\"dryRun\":false,\"version\":1}"));
}

TEST(CatalogueTest, ListsAreCompleteAndOrdered) {
  const auto& engine = AgentCommands::supportedCommands();
  const auto& app = AgentCommands::appCommands();
  ASSERT_EQ(engine.size(), 34u);
  ASSERT_EQ(app.size(), 24u);
  EXPECT_EQ(engine.front(), "capabilities");
  EXPECT_EQ(engine.back(), "import.apply");
  EXPECT_EQ(app.front(), "app.status");
  EXPECT_EQ(app.back(), "backups.restore");
  EXPECT_TRUE(AgentCommands::isSupportedCommand("timer.clock-in"));
  EXPECT_FALSE(AgentCommands::isSupportedCommand("app.lock"));
  EXPECT_TRUE(AgentCommands::isAppCommand("reports.print"));
}

}  // namespace
}  // namespace pellam::agent
