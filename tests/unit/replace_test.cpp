// replace_test.cpp - where something already lies at the output: an existing file is replaced
// only by a whole new one, links and special files are neither written nor read, no privilege
// bit survives a replace, a new file gets its mode at the end, the directory and the file asked
// about are the ones written, a replacement has no name until it is whole and keeps the old
// file's owner, a hard-linked file is written in place once the new content is whole; and the
// settings and lengths that must never take an old or a zero value.
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <utility>

#include "../fail_hook.h"
#include "test_support.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

namespace fs = std::filesystem;

enum class Operation { Extract, Create };

class Replace : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        mkdir(Native("out").c_str(), 0755);
        SetOutputPath(Win("out").c_str());
        Write("a.uue", ClassicUuencode("f.txt", "new contents"));
        Write("src.txt", "new contents");
    }
    // Writes out/f.txt: by extracting a.uue, or by encoding src.txt; `ask` registers an
    // OkToReplaceProc that says yes.
    void Run(Operation operation, bool ask = true) {
        if (operation == Operation::Extract) {
            InitArcFile(Win("a.uue").c_str());
        } else {
            CreateArcFile(Win("new.uue").c_str());
        }
        RegisterAll();
        if (!ask) SetOkToReplaceProc(0, nullptr);
        if (operation == Operation::Extract) {
            WithMasks(ExtractFileMaskListArc, {"*.*"});
        } else {
            CreateOnto(Win("out/f.txt"), {Win("src.txt")});
        }
    }
    // What out/f.txt holds after a run that wrote it whole.
    std::string Written(Operation operation) const {
        return operation == Operation::Extract ? "new contents" : "begin 644 src.txt";
    }
    std::vector<std::string> Names(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Native(folder))) names.push_back(entry.path().filename());
        return names;
    }
    mode_t Mode(const std::string& name) const {
        struct stat info = {};
        lstat(Native(name).c_str(), &info);
        return info.st_mode;
    }
};

const Operation kBoth[] = {Operation::Extract, Operation::Create};

// A replacement for one g_system entry that fails only the opens of the new file beside the old.
FileHandle (*g_real_open)(FileHandle, const char*, OpenHow, const FileInfo*) = nullptr;
FileHandle FailCreateLike(FileHandle folder, const char* path, OpenHow how, const FileInfo* like) {
    return how == OpenHow::CreateLike || how == OpenHow::CreateUnnamed ? kNoHandle : g_real_open(folder, path, how, like);
}

// Stand-ins for three g_system entries, set by Hooks: `find` (the replace question's look-up) runs
// g_on_find once after it, `open` refuses files without a name while g_no_unnamed is set and tells
// g_on_open of every open, `write` runs g_on_write first.
SystemCalls g_real;
std::function<void()> g_on_find;
std::function<void(FileHandle)> g_on_write;
std::function<void(const char*, OpenHow)> g_on_open;
bool g_no_unnamed = false;

struct Hooks {
    Hooks() {
        g_real = g_system;
        g_system.find = [](FileHandle folder, const char* path, FindData* record) {
            const bool found = g_real.find(folder, path, record);
            if (g_on_find) std::exchange(g_on_find, nullptr)();
            return found;
        };
        g_system.open = [](FileHandle folder, const char* path, OpenHow how, const FileInfo* like) {
            if (g_on_open) g_on_open(path, how);
            return g_no_unnamed && how == OpenHow::CreateUnnamed ? kNoHandle : g_real.open(folder, path, how, like);
        };
        g_system.write = [](FileHandle handle, const void* data, size_t count) {
            if (g_on_write) g_on_write(handle);
            return g_real.write(handle, data, count);
        };
    }
    ~Hooks() {
        g_system = g_real;
        g_on_find = nullptr;
        g_on_write = nullptr;
        g_on_open = nullptr;
        g_no_unnamed = false;
    }
};

