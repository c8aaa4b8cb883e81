// The system's side of platform.h on Windows. Every name goes to the system
// as UTF-16 (the W functions), so a path holds any character whatever the
// system's ANSI code page; names the system keeps for devices are refused
// before anything is opened.
#include "store/platform.h"

#include "store/windows_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringView>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <sddl.h>

namespace platform {

namespace {

constexpr UINT kGbk = 936;

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemText(DWORD code)
{
    return qt_error_string(int(code));
}

bool isMissingError(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
        return true;
    default:
        return false;
    }
}

Kind kindOfError(DWORD code, QString *why)
{
    if (isMissingError(code))
        return Kind::Missing;
    if (why)
        *why = systemText(code);
    return Kind::Unknown;
}

Kind kindOfAttributes(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, qint64 *size)
{
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Kind::Directory;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return Kind::Other;
    if (size)
        *size = qint64((quint64(sizeHigh) << 32) | sizeLow);
    return Kind::Regular;
}

// What an open handle leads to: only a file on a disk is a regular file or a
// directory; a pipe, console or printer is something else.
Kind kindOfHandle(HANDLE h, qint64 *size, QString *why)
{
    if (GetFileType(h) != FILE_TYPE_DISK)
        return Kind::Other;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return kindOfError(GetLastError(), why);
    return kindOfAttributes(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, size);
}

// Opens path to look at it (query access, no data), following links.
HANDLE openToLook(const QString &path)
{
    return CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The directory a path is in, or the path itself when it is one: the
// volume functions take directories.
QString directoryOf(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

// The attributes of what stands at path, a link not followed, without opening
// it; false with kind set when the name alone, or the system's refusal,
// already answers.
bool attributesAt(const QString &path, WIN32_FILE_ATTRIBUTE_DATA &data, Kind &kind, QString *error)
{
    if (path.isEmpty()) {
        kind = Kind::Missing;
        return false;
    }
    if (windowsnames::isDevicePath(path)) {
        kind = Kind::Other;
        return false;
    }
    if (!GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data)) {
        kind = kindOfError(GetLastError(), error);
        return false;
    }
    return true;
}

} // namespace

QString fileNameProblem(const QString &name)
{
    return windowsnames::fileNameProblem(name);
}

Kind kindOf(const QString &path, qint64 *size, QString *error)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    Kind kind = Kind::Unknown;
    if (!attributesAt(path, data, kind, error))
        return kind;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return kindOfAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, size);
    // A link: what it leads to counts.
    const HANDLE h = openToLook(path);
    if (h == INVALID_HANDLE_VALUE)
        return kindOfError(GetLastError(), error);
    kind = kindOfHandle(h, size, error);
    CloseHandle(h);
    return kind;
}

bool openRegularForReading(const QString &path, QFile &file, Kind *kind, qint64 *size, QString *error)
{
    *kind = kindOf(path, size, error);
    if (*kind != Kind::Regular)
        return false;
    // Others may go on writing, renaming or deleting the file while it is
    // read, as they may on other systems.
    const HANDLE h =
        CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *kind = kindOfError(GetLastError(), error);
        return false;
    }
    *kind = kindOfHandle(h, size, error);
    if (*kind != Kind::Regular) {
        CloseHandle(h);
        return false;
    }
    const int fd = _open_osfhandle(intptr_t(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        *kind = Kind::Unknown;
        if (error)
            *error = systemText(ERROR_TOO_MANY_OPEN_FILES);
        return false;
    }
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        *kind = Kind::Unknown;
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString directoryProblem(const QString &directory, bool *missing)
{
    if (missing)
        *missing = false;
    const QString dir = directory.isEmpty() ? QDir::currentPath() : directory;
    if (windowsnames::isDevicePath(dir))
        return QStringLiteral("不是目录");
    const DWORD attributes = GetFileAttributesW(wide(dir).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (missing)
            *missing = isMissingError(code);
        return systemText(code);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return QStringLiteral("不是目录");
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileExW(wide(dir + QStringLiteral("/*")).c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // An empty root directory has not even "." to find.
        return code == ERROR_FILE_NOT_FOUND ? QString() : systemText(code);
    }
    FindClose(h);
    return {};
}

qint64 freeBytes(const QString &path)
{
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(wide(directoryOf(path)).c_str(), &available, nullptr, nullptr))
        return -1;
    return qint64(available.QuadPart);
}

bool isReadOnlyVolume(const QString &path)
{
    wchar_t volume[MAX_PATH + 1];
    DWORD flags = 0;
    return GetVolumePathNameW(wide(directoryOf(path)).c_str(), volume, MAX_PATH + 1) &&
           GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_READ_ONLY_VOLUME);
}

bool replaceFile(const QString &from, const QString &to, QString *error)
{
    // Replaces the name itself (a link of that name is replaced, not
    // followed) and returns only once the change is on the disk.
    if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (error)
            *error = systemText(GetLastError());
        return false;
    }
    return true;
}

bool syncData(QFileDevice &file)
{
    if (!file.isOpen())
        return false;
    const auto h = HANDLE(_get_osfhandle(file.handle()));
    if (h != INVALID_HANDLE_VALUE && FlushFileBuffers(h))
        return true;
    // The system flushes only through a handle that may write; what was
    // written through any handle of the file goes with it.
    const HANDLE writer = CreateFileW(wide(file.fileName()).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer == INVALID_HANDLE_VALUE)
        return false;
    const bool flushed = FlushFileBuffers(writer);
    CloseHandle(writer);
    return flushed;
}

