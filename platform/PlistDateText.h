#pragma once
// Dates of property lists as the XML form writes them ("2001-01-01T00:00:00Z", UTC, whole
// seconds) and the range of years other readers accept (1 to 9999).
#include <optional>
#include <string>
#include <string_view>

#include "platform/PlistValue.h"

namespace platform {

// True when the date falls within the years 1 to 9999 (a binary file may hold any double).
bool isDateInReadableRange(const PlistDate& date);

// The text of a date of whole seconds within the readable range; none otherwise (the XML form
// cannot carry a fraction of a second).
std::optional<std::string> dateToXmlText(const PlistDate& date);

// "YYYY-MM-DDTHH:MM:SSZ", or the shorter "YYYY-MM-DDZ", "YYYY-MM-DDTHHZ", "YYYY-MM-DDTHH:MMZ";
// none for any other text or a day the calendar does not have.
std::optional<PlistDate> dateFromXmlText(std::string_view text);

}  // namespace platform
