// The replay tool's sanitizer hook: the umockdev test bed's worker thread and its teardown
// synchronise inside GLib, which the sanitizer does not see; no lock of ours is involved.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:libglib-2.0.so\nrace:libumockdev.so\n";
}
