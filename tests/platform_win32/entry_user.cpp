// A library without a module entry that links one with an entry (entry_module.cpp).
extern "C" int NbTestEntryValue();

extern "C" __attribute__((visibility("default"))) int NbTestEntryUser() {
  return NbTestEntryValue() + 1;
}
