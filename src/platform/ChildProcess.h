#pragma once

#include <chrono>

/**
 * How long the program waits for any child process it starts (the scheduler tool, systemctl)
 * before it gives up on it: long enough for a busy user manager, short enough that a hung child
 * never holds the panel for good.
 */
inline constexpr std::chrono::milliseconds ChildProcessTimeout{120'000};
