/* The control of tests/e2e/planted_libraries.sh: loads each library named on
 * its command line by its bare name, as a program that does not guard its
 * search would, and asks it for the file version of shell32.dll where it can. */
#include <windows.h>
#include <stdio.h>

typedef DWORD(WINAPI* SizeFn)(LPCSTR, LPDWORD);

int main(int argc, char** argv) {
  int i;
  for (i = 1; i < argc; ++i) {
    HMODULE module = LoadLibraryA(argv[i]);
    SizeFn size = NULL;
    DWORD ignored = 0;
    if (module) size = (SizeFn)(void (*)(void))GetProcAddress(module, "GetFileVersionInfoSizeA");
    if (size) size("C:\\windows\\system32\\shell32.dll", &ignored);
    printf("%s: %s\n", argv[i], module ? "loaded" : "not loaded");
  }
  return 0;
}
