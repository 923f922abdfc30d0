// Wire decoding: the same bytes read as a request, a response and a status file. Oracle:
// each record that decodes encodes to bytes that decode to the same record, and a request's
// fingerprint survives that round trip and is 64 lower-case hex digits.
#include "agent/wire/wire.h"
#include "fuzz/fuzz_support.h"

namespace {

namespace AgentWire = pellam::agent::AgentWire;
using pellam::fuzz::check;

template <typename Record, typename Decode>
std::optional<Record> decode(std::string_view bytes, Decode decoder) {
  try {
    return decoder(bytes);
  } catch (const pellam::agent::WireDecodeError&) {
  } catch (const pellam::JsonParseError&) {
  }
  return std::nullopt;
}

template <typename Record, typename Decode>
void roundTrip(std::string_view bytes, Decode decoder, const char* name) {
  const std::optional<Record> record = decode<Record>(bytes, decoder);
  if (!record) return;
  const std::string encoded = AgentWire::encode(*record);
  const std::optional<Record> again = decode<Record>(encoded, decoder);
  check(again.has_value(), std::string("an encoded ") + name + " does not decode: " + encoded);
  check(*again == *record, std::string("an encoded ") + name + " decodes to another record: " + encoded);
  if constexpr (std::is_same_v<Record, pellam::agent::AgentRequest>) {
    const std::string print = AgentWire::fingerprint(*record);
    check(print.size() == 64 && print.find_first_not_of("0123456789abcdef") == std::string::npos,
          "the fingerprint is not 64 lower-case hex digits");
    check(AgentWire::fingerprint(*again) == print, "the fingerprint changed in a round trip");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);
  roundTrip<pellam::agent::AgentRequest>(input, AgentWire::decodeRequest, "request");
  roundTrip<pellam::agent::AgentResponse>(input, AgentWire::decodeResponse, "response");
  roundTrip<pellam::agent::AgentStatus>(input, AgentWire::decodeStatus, "status");
  return 0;
}
