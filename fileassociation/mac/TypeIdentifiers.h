#pragma once
// Uniform type identifiers of filename extensions, standing in for the system's type database.
#include <string>
#include <string_view>

namespace macassoc::TypeIdentifiers {

// The preferred identifier, conforming to public.data, for a filename extension. Common
// document, spreadsheet, presentation, text, web and image extensions have their public
// identifiers (the extension matched without regard to ASCII case). Any other extension gets a
// dynamic identifier: "dyn.a" followed by the lower-cased extension in a base-32 alphabet of
// lower-case letters and digits, so the same extension always gives the same identifier and
// different extensions never share one.
std::string preferredIdentifierForExtension(std::string_view extension);

}  // namespace macassoc::TypeIdentifiers
