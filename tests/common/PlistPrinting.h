#pragma once
// Failures show property lists as their XML.
#include <ostream>

#include "platform/PropertyListFile.h"

namespace platform {
inline void PrintTo(const PlistValue& value, std::ostream* out) { *out << PropertyListFile::toXml(value); }
}  // namespace platform
