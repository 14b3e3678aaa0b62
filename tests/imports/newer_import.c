/* A console program that imports a Vista function, GetTickCount64, directly
 * instead of binding it at run time: the proof that scripts/check-imports
 * fails. `scripts/check-imports --self-test BUILD-FOLDER` runs the check on
 * this program and succeeds only when the check refuses it. Never shipped,
 * never run. */
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#endif
#include <stdio.h>
#include <windows.h>

int main(void) {
  printf("%llu\n", (unsigned long long)GetTickCount64());
  return 0;
}
