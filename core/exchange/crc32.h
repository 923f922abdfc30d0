#pragma once
// The CRC-32 of ZIP files (ISO-HDLC: reflected polynomial 0xEDB88320, initial value
// 0xFFFFFFFF, final complement). crc32("123456789") is 0xCBF43926; empty input gives 0.
#include <cstdint>
#include <string_view>

namespace pellam {

std::uint32_t crc32(std::string_view bytes);

}  // namespace pellam
