// A shared library without DllGetClassObject.
extern "C" __attribute__((visibility("default"))) int NbTestNothingHere() {
  return 1;
}
