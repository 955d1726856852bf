/* Built against the installed package with `pkg-config --cflags --libs` alone: both uninstall
 * libraries link and load, and answer a location that does not exist with 150. */
#include <stdio.h>

#include <RCPAddonUninstall.h>
#include <RCPHotfixUninstall.h>

int main(void) {
  printf("%d %d\n", (int)RCPRemoveAddonRegistryOnly("/nonexistent", "a.b"),
         (int)RCPUninstallPeloraHotfix("/nonexistent"));
  return 0;
}
