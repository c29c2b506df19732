#include "LaunchMode.h"

#include <cstring>

bool isHeadlessLaunch(int argc, const char *const *argv)
{
    for (int i = 0; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "--headless") == 0)
            return true;
    }
    return false;
}
