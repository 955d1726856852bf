#ifndef RCP_HOTFIX_UNINSTALL_H
#define RCP_HOTFIX_UNINSTALL_H
/* Entry points of the hotfix uninstall library, callable from any host program.
 * installLocation is the folder that holds "rcp" (UTF-8; null for none). The result is a status:
 *   0 rolled back, 1 no application bundle contains the rcp home, 150 no install location or no
 *   instance installed there, 155 unsupported characters in the rcp home, 170 the platform is
 *   running, 190 the rollback provisioning failed. */
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Checks the location, then rolls back the hotfix: a Pelora hotfix when peloraHotfix is true
 * ("uninstall.pelorahotfix.xml"), a plain one otherwise ("uninstall.hotfix.xml"). */
int32_t RCP_UninstallHotfix(const char* installLocation, bool peloraHotfix);
/* RCP_UninstallHotfix with the flag set. */
int32_t RCPUninstallPeloraHotfix(const char* installLocation);
/* RCP_UninstallHotfix with the flag clear. */
int32_t RCPUninstallHotfix(const char* installLocation);

#ifdef __cplusplus
}
#endif

#endif
