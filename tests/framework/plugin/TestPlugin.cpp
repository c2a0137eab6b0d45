// Exported functions for the dynamic library tests to look up and call.

extern "C" int QorTestPluginAdd(int a, int b) {
    return a + b;
}
