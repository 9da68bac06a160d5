// Fontconfig, loaded by Qt, keeps its caches until exit; the leak checker should not count
// them against these tests. Only that library is excused: leaks of our own code still fail.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
