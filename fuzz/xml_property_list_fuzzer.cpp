// Any bytes as an XML property list read through libxml2: reading must never crash, and a value
// that was read and can be written must read back as the same value.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/XmlPlistReader.h"
#include "platform/XmlPlistWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto value = platform::parseXmlPlist(bytes);
  if (!value) return 0;
  const auto xml = platform::toXmlPlist(*value);
  if (!xml) return 0;  // a value XML cannot carry is refused, not written
  const auto again = platform::parseXmlPlist(*xml);
  if (!again || !(*again == *value)) std::abort();
  return 0;
}