QString userKey()
{
    // The user's security identifier, and the session: two sessions of one
    // user (a second desktop, a remote one) run programs of their own.
    QString user = QStringLiteral("user");
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        DWORD length = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &length);
        QByteArray buffer(int(length), '\0');
        wchar_t *sid = nullptr;
        if (length && GetTokenInformation(token, TokenUser, buffer.data(), length, &length) &&
            ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &sid)) {
            user = QString::fromWCharArray(sid);
            LocalFree(sid);
        }
        CloseHandle(token);
    }
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return user + QStringLiteral("-s") + QString::number(session);
}

QList<QByteArray> unreachableFileNames(const QString &)
{
    // Windows keeps every name as UTF-16: each one reaches its file.
    return {};
}

Kind kindOfEntry(const QString &path, bool, qint64 *size)
{
    // The user's own folders are closed to other users by their access
    // lists; what counts is what stands at the name, a link not followed.
    WIN32_FILE_ATTRIBUTE_DATA data;
    Kind kind = Kind::Unknown;
    if (!attributesAt(path, data, kind, nullptr))
        return kind;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Kind::Other;
    return kindOfAttributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, size);
}

bool removeEntry(const QString &path, QString *error)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return isMissingError(GetLastError());
    // A link to a directory goes as a directory; what it leads to stays.
    const bool gone = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(wide(path).c_str())
                                                              : DeleteFileW(wide(path).c_str());
    if (!gone && error)
        *error = systemText(GetLastError());
    return gone;
}

QString privateDirectory()
{
    // The user's local application data: its access list keeps other users
    // out, and nobody else can make a name in it first.
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!QDir::isAbsolutePath(local))
        return {};
    const QString dir = QDir::cleanPath(QDir::fromNativeSeparators(local) + QStringLiteral("/yanzhou-run"));
    return QDir().mkpath(dir) ? dir : QString();
}

QString serverNameFor(const QString &key)
{
    // A name in the system's pipe space; the server lets only this user in.
    return key;
}

bool clearServerName(const QString &)
{
    // A pipe goes with the last handle to it: a program that ended leaves
    // nothing behind.
    return true;
}

Lock lockFile(const QString &path, qintptr *handle, QString *error)
{
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return Lock::Failed;
    };
    // Another start may be making, locking or removing the same file at the
    // same time: each turn begins again from what stands there now.
    DWORD code = ERROR_ACCESS_DENIED;
    for (int turn = 0; turn < 8; ++turn) {
        const Kind there = kindOfEntry(path);
        QString why;
        if ((there == Kind::Other || there == Kind::Directory) && !removeEntry(path, &why))
            return failed(why);
        // Read access is enough to lock, so a file left read-only locks as
        // well; shared for deleting, so that the holder can remove the file
        // as it lets go. The system lets go of the lock of a process that
        // ended.
        const HANDLE h =
            CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            code = GetLastError();
            // A file its holder is removing as it lets go refuses to open
            // until the holder's handle is closed.
            if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) {
                Sleep(5);
                continue;
            }
            return failed(systemText(code));
        }
        OVERLAPPED at = {};
        if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            code = GetLastError();
            CloseHandle(h);
            if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING)
                return Lock::Held;
            return failed(systemText(code));
        }
        // The holder before may have removed the file as it let go: a lock
        // on a file on its way out locks nothing.
        FILE_STANDARD_INFO standing = {};
        if (GetFileInformationByHandleEx(h, FileStandardInfo, &standing, sizeof standing) && standing.DeletePending) {
            CloseHandle(h);
            Sleep(5);
            continue;
        }
        *handle = qintptr(h);
        return Lock::Taken;
    }
    return failed(systemText(code));
}

void unlockFile(qintptr handle, const QString &path)
{
    // Removed while still locked, so that nobody locks the file after it has
    // lost its name.
    DeleteFileW(wide(path).c_str());
    const auto h = HANDLE(handle);
    OVERLAPPED at = {};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
}

QString gbkToText(QByteArrayView bytes)
{
    QString text;
    if (bytes.isEmpty())
        return text;
    // Whole characters only: every one has a character in code page 936, so
    // the system is asked once for the lot.
    text.resize(bytes.size());
    const int n = MultiByteToWideChar(kGbk, 0, bytes.data(), int(bytes.size()),
                                      reinterpret_cast<wchar_t *>(text.data()), int(text.size()));
    text.resize(std::max(n, 0));
    return text;
}

QByteArray textToGbk(QStringView text)
{
    QByteArray bytes;
    if (text.isEmpty())
        return bytes;
    // Nothing but what code page 936 holds as such: no nearest look-alike
    // ("a" for "ä"), a "?" instead.
    bytes.resize(text.size() * 2);
    const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t *>(text.data()),
                                      int(text.size()), bytes.data(), int(bytes.size()), "?", nullptr);
    bytes.resize(std::max(n, 0));
    return bytes;
}

int endProgram(int code)
{
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), UINT(code));
    return code;
}

} // namespace platform
