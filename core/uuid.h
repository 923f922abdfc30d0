#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pellam {

// A UUID; written as canonical 36-character text with upper-case digits, read in either case.
class Uuid {
 public:
  Uuid() = default;  // the nil UUID
  explicit Uuid(const std::array<std::uint8_t, 16>& bytes) : bytes_(bytes) {}

  static Uuid random();
  // The canonical 8-4-4-4-12 form only, letters in any case; anything else is refused.
  static std::optional<Uuid> parse(std::string_view text);

  std::string text() const;
  void appendText(std::string& out) const;
  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }

  auto operator<=>(const Uuid&) const = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace pellam
