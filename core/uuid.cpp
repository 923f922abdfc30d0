#include "core/uuid.h"

#include <uuid/uuid.h>

#include <cstring>

namespace pellam {

Uuid Uuid::random() {
  uuid_t raw;
  uuid_generate_random(raw);
  std::array<std::uint8_t, 16> bytes;
  std::memcpy(bytes.data(), raw, 16);
  return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  // libuuid wants exactly 36 characters with a terminating NUL; check the shape first so
  // that nothing longer, shorter or with braces slips through.
  if (text.size() != 36) return std::nullopt;
  for (std::size_t i = 0; i < 36; ++i) {
    char c = text[i];
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (dash ? c != '-' : !hex) return std::nullopt;
  }
  char buffer[37];
  std::memcpy(buffer, text.data(), 36);
  buffer[36] = '\0';
  uuid_t raw;
  if (uuid_parse(buffer, raw) != 0) return std::nullopt;
  std::array<std::uint8_t, 16> bytes;
  std::memcpy(bytes.data(), raw, 16);
  return Uuid(bytes);
}

std::string Uuid::text() const {
  uuid_t raw;
  std::memcpy(raw, bytes_.data(), 16);
  char buffer[37];
  uuid_unparse_upper(raw, buffer);
  return std::string(buffer, 36);
}

}  // namespace pellam
