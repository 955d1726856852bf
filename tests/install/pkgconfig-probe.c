/* Built against the installed package with `pkg-config --cflags --libs <module>` alone, once per
 * uninstall library (so each module must bring its own run path): the library links and loads,
 * and answers a location that does not exist with 150. */
#include <stdio.h>

#ifdef PROBE_HOTFIX
#include <RCPHotfixUninstall.h>
#define PROBE_CALL RCPUninstallPeloraHotfix("/nonexistent")
#else
#include <RCPAddonUninstall.h>
#define PROBE_CALL RCPRemoveAddonRegistryOnly("/nonexistent", "a.b")
#endif

int main(void) {
  printf("%d\n", (int)PROBE_CALL);
  return 0;
}
