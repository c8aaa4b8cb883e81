#include "process_control.h"

#include <QProcess>
#include <windows.h>

namespace {

// The system's own call to stop and go on with every thread of a process.
using ProcessCall = LONG(NTAPI *)(HANDLE);

bool callOn(QProcess &process, const char *name)
{
    const auto call =
        reinterpret_cast<ProcessCall>(reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
    const HANDLE h = OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, DWORD(process.processId()));
    if (!h)
        return false;
    const bool done = call && call(h) >= 0;
    CloseHandle(h);
    return done;
}

} // namespace

bool pauseProcess(QProcess &process)
{
    return callOn(process, "NtSuspendProcess");
}

void resumeProcess(QProcess &process)
{
    callOn(process, "NtResumeProcess");
}

bool permissionsBindNobody()
{
    // The read-only attribute binds an administrator too.
    return false;
}