TEST_F(Replace, OldFileStaysUntilTheNewOneIsWhole) {
    enum class Failure { None, Write, Rename, Create };
    const struct {
        Failure failure;
        uint16_t status;
    } cases[] = {
        {Failure::None, kStatusOk},
        {Failure::Write, kStatusWriteFailed},    // a full disk at the last flush
        {Failure::Rename, kStatusWriteFailed},   // the new file cannot take the name
        {Failure::Create, kStatusCannotOpen},    // no new file beside the old one
    };
    for (const Operation operation : kBoth) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "operation " << static_cast<int>(operation) << " failure "
                                            << static_cast<int>(c.failure));
            Write("out/f.txt", "the old contents");
            chmod(Native("out/f.txt").c_str(), 0640);
            {
                FailHook<&SystemCalls::write> write(c.failure == Failure::Write ? 1 : 1 << 30, FailMode::FromThenOn);
                FailHook<&SystemCalls::rename> rename(c.failure == Failure::Rename ? 1 : 1 << 30);
                g_real_open = g_system.open;
                if (c.failure == Failure::Create) g_system.open = FailCreateLike;
                Run(operation);
                g_system.open = g_real_open;
            }
            EXPECT_STATUS(c.status);
            EXPECT_EQ(Names("out"), std::vector<std::string>{"f.txt"}) << "a temporary file is left";
            if (c.failure == Failure::None) {
                EXPECT_NE(Read("out/f.txt").find(Written(operation)), std::string::npos);
                EXPECT_EQ(Mode("out/f.txt") & 07777, 0640u);
            } else {
                EXPECT_EQ(Read("out/f.txt"), "the old contents");
            }
        }
    }
}

TEST_F(Replace, PermissionsCarryOverWithoutPrivilegeBits) {
    const struct {
        mode_t before;
        bool ask;         // an OkToReplaceProc that says yes
        mode_t after;
    } cases[] = {
        {06755, true, 0755},   // setuid and setgid never survive
        {01644, false, 0644},  // nor sticky
        {0444, true, 0644},    // the yes makes it writable, as the reset to "archive" does
        {0640, false, 0640},
    };
    for (const Operation operation : kBoth) {
        for (const auto& c : cases) {
            Write("out/f.txt", "old");
            ASSERT_EQ(chmod(Native("out/f.txt").c_str(), c.before), 0);
            Run(operation, c.ask);
            EXPECT_STATUS(kStatusOk) << std::oct << c.before;
            EXPECT_EQ(Mode("out/f.txt") & 07777, c.after) << std::oct << c.before;
        }
    }
    // A new file gets the begin line's mode less the umask, set at the end: until then its owner
    // may write it, whatever the mode.
    const mode_t mask = umask(022);
    for (const mode_t mode : {0644, 0200, 044, 0}) {
        char begin[32];
        std::snprintf(begin, sizeof begin, "begin %o f.txt", mode);
        std::string archive = ClassicUuencode("f.txt", "new contents");
        archive.replace(archive.find("begin 644 f.txt"), 15, begin);
        Write("a.uue", archive);
        fs::remove(Native("out/f.txt"));
        mode_t while_written = 0;
        {
            Hooks hooks;
            g_on_write = [&](FileHandle handle) {
                FileInfo info;
                if (g_real.query_handle(handle, &info)) while_written = info.permissions;
            };
            Run(Operation::Extract);
        }
        EXPECT_STATUS(kStatusOk);
        EXPECT_EQ(while_written & 0600, 0600u) << std::oct << mode;
        EXPECT_EQ(Mode("out/f.txt") & 07777, mode & ~0022u) << std::oct << mode;
    }
    umask(mask);
}

