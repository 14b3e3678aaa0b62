/* A library that exists only in the test runner's folder. */
__declspec(dllexport) int QuindleProbe(void) {
  return 42;
}
