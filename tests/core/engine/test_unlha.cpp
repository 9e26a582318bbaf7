// A stand-in for the LHA archiver library: it records what it was called with and
// returns the result the test asks for.

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
std::string g_lastCommand;
unsigned long g_lastSize = 0;
int g_calls = 0;
int g_result = 0;
} // namespace

extern "C" {

__attribute__((visibility("default"))) int Unlha(void* window, const char* command, char* output,
                                                 unsigned long size)
{
    ++g_calls;
    g_lastCommand = command != nullptr ? command : "";
    g_lastSize = size;
    if (window != nullptr)
        return 1000;
    // The whole buffer must be writable.
    if (output != nullptr && size > 0) {
        std::memset(output, 'x', size - 1);
        output[size - 1] = '\0';
    }
    return g_result;
}

__attribute__((visibility("default"))) void TestUnlhaSetResult(int result)
{
    g_result = result;
}

__attribute__((visibility("default"))) const char* TestUnlhaLastCommand()
{
    return g_lastCommand.c_str();
}

__attribute__((visibility("default"))) unsigned long TestUnlhaLastSize()
{
    return g_lastSize;
}

__attribute__((visibility("default"))) int TestUnlhaCalls()
{
    return g_calls;
}
}