// A link is asked about as a file is, so that a "no" (2926) keeps it as it keeps a file; a yes
// still never writes through it (5). Special files are refused before anyone is asked.
TEST_F(Replace, LinksAndSpecialFilesAtTheOutputAreLeftAlone) {
    Write("victim.txt", "precious");
    chmod(Native("victim.txt").c_str(), 0444);
    const struct {
        const char* what;
        bool asked;
        bool (*make)(const std::string& path, const std::string& victim);
    } cases[] = {
        {"link", true, [](const std::string& p, const std::string& v) { return symlink(v.c_str(), p.c_str()) == 0; }},
        {"dangling link", true, [](const std::string& p, const std::string& v) { return symlink((v + "-none").c_str(), p.c_str()) == 0; }},
        {"fifo", false, [](const std::string& p, const std::string&) { return mkfifo(p.c_str(), 0644) == 0; }},
        {"directory", false, [](const std::string& p, const std::string&) { return mkdir(p.c_str(), 0755) == 0; }},
        {"device", false, [](const std::string& p, const std::string&) { return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; }},
    };
    for (const Operation operation : kBoth) {
        for (const auto& c : cases) {
            fs::remove_all(Native("out/f.txt"));
            if (!c.make(Native("out/f.txt"), Native("victim.txt"))) {
                EXPECT_EQ(std::string(c.what), "device") << "cannot make a " << c.what;  // mknod needs root
                continue;
            }
            const mode_t before = Mode("out/f.txt");
            for (const int32_t answer : {0, 1}) {
                ClearCalls();
                g_replace_answer = answer;
                Run(operation);
                EXPECT_STATUS(answer == 0 || !c.asked ? kStatusCannotOpen : kStatusReplaceRefused) << c.what;
                EXPECT_EQ(CallsOf(CallKind::kReplace).size(), c.asked ? 1u : 0u) << c.what;
                EXPECT_EQ(Mode("out/f.txt"), before) << c.what;
                EXPECT_EQ(Names("out").size(), 1u) << c.what;
            }
        }
    }
    g_replace_answer = 0;
    EXPECT_EQ(Read("victim.txt"), "precious");
    EXPECT_EQ(Mode("victim.txt") & 07777, 0444u);
}

TEST_F(Replace, SpecialFilesAreNeverReadAsArchiveOrSource) {
    ASSERT_EQ(mkfifo(Native("fifo").c_str(), 0644), 0);
    for (const std::string& path : {Win("fifo"), std::string("\\dev\\zero")}) {
        InitArcFile(path.c_str());
        EXPECT_STATUS(kStatusCannotOpen) << path;
        CreateArcFile(Win("t.uue").c_str());
        WithMasks(CompressFileMaskListArc, {path});
        EXPECT_STATUS(kStatusCannotOpen) << path;
        EXPECT_FALSE(Exists("t.uue"));
    }
    // An archive swapped for a FIFO after it was opened.
    InitArcFile(Win("a.uue").c_str());
    ASSERT_STATUS(kStatusOk);
    std::remove(Native("a.uue").c_str());
    ASSERT_EQ(mkfifo(Native("a.uue").c_str(), 0644), 0);
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    EXPECT_STATUS(kStatusCannotOpen);
    EXPECT_TRUE(fs::is_empty(Native("out")));
}

TEST_F(Replace, NamesThatEndInASeparatorMakeNoDirectory) {
    Write("d.uue", ClassicUuencode("a/b/", "x"));
    KeepPaths(true);
    InitArcFile(Win("d.uue").c_str());
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    EXPECT_STATUS(kStatusCannotOpen);
    CreateArcFile((Win("newdir") + "\\").c_str());
    WithMasks(CompressFileMaskListArc, {Win("src.txt")});
    EXPECT_STATUS(kStatusCannotOpen);
    EXPECT_TRUE(fs::is_empty(Native("out")));
    EXPECT_FALSE(Exists("newdir"));
}

// ---- The directory asked about, files without a name, owners and hard links ----------------------

