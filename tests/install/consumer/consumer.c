/* An outside program built against the installed library. It only asks for
 * the version and counts interfaces: nothing is sent. */
#include <mdsp.h>
#include <stdio.h>

int main(void) {
  DLLVERSIONINFO info = {sizeof info, 0, 0, 0, 0};
  if (DllGetVersion(&info) != 0) return 1;
  int32_t nics = -1;
  int32_t result = MDSP_GetNumberOfNics(&nics);
  printf("mdsp %u.%u nics %d result %d\n", (unsigned)info.dwMajorVersion,
         (unsigned)info.dwMinorVersion, (int)nics, (int)result);
  /* A host without usable interfaces is an answer too (result not 0). */
  return info.dwMajorVersion == 3 && info.dwMinorVersion == 1 && (result != 0 || nics >= 0) ? 0 : 2;
}
