#include "process_control.h"

#include <QProcess>
#include <csignal>
#include <unistd.h>

bool pauseProcess(QProcess &process)
{
    return ::kill(pid_t(process.processId()), SIGSTOP) == 0;
}

void resumeProcess(QProcess &process)
{
    ::kill(pid_t(process.processId()), SIGCONT);
}

bool permissionsBindNobody()
{
    return ::geteuid() == 0;
}
