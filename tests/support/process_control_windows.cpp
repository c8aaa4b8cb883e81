#include "process_control.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
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
    // The read-only attribute binds an administrator too, but Wine run by
    // root keeps it as permission bits that do not bind root: ask the file.
    QTemporaryFile probe;
    if (!probe.open())
        return false;
    probe.close();
    QFile::setPermissions(probe.fileName(), QFileDevice::ReadOwner);
    QFile writer(probe.fileName());
    const bool bound = !writer.open(QIODevice::WriteOnly | QIODevice::Append);
    writer.close();
    QFile::setPermissions(probe.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return !bound;
}
