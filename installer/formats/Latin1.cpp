#include "installer/formats/Latin1.h"

#include "installer/formats/Utf16.h"

namespace support::latin1 {

std::string toUtf8(std::string_view latin1) {
  std::string utf8;
  for (char byte : latin1) utf16::appendUtf8(utf8, static_cast<unsigned char>(byte));
  return utf8;
}

}  // namespace support::latin1
