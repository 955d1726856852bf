#pragma once
// The client application that handles a type, chosen from the type name.
#include <string_view>

namespace macassoc::HandlerChoice {

// The bundle identifier for the first word the type name contains (case-sensitive):
// "Document", then "Spreadsheet", then "Presentation"; the suite's own application otherwise.
std::string_view handlerForTypeName(std::string_view typeName);

}  // namespace macassoc::HandlerChoice
