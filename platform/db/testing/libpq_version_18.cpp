// Preloaded into a test (LD_PRELOAD), makes the installed libpq report version 18.1: the
// version whose cancel object the system does not read, which it must cancel through libpq.
extern "C" int PQlibVersion() { return 180100; }
