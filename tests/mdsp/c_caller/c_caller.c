/* A plain C caller: the header compiles as C11 and the library links. */
#include <stdio.h>
#include <string.h>

#include "mdsp.h"

static int32_t on_secure_event(int32_t event, int32_t index, uint8_t* mac, int32_t argument,
                               void* context) {
  (void)event; (void)index; (void)mac; (void)argument; (void)context;
  return 0;
}

static void on_text_event(int32_t event, uint8_t* mac) { (void)event; (void)mac; }

int main(void) {
  uint32_t address = 0;
  uint8_t mac[6];
  char description[64];
  DLLVERSIONINFO version;
  memset(&version, 0, sizeof version);

  /* Before anything created the client, GetNicInfo reports "not started". */
  if (MDSP_GetNicInfo(0, &address, mac, description, sizeof description) != MDSP_RESULT_NOT_STARTED) {
    fprintf(stderr, "GetNicInfo before start should return 1\n");
    return 1;
  }
  if (MDSP_RegisterCallBack(on_text_event) != on_text_event) return 1;
  if (SMDSP_RegisterCallBack(on_secure_event) != on_secure_event) return 1;
  if (DllGetVersion(&version) != 0 || version.dwMajorVersion != 3 || version.dwMinorVersion != 1 ||
      version.dwPlatformID != 1) {
    fprintf(stderr, "DllGetVersion: %u.%u platform %u\n", version.dwMajorVersion,
            version.dwMinorVersion, version.dwPlatformID);
    return 1;
  }
  if (MDSP_Stop() != 1) return 1;
  return 0;
}