TEST_F(Replace, DirectoryAskedAboutIsTheOneWrittenIn) {
    const struct {
        Operation operation;
        const char* swapped;  // becomes a link to elsewhere/: at the question, or before the run
        bool at_question;
        const char* lands_in;  // nullptr: refused
    } cases[] = {
        {Operation::Extract, "out", true, "moved/f.txt"},  // the host's output folder
        {Operation::Create, "out", true, "moved/f.txt"},
        {Operation::Extract, "out/d", true, "out/moved/f.txt"},  // a directory of the stored name
        {Operation::Extract, "out/d", false, nullptr},
    };
    // At the question the file itself becomes a second name of another: the yes was not about
    // that one, which stays as it was.
    KeepPaths(false);
    for (const Operation operation : kBoth) {
        fs::remove_all(Native("out"));
        fs::create_directories(Native("out"));
        Write("out/f.txt", "old");
        Write("elsewhere.txt", "precious");
        Hooks hooks;
        g_on_find = [&] { fs::remove(Native("out/f.txt")); fs::create_hard_link(Native("elsewhere.txt"), Native("out/f.txt")); };
        Run(operation);
        EXPECT_STATUS(kStatusCannotOpen);
        EXPECT_EQ(Read("elsewhere.txt"), "precious");
    }
    Write("a.uue", ClassicUuencode("d/f.txt", "new contents"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.swapped + std::string(c.at_question ? " at the question" : " before the run"));
        const bool keep_paths = std::strcmp(c.swapped, "out/d") == 0;
        KeepPaths(keep_paths);
        fs::remove_all(Native("moved"));
        fs::remove_all(Native("out"));
        fs::create_directories(Native("out/d"));
        fs::create_directories(Native("elsewhere"));
        Write("elsewhere/f.txt", "precious");
        Write(keep_paths ? "out/d/f.txt" : "out/f.txt", "old");
        const auto swap = [&] {
            ASSERT_EQ(rename(Native(c.swapped).c_str(), Native(keep_paths ? "out/moved" : "moved").c_str()), 0);
            ASSERT_EQ(symlink(Native("elsewhere").c_str(), Native(c.swapped).c_str()), 0);
        };
        Hooks hooks;
        c.at_question ? void(g_on_find = swap) : swap();
        Run(c.operation);
        EXPECT_STATUS(c.lands_in != nullptr ? kStatusOk : kStatusCannotOpen);
        EXPECT_EQ(Names("elsewhere"), std::vector<std::string>{"f.txt"});
        EXPECT_EQ(Read("elsewhere/f.txt"), "precious");
        if (c.lands_in != nullptr) {
            EXPECT_NE(Read(c.lands_in).find(Written(c.operation)), std::string::npos);
        }
    }
}

