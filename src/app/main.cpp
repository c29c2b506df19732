#include "app/CommandLine.h"
#include "app/HeadlessRun.h"
#include "app/InteractiveRun.h"

int main(int argc, char **argv)
{
    // Decided before any application object exists, so a headless run never touches a display;
    // so are the other options, which need no display either.
    const LaunchRequest request = parseLaunchArguments(argumentList(argc, argv));
    if (request.action == LaunchAction::Headless)
        return runHeadless(argc, argv);
    if (request.action == LaunchAction::Interactive)
        return runInteractive(argc, argv);
    return runCommandLineAction(request, argc, argv);
}
