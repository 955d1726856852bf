#ifndef RCP_ADDON_UNINSTALL_H
#define RCP_ADDON_UNINSTALL_H
/* Entry points of the add-on uninstall library, callable from any host program.
 * Texts are UTF-8; a null pointer means none. The result is a status:
 *   0 done, 150 no install location or no instance installed there, 155 unsupported characters
 *   in the rcp home, 160 the add-on is not installed, 170 the platform is running, 190 the
 *   uninstall provisioning failed, 199 no add-on id, or the uninstall manifest is missing or
 *   could not be staged. */
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Checks, then uninstalls the add-on through a provisioning run of the platform and removes its
 * registry record; logs to "/tmp/rcp_<id>_uninstall.log". installLocation is the folder that
 * holds "rcp". */
int32_t RCPUninstallAddon(const char* installLocation, const char* addonID);

/* The same checks without logging, then removes only the add-on's registry record. */
int32_t RCPRemoveAddonRegistryOnly(const char* installLocation, const char* addonID);

#ifdef __cplusplus
}
#endif

#endif