// What a run killed while it writes would leave: with O_TMPFILE the old file alone, else one
// "~uu" file beside it. The new file's bits are never wider than the old one's (under a umask
// that takes some off at creation too), and as root it has the old owner.
TEST_F(Replace, ReplacementIsUnnamedUntilWholeNeverWiderAndKeepsTheOwner) {
    const int probe = open(Native("out").c_str(), O_WRONLY | O_TMPFILE, 0600);
    if (probe >= 0) close(probe);
    const struct passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    const mode_t mask = umask(077);
    for (const Operation operation : kBoth) {
        for (const bool unnamed : {probe >= 0, false}) {
            for (const mode_t old_mode : {0640, 0604}) {
                SCOPED_TRACE(testing::Message() << (unnamed ? "O_TMPFILE " : "named ") << std::oct << old_mode);
                Write("out/f.txt", "old");
                ASSERT_EQ(chmod(Native("out/f.txt").c_str(), old_mode), 0);
                if (nobody != nullptr) {
                    ASSERT_EQ(chown(Native("out/f.txt").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
                }
                std::vector<size_t> names_seen;
                mode_t widest = 0;
                {
                    Hooks hooks;
                    g_no_unnamed = !unnamed;
                    g_on_write = [&](FileHandle handle) {
                        names_seen.push_back(Names("out").size());
                        FileInfo info;
                        if (g_real.query_handle(handle, &info)) widest |= info.permissions;
                    };
                    Run(operation, false);
                }
                EXPECT_STATUS(kStatusOk);
                EXPECT_EQ(names_seen, std::vector<size_t>(names_seen.size(), unnamed ? 1 : 2));
                EXPECT_EQ(widest & ~old_mode, 0u);
                EXPECT_EQ(Mode("out/f.txt") & 07777, old_mode);
                EXPECT_EQ(Names("out"), std::vector<std::string>{"f.txt"});
                struct stat info = {};
                lstat(Native("out/f.txt").c_str(), &info);
                EXPECT_EQ(info.st_uid, nobody != nullptr ? nobody->pw_uid : geteuid());
            }
        }
    }
    umask(mask);
}

// A rename would leave the other name with the old bytes: the file itself is written, from a
// private file without a name (beside it, or in /var/tmp where its folder takes no new names)
// once that is whole, with the terminating signals held for the copy. A failure before the copy
// keeps the old file; one during the copy leaves it cut short.
TEST_F(Replace, HardLinkedFileIsWrittenInPlaceOnceTheNewContentIsWhole) {
    const struct {
        int failing_write;     // 1: the private file's, 2: the copy's
        bool folder_writable;
        uint16_t status;
        const char* left;      // nullptr: the new content
    } cases[] = {
        {0, true, kStatusOk, nullptr},
        {0, false, kStatusOk, nullptr},
        {1, true, kStatusWriteFailed, "the old contents"},
        {2, true, kStatusWriteFailed, ""},
    };
    for (const Operation operation : kBoth) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "failing write " << c.failing_write << ", folder writable "
                                            << c.folder_writable);
            fs::remove_all(Native("out"));
            fs::create_directory(Native("out"));
            Write("out/f.txt", "the old contents");
            fs::create_hard_link(Native("out/f.txt"), Native("out/other"));
            std::vector<bool> held;  // SIGTERM blocked, at each write
            std::string private_file;
            {
                Hooks hooks;
                if (!c.folder_writable) g_system.folder_writable = [](FileHandle) { return false; };
                g_on_open = [&](const char* path, OpenHow how) { if (how == OpenHow::CreatePrivate) private_file = path; };
                g_on_write = [&](FileHandle) {
                    sigset_t now;
                    pthread_sigmask(SIG_BLOCK, nullptr, &now);
                    held.push_back(sigismember(&now, SIGTERM) == 1);
                };
                FailHook<&SystemCalls::write> write(c.failing_write > 0 ? c.failing_write : 1 << 30, FailMode::FromThenOn);
                Run(operation);
            }
            EXPECT_STATUS(c.status);
            EXPECT_EQ(private_file.rfind(c.folder_writable ? Native("out/~uu") : "/var/tmp/~uu", 0), 0u) << private_file;
            // A write that fails never reaches the recorder.
            const std::vector<bool> writes = {false, true};
            EXPECT_EQ(held, std::vector<bool>(writes.begin(), writes.begin() + (c.failing_write > 0 ? c.failing_write - 1 : 2)));
            EXPECT_EQ(Names("out").size(), 2u);
            EXPECT_EQ(fs::hard_link_count(Native("out/f.txt")), 2u);
            EXPECT_EQ(Read("out/other"), Read("out/f.txt"));
            if (c.left != nullptr) {
                EXPECT_EQ(Read("out/f.txt"), c.left);
            } else {
                EXPECT_NE(Read("out/f.txt").find(Written(operation)), std::string::npos);
            }
        }
    }
    sigset_t now;
    pthread_sigmask(SIG_BLOCK, nullptr, &now);
    EXPECT_FALSE(sigismember(&now, SIGTERM));
}

// /proc files and growing files: the length read at the start is 0 or less than what follows.
int64_t g_fake_length = 0;
int64_t FakeLength(FileHandle) { return g_fake_length; }

