// Any bytes as a property list (XML, binary or the older text form): reading must never crash,
// and a value that was read and can be written as XML must read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/PropertyListFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<platform::PlistValue> value = platform::PropertyListFile::parse(bytes);
  if (!value) return 0;
  std::string xml = platform::PropertyListFile::toXml(*value);
  if (xml.empty()) return 0;  // a value XML cannot carry is refused, not written
  std::optional<platform::PlistValue> again = platform::PropertyListFile::parse(xml);
  if (!again || !(platform::PropertyListFile::toXml(*again) == xml)) std::abort();
  return 0;
}
