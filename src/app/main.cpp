#include "app/HeadlessRun.h"
#include "app/InteractiveRun.h"
#include "app/LaunchMode.h"

int main(int argc, char **argv)
{
    // Decided before any application object exists, so a headless run never touches a display.
    if (isHeadlessLaunch(argc, argv))
        return runHeadless(argc, argv);
    return runInteractive(argc, argv);
}
