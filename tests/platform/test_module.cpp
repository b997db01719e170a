// A module for the loader tests: one plain and one decorated export.

extern "C" __attribute__((visibility("default"))) int plain_value() { return 41; }

extern "C" __attribute__((visibility("default"))) int decorated_value(int x) __asm__("_fv_Test$4");
int decorated_value(int x) { return x + 1; }
