#include "fileassociation/mac/DefaultRoles.h"

#include <strings.h>

#include <cstdio>
#include <optional>
#include <string_view>

#include "fileassociation/mac/HandlerChoice.h"
#include "fileassociation/mac/LaunchServices.h"
#include "fileassociation/mac/MacAssocConstants.h"
#include "fileassociation/mac/TypeIdentifiers.h"

namespace macassoc {
namespace {

void printLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

std::string contentTypeOf(const std::string& extension) {
  std::string contentType = TypeIdentifiers::preferredIdentifierForExtension(extension);
  printLine(contentType);
  return contentType;
}

bool equalsIgnoringCase(const std::string& a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

bool DefaultRoles::isAssociated(const std::string& extension, const std::string& typeName) {
  std::string contentType = contentTypeOf(extension);
  std::string_view handler = HandlerChoice::handlerForTypeName(typeName);
  std::optional<std::string> current =
      LaunchServices::forCurrentUser().copyDefaultRoleHandlerForContentType(contentType,
                                                                            kLSRolesAll);
  return current && equalsIgnoringCase(*current, handler);
}

bool DefaultRoles::setDefaultOpenRole(const std::string& typeName, const std::string& extension) {
  std::string contentType = contentTypeOf(extension);
  std::string handler(HandlerChoice::handlerForTypeName(typeName));
  LaunchServices services = LaunchServices::forCurrentUser();
  services.setHandlerOptionsForContentType(contentType, kLSHandlerOptionsIgnoreCreator);
  std::int32_t status =
      services.setDefaultRoleHandlerForContentType(contentType, kLSRolesAll, handler);
  printLine(handler);
  printLine(kSetDefaultOpenRoleBanner);
  return status == noErr;
}

bool DefaultRoles::unsetDefaultOpenRole(const std::string& extension) {
  std::string contentType = contentTypeOf(extension);
  std::int32_t status = LaunchServices::forCurrentUser().setDefaultRoleHandlerForContentType(
      contentType, kLSRolesAll, std::string(kReleasedRoleHandler));
  printLine(kUnsetDefaultOpenRoleBanner);
  return status == noErr;
}

}  // namespace macassoc
