#pragma once
// ISO-8859-1 bytes as UTF-8 text: each byte is the character of the same number.
#include <string>
#include <string_view>

namespace support::latin1 {

std::string toUtf8(std::string_view latin1);

}  // namespace support::latin1
