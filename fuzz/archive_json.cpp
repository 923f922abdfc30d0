// Archive decoding and validation: the bytes of a pellam.json. Oracles: the direct decoder
// and the Json tree route (parseJson, then archiveFromJson) accept the same files and read
// the same records; an archive that decodes encodes to bytes that decode to the same
// records and encode to the same bytes, which are also the tree form's pretty text.
#include "core/storage/archive_json.h"
#include "core/json.h"
#include "core/records/record_json.h"
#include "core/validation/validation.h"
#include "fuzz/fuzz_support.h"

namespace {

using pellam::Archive;
using pellam::fuzz::check;

std::optional<Archive> decodeDirect(std::string_view bytes) {
  try {
    return pellam::decodeArchiveJson(bytes);
  } catch (const pellam::JsonParseError&) {
  } catch (const pellam::DataError&) {
  }
  return std::nullopt;
}

std::optional<Archive> decodeThroughTree(std::string_view bytes) {
  try {
    return pellam::archiveFromJson(pellam::parseJson(bytes));
  } catch (const pellam::JsonParseError&) {
  } catch (const pellam::DataError&) {
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = pellam::fuzz::text(data, size);
  const std::optional<Archive> direct = decodeDirect(input);
  const std::optional<Archive> tree = decodeThroughTree(input);
  check(direct.has_value() == tree.has_value(),
        direct ? "only the direct decoder accepts the file" : "only the tree route accepts the file");
  if (!direct) return 0;
  check(*direct == *tree, "the direct decoder and the tree route read different records");

  bool valid = true;
  try {
    pellam::validate(*direct);
  } catch (const pellam::DataError&) {
    valid = false;
  }

  const std::string encoded = pellam::encodeArchiveJson(*direct);
  check(encoded == pellam::writeJson(pellam::toJson(*direct, pellam::DateStyle::ArchiveNumbers), {.pretty = true}),
        "the archive's bytes differ from its tree's pretty text");
  const std::optional<Archive> again = decodeDirect(encoded);
  check(again.has_value(), "encoded archive does not decode");
  check(*again == *direct, "encoded archive decodes to other records");
  check(pellam::encodeArchiveJson(*again) == encoded, "re-encoding changes the bytes");
  if (valid) {
    try {
      pellam::validate(*again);
    } catch (const pellam::DataError& error) {
      pellam::fuzz::fail(std::string("a valid archive is invalid after a round trip: ") + error.what());
    }
  }
  return 0;
}
