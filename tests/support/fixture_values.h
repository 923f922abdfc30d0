#pragma once
// Fixed values for fixtures, written as text; a typo fails loudly instead of becoming a
// default value.
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/decimal.h"
#include "core/instant.h"
#include "core/uuid.h"

namespace pellam::testing {

inline Instant at(std::string_view iso) {
  auto instant = parseInternetDateTime(iso, FractionalSeconds::Allowed);
  if (!instant) throw std::invalid_argument("bad fixture date " + std::string(iso));
  return *instant;
}

inline Uuid uuid(std::string_view text) {
  auto id = Uuid::parse(text);
  if (!id) throw std::invalid_argument("bad fixture UUID " + std::string(text));
  return *id;
}

inline Decimal dec(std::string_view text) {
  auto value = Decimal::parse(text);
  if (!value) throw std::invalid_argument("bad fixture decimal " + std::string(text));
  return *value;
}

}  // namespace pellam::testing
