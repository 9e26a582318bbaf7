#include <cstdio>

#include "version.h"

int main()
{
    std::printf("Version %s\n", kTovixVersion);
    return 0;
}
