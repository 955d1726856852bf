#pragma once
// The platform's internal configuration store: one property-list file at a fixed path in /tmp,
// read by the package installer's result panel. Loaded once at construction, and only from a
// regular file with one link that belongs to root or the process's user (a link or another
// user's file planted at the path counts as no store); changes reach the file only through
// saveConfiguration, which replaces it atomically with a file of the process's own, mode 0644
// (never writing through a link, never keeping a planted file's owner or mode).
#include <optional>
#include <string>

#include "installer/formats/Properties.h"
#include "platform/PlistValue.h"

namespace support {

inline constexpr const char* kConfigurationStorePath =
    "/tmp/com.norq.rcp.platform.internal.configuration";

class Configuration {
 public:
  Configuration();  // init

  std::optional<platform::PlistValue> getPropertyValueForKey(const std::string& key) const;
  // A none value removes the key.
  void setPropertyForKey(const std::optional<platform::PlistValue>& value, const std::string& key);
  // True when the store file was written; a failed write leaves the old store whole.
  bool saveConfiguration() const;
  // Deletes the store file (a link itself, never its target) and empties the store.
  void cleanupConfiguration();

 private:
  Properties _internalProperties;
};

}  // namespace support
