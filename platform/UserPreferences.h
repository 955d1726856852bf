#pragma once
// User preferences, kept where the platform keeps them:
// <home>/Library/Preferences/<domain>.plist; the global domain is ".GlobalPreferences".
// Reads happen as the current effective user (combine with EffectiveUserGuard to read as the
// logged-in user).
#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace platform {

inline constexpr const char* kGlobalPreferencesDomain = ".GlobalPreferences";

class UserPreferences {
 public:
  // The home folder whose Library/Preferences is used.
  explicit UserPreferences(std::string home);

  std::string pathOfDomain(const std::string& domain) const;

  // The value of key in domain; none when the file, the key or a dictionary root is missing.
  std::optional<PlistValue> valueForKey(const std::string& domain, const std::string& key) const;

  // Sets (or removes, for none) one key; writes the domain file atomically.
  bool setValueForKey(const std::string& domain, const std::string& key,
                      const std::optional<PlistValue>& value) const;

 private:
  std::string home_;
};

}  // namespace platform
