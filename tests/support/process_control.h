// Holding another program where it stands, as a debugger does, to see what a
// program that runs but does not answer does to a second start; and what the
// system the tests run on lets them see.
#pragma once

class QProcess;

// Stops every thread of process; false where the system cannot.
bool pauseProcess(QProcess &process);
// Lets a paused process go on.
void resumeProcess(QProcess &process);
// True when the tests run under Wine rather than on the system itself.
bool runsUnderWine();
// File permissions do not bind the user the tests run as (root).
bool permissionsBindNobody();
