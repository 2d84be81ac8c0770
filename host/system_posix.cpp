// system_posix.cpp - the POSIX back end of system.h.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/system.h"

namespace uuarc_host {

PathInfo QueryPath(const std::string& path) {
    PathInfo info;
    struct stat link_status;
    if (lstat(path.c_str(), &link_status) != 0) return info;
    info.exists = true;
    info.is_link = S_ISLNK(link_status.st_mode);
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
        info.is_directory = S_ISDIR(status.st_mode);
        info.is_regular = S_ISREG(status.st_mode);
        info.is_device = S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode);
        info.size = static_cast<int64_t>(status.st_size);
        info.modified = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    }
    return info;
}

bool IsStandardInput(const std::string& path) {
    struct stat named, input;
    if (stat(path.c_str(), &named) != 0 || fstat(STDIN_FILENO, &input) != 0) return false;
    return named.st_dev == input.st_dev && named.st_ino == input.st_ino;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat status_a, status_b;
    if (stat(a.c_str(), &status_a) != 0 || stat(b.c_str(), &status_b) != 0) return false;
    return status_a.st_dev == status_b.st_dev && status_a.st_ino == status_b.st_ino;
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) == nullptr) return path;
    return std::string(buffer) + "/" + path;
}

// O_PATH needs no right to read the folder, only to reach it, as a path through it does.
bool HoldFolder(const std::string& folder, HeldFolder& held) {
    const int fd = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    // Only where /proc shows this process's descriptors does the name reach the folder.
    struct stat opened, named;
    if (fstat(fd, &opened) != 0 || stat(name.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        close(fd);
        return false;
    }
    held.handle = fd;
    held.name = name;
    return true;
}

void ReleaseFolder(const HeldFolder& held) {
    if (held.handle >= 0) close(static_cast<int>(held.handle));
}

namespace {

FileIdentity IdentityOf(const struct stat& status) {
    return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
}

bool Is(const struct stat& status, const FileIdentity& identity) {
    const FileIdentity seen = IdentityOf(status);
    return seen.device == identity.device && seen.file == identity.file;
}

}  // namespace

bool IdentifyOwnFile(const std::string& path, bool must_be_empty, FileIdentity& identity) {
    static const uid_t user = geteuid();  // a run's user is asked once
    struct stat status;
    if (lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_nlink != 1 ||
        status.st_uid != user || (must_be_empty && status.st_size != 0)) {
        return false;
    }
    identity = IdentityOf(status);
    return true;
}

std::string SystemErrorText() { return std::strerror(errno); }

namespace {

// Why what is at `path` (`status`) is no file to read or write, or else why `access` refuses it
// `how`; empty when neither.
std::string WhyNotAFile(const std::string& path, const struct stat& status, int how) {
    if (S_ISLNK(status.st_mode)) return "it is a symbolic link, which is never written through";
    if (S_ISDIR(status.st_mode)) return "it is a directory";
    if (S_ISFIFO(status.st_mode)) return "it is a FIFO, not a regular file";
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) return "it is a device, not a regular file";
    if (!S_ISREG(status.st_mode)) return "it is not a regular file";
    return access(path.c_str(), how) != 0 ? SystemErrorText() : "";
}

}  // namespace

std::string WhyUnreadable(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) != 0 ? SystemErrorText() : WhyNotAFile(path, status, R_OK);
}

std::string WhyUncreatable(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) == 0) return WhyNotAFile(path, status, W_OK);
    // The nearest folder that exists must be one, and writable: the rest would be made.
    std::string folder = path;
    for (;;) {
        size_t slash = folder.find_last_of('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
        if (lstat(folder.c_str(), &status) == 0) break;
        if (errno != ENOENT || folder == "." || folder == "/") return SystemErrorText();
    }
    if (stat(folder.c_str(), &status) != 0) return SystemErrorText();
    if (!S_ISDIR(status.st_mode)) return std::strerror(ENOTDIR);
    return access(folder.c_str(), W_OK | X_OK) != 0 ? SystemErrorText() : "";
}

bool MakePrivateFolder(std::string& path, std::string& error) {
    const char* root = std::getenv("TMPDIR");
    std::string pattern = std::string(root != nullptr && *root != '\0' ? root : "/tmp");
    if (pattern.back() != '/') pattern += '/';
    pattern += "uuarc.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        error = pattern.substr(0, pattern.size() - 12) + ": " + SystemErrorText();
        return false;
    }
    path = pattern;
    return true;
}

std::FILE* CreatePrivateFile(const std::string& path) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) close(fd);
    return file;
}

bool MakeAlias(const std::string& target, const std::string& alias) {
    return symlink(target.c_str(), alias.c_str()) == 0;
}

void* OpenLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "dlopen failed";
    }
    return handle;
}

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

// /proc/self/exe names the file itself, so a symbolic link to an installed binary still finds
// the module beside the binary it points to.
std::string ExecutablePath() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length <= 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}

void OpenClosedStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is this one: those below it are open by now.
        const int opened = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (opened >= 0 && opened != fd) close(opened);
    }
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

bool SameTerminal(std::FILE* a, std::FILE* b) {
    struct stat first, second;
    if (!IsTerminal(a) || !IsTerminal(b) || fstat(fileno(a), &first) != 0 || fstat(fileno(b), &second) != 0) {
        return false;
    }
    return first.st_rdev == second.st_rdev;
}

int TerminalColumns(std::FILE* stream) {
    struct winsize size;
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

void SetBinaryMode(std::FILE*) {}

void RemoveFileNow(const char* path) { unlink(path); }

void RemoveOwnFileNow(const char* path, const FileIdentity& identity) {
    struct stat status;
    if (lstat(path, &status) != 0 || !Is(status, identity)) return;
    unlink(path);
}

void RemoveFolderNow(const char* path) { rmdir(path); }

void WriteErrorNow(const char* text, size_t length) {
    while (length > 0) {
        ssize_t wrote = write(STDERR_FILENO, text, length);
        if (wrote <= 0) return;
        text += wrote;
        length -= static_cast<size_t>(wrote);
    }
}

void ExitNow(int code) { _exit(code); }

namespace {

// Every signal that ends the run by default and can be caught, but for the program's own faults
// (SIGSEGV and the like, where nothing is safe any more), and the real-time signals, whose
// numbers are known only at run time. SIGXFSZ is not among them: it is ignored, so that a write
// over the file-size limit fails and is reported as one.
constexpr int kInterrupts[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGPIPE, SIGQUIT, SIGXCPU,  SIGUSR1,
                               SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,   SIGSTKFLT};
int g_hold_depth = 0;

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal_number : kInterrupts) sigaddset(&set, signal_number);
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number) sigaddset(&set, signal_number);
    return set;
}

}  // namespace

void InstallInterruptHandler(void (*handler)(int signal)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    // One interrupt at a time: the handler ends the process, a second one must wait for it.
    action.sa_mask = InterruptSet();
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction previous;
        // A signal ignored by whoever started us (nohup, a background job) stays ignored.
        if (!sigismember(&action.sa_mask, signal_number) || sigaction(signal_number, nullptr, &previous) != 0 ||
            previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal_number, &action, nullptr);
    }
    signal(SIGXFSZ, SIG_IGN);
}

// Holds nest: only the outermost pair blocks and unblocks.
void HoldInterrupts() {
    if (g_hold_depth++ > 0) return;
    sigset_t set = InterruptSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

void ReleaseInterrupts() {
    if (g_hold_depth == 0 || --g_hold_depth > 0) return;
    sigset_t set = InterruptSet();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace uuarc_host
