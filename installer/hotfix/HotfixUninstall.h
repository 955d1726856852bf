#pragma once
// The rollback of the hotfix applied to one platform instance: the uninstall manifest the hotfix
// left in "deploy" is staged as the update manifest and applied by provisioning runs of the
// platform; on success a cleanup run follows, the workspace permissions are repaired and the
// uninstall manifest is removed. A launcher that did not exit on its own, or a record
// ("installInfo.plist", "rcplauncher.properties") that could not be written, fails it; one that
// exists but cannot be read fails it before anything changes.
#include <cstdio>
#include <string>

#include "installer/support/InstanceService.h"

namespace hotfix {

class HotfixUninstall {
 public:
  // On the rcp home of an installed instance; messages for the user go to `out`.
  explicit HotfixUninstall(std::string pathToRcpHome, std::FILE* out = stdout);

  bool copyUninstallManifest() const;
  bool copyPeloraUninstallManifest() const;
  // True when every launcher run was started and exited on its own.
  bool startProvisioning() const;
  bool cleanup() const;
  bool uninstallOldHotfix() const;
  bool uninstallOldPeloraHotfix() const;
  bool removeHotfixReceipt() const;  // nothing to remove: always true

 private:
  bool stageUninstallManifest(const char* manifestName) const;
  std::string uninstallManifestPath(const char* manifestName) const;
  void removeUninstallManifest(const char* manifestName) const;
  bool rollBack(bool (HotfixUninstall::*stage)() const, const char* manifestName) const;
  void reportFileNotFound(const std::string& file) const;
  void reportProvisioningFailed() const;
  bool recordWritten(bool written, const std::string& file) const;

  std::string _pathToRcpHome;
  support::InstanceService _instance;
  std::FILE* out_;
};

}  // namespace hotfix
