#pragma once
// Stand-in for registering an application bundle with Launch Services. A registered bundle is
// remembered by its resolved path and the "CFBundleIdentifier" of its Info.plist (when it has
// one) in the "LSRegisteredBundles" array of
// "~/Library/Preferences/com.apple.LaunchServices/registeredBundles.plist".
#include <cstdint>
#include <string>

namespace macassoc {

class BundleRegistry {
 public:
  explicit BundleRegistry(std::string storePath) : _storePath(std::move(storePath)) {}
  // The registry of the current user (homeFolder()).
  static BundleRegistry forCurrentUser();

  // Registers the bundle at the path, which must resolve. With update an existing record of the
  // same bundle is replaced; without it the record is kept. noErr; the file-system status of a
  // path that does not resolve (ResolveError.h); kLSDataErr when the registry cannot be read;
  // kLSUnknownErr when it cannot be written.
  std::int32_t registerBundle(const std::string& bundlePath, bool update);

 private:
  std::string _storePath;
};

}  // namespace macassoc
