// Holding another program where it stands, as a debugger does, to see what a
// program that runs but does not answer does to a second start.
#pragma once

class QProcess;

// Stops every thread of process; false where the system cannot.
bool pauseProcess(QProcess &process);
// Lets a paused process go on.
void resumeProcess(QProcess &process);
// File permissions do not bind the user the tests run as (root).
bool permissionsBindNobody();