TEST_F(Replace, LengthThatReadsAsZeroOrShortKeepsPercentagesInRange) {
    const std::string payload = RandomBytes(5000, 3);
    Write("big.bin", payload);
    Write("big.uue", ClassicUuencode("big.bin", payload));
    for (const int64_t length : {0, 10}) {
        g_fake_length = length;
        int64_t (*real)(FileHandle) = g_system.length;
        g_system.length = FakeLength;
        ClearCalls();
        InitArcFile(Win("big.uue").c_str());
        RegisterAll();
        WithMasks(ExtractFileMaskListArc, {"*.*"});
        EXPECT_STATUS(kStatusOk);
        CreateArcFile(Win("again" + std::to_string(length) + ".uue").c_str());
        RegisterAll();
        WithMasks(CompressFileMaskListArc, {Win("big.bin")});
        EXPECT_STATUS(kStatusOk);
        g_system.length = real;
        EXPECT_EQ(Read("out/big.bin"), payload);
        fs::remove(Native("out/big.bin"));
        EXPECT_FALSE(ProgressCalls().empty());
        for (const auto& [percent, bytes] : ProgressCalls()) {
            EXPECT_TRUE(percent >= 0 && percent <= 100) << percent << "% after " << bytes << " bytes";
        }
    }
    // The real thing: a /proc file, whose length reads as 0.
    CreateArcFile(Win("status.uue").c_str());
    RegisterAll();
    WithMasks(CompressFileMaskListArc, {"\\proc\\self\\status"});
    EXPECT_STATUS(kStatusOk);
    EXPECT_NE(Read("status.uue").find("begin 644 status"), std::string::npos);
}

// ---- Settings that were refused, and the long ones that fit --------------------------------------

TEST_F(Replace, RefusedSettingsAreNotReplacedByOlderOnes) {
    CompExtraFeatures comp = {};
    std::memset(comp.source_prefix, 'p', 256);
    SetCompExtraFeatures(&comp);
    Run(Operation::Create);
    EXPECT_STATUS(kStatusCannotOpen);
    arOptionsOn(0x0010);  // a prefix that is not used is not needed
    Run(Operation::Create);
    EXPECT_STATUS(kStatusOk);

    DecompExtraFeatures decomp = {};
    std::memset(decomp.base_path, 'b', 256);
    SetDecompExtraFeatures(&decomp);
    fs::remove(Native("out/f.txt"));
    Run(Operation::Extract);
    EXPECT_STATUS(kStatusCannotOpen);
    EXPECT_FALSE(Exists("out/f.txt"));
    std::memset(decomp.base_path, 0, sizeof decomp.base_path);
    decomp.base_path[0] = 'b';
    SetDecompExtraFeatures(&decomp);
    Run(Operation::Extract);
    EXPECT_STATUS(kStatusOk);
}

TEST_F(Replace, UserWordsClearedAlsoForPathsThatAreRefused) {
    const std::string too_long(256, 'x');
    for (void(UUARC_CALL * open)(const char*) : {InitArcFile, CreateArcFile}) {
        SetSetProgressProc(7, RecordProgress);
        open(too_long.c_str());
        EXPECT_STATUS(kStatusCannotOpen);
        EXPECT_EQ(MakeJob().callbacks->progress_user, 0u);
    }
}

TEST_F(Replace, OutputDirectoryOfOne255ByteNameIsMade) {
    // Relative to the test's folder, so that the whole output path is 255 bytes.
    const fs::path before = fs::current_path();
    fs::current_path(Native(""));
    const std::string folder(255, 'd');
    SetOutputPath(folder.c_str());
    Write("a.uue", ClassicUuencode("abc", "abc"));
    InitArcFile("a.uue");
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    EXPECT_STATUS(kStatusOk);
    EXPECT_EQ(Read(folder + "/abc"), "abc");
    fs::current_path(before);
}

}  // namespace
}  // namespace uuarc::test
