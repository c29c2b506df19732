#pragma once

/**
 * True when an element of the argument list, element 0 included, is exactly "--headless".
 * Works on the raw argv so that it can run before any application object exists.
 */
bool isHeadlessLaunch(int argc, const char *const *argv);
