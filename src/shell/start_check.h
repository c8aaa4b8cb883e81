// A check that the program starts, for packagers and for the package tests:
// with YANZHOU_QUIT_WHEN_SHOWN set, the program says which window it showed
// first and ends at once, without waiting for a user.
#pragma once

class QObject;

// Does nothing unless YANZHOU_QUIT_WHEN_SHOWN is set in the environment.
// Otherwise the first window shown is named on standard output
// ("shown: <objectName> <title>") and the program then quits with status 0.
void quitWhenShownIfAsked(QObject *app);
