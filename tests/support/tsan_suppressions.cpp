// Linked into every test program. The JPEG codec's first use starts the image library's raster
// plug-in, which takes two of its own mutexes in both orders inside one thread; that is no lock
// of ours. The HTTP library formats the Date header of its own replies (a request that ran out of
// time) with gmtime, whose one buffer two of its threads may then share; that is no data of ours
// either. The sanitizer looks the hook up among the program's exported names.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "deadlock:libgdal.so\n"
         "race:gmtime\n";
}
