// A shared library without DllGetClassObject, with an export reached by ordinal.
extern "C" __attribute__((visibility("default"))) int NbTestNothingHere() {
  return 1;
}
// Stands for an export reached by ordinal 15 (GetProcAddress(module, MAKEINTRESOURCEA(15))).
extern "C" __attribute__((visibility("default"))) int Ordinal15() {
  return 15;
}
