// A stand-in for the LHA archiver library: records what it was called with and returns
// the result the test asks for.

#include <cstring>
#include <string>

namespace {
std::string g_lastCall;
int g_result = 0;
} // namespace

extern "C" {

__attribute__((visibility("default"))) int Unlha(void* window, const char* command, char* output,
                                                 unsigned long size)
{
    // The whole buffer must be writable; the program has no window to give.
    std::memset(output, 'x', size);
    g_lastCall = std::string(command) + "|" + std::to_string(size) + (window ? "|window" : "");
    return g_result;
}

__attribute__((visibility("default"))) void TestUnlhaSetResult(int result)
{
    g_result = result;
}

// "" before the first call.
__attribute__((visibility("default"))) const char* TestUnlhaLastCall()
{
    return g_lastCall.c_str();
}
}
