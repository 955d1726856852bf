#pragma once
// The client's applications as default handlers of filename extensions, through the Launch
// Services stand-in of the current user. Each operation prints the extension's content type
// (and the banners of setting and unsetting) on standard error, one line each.
#include <string>

namespace macassoc {

class DefaultRoles {
 public:
  // True when the handler chosen from the type name is the default handler of the extension's
  // content type for all roles (identifiers compared without regard to case).
  static bool isAssociated(const std::string& extension, const std::string& typeName);
  // Sets the handler options (kLSHandlerOptionsIgnoreCreator) and makes the chosen handler the
  // default for all roles; true when the handler was accepted.
  static bool setDefaultOpenRole(const std::string& typeName, const std::string& extension);
  // Gives the role of the extension's content type back ("default" as handler).
  static bool unsetDefaultOpenRole(const std::string& extension);
};

}  // namespace macassoc
