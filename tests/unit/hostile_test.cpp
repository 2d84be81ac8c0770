// hostile_test.cpp - archives, names, paths and masks made to break the module: huge lines, endless
// table blocks, NUL bytes, garbage, names and paths at and past the limits, deep directories, and
// a fixed-seed run of damaged good files. Each must end with a clear status, bounded memory and
// nothing written outside the output folder.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <utility>

#include "format/alphabet.h"
#include "names/masks.h"
#include "platform/platform.h"
#include "test_support.h"
#include "tests/memory_files.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

namespace fs = std::filesystem;

const std::string kAbc = "begin 644 after.bin\n#86)C\n`\nend\n";  // "abc"

// The huge line: 1 GiB, or a quarter of it under AddressSanitizer, where every byte the stream
// copies is checked and the full size would take seconds.
#if defined(__SANITIZE_ADDRESS__)
constexpr int64_t kHugeLine = int64_t{1} << 28;
#else
constexpr int64_t kHugeLine = int64_t{1} << 30;
#endif

// Peak resident memory of the process so far, in KiB.
long PeakRssKib() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}


class Hostile : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        fs::create_directory(Native("out"));
    }

    // Opens `archive`, then extracts every entry into `output` (a folder in the test's folder)
    // with the keep-paths flag given. The status is what extraction left, or what the open did.
    uint16_t Extract(const std::string& archive, int32_t keep_paths = 1, const std::string& output = "out") {
        InitArcFile(Win(archive).c_str());
        if (GetArchiveStatus() != kStatusOk) return GetArchiveStatus();
        DecompExtraFeatures features = {};
        features.keep_paths = keep_paths;
        std::snprintf(features.output_path, sizeof features.output_path, "%s", Win(output).c_str());
        SetDecompExtraFeatures(&features);
        FileMaskList masks;
        InitFileMaskList(&masks);
        AppendFileMask("*.*", &masks);
        ExtractFileMaskListArc(&masks);
        DoneFileMaskList(&masks);
        return GetArchiveStatus();
    }

    // The stored name that listing `archive` shows, "" when it shows none.
    std::string ListedName(const std::string& archive) {
        InitArcFile(Win(archive).c_str());
        ArcFileList list;
        InitArcFileList(&list);
        BuildArcFileList(&list);
        const std::string name = list.first != nullptr ? list.first->name : "";
        DoneArcFileList(&list);
        return name;
    }

    // Everything in the test's folder that is neither one of `archives` nor inside out/.
    std::vector<std::string> Strays(std::initializer_list<std::string> archives) const {
        std::vector<std::string> strays;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_)) {
            const std::string relative = entry.path().lexically_relative(dir_).string();
            if (relative == "out" || relative.rfind("out/", 0) == 0) continue;
            if (std::find(archives.begin(), archives.end(), relative) != archives.end()) continue;
            strays.push_back(relative);
        }
        return strays;
    }

    std::vector<std::string> OutFiles() const {
        std::vector<std::string> files;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Native("out"))) {
            if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(Native("out")).string());
        }
        return files;
    }
};

// ---- Huge and endless input ---------------------------------------------------------------------

// A file that the module reads through g_system but that never touches the disk: `head`, then
// `line_length` bytes of `fill` without a line feed, then `tail`. Reads of any other file go to the
// system as usual.
class VirtualFile {
public:
    VirtualFile(std::string path_suffix, std::string head, char fill, int64_t line_length, std::string tail) {
        suffix_ = std::move(path_suffix);
        head_ = std::move(head);
        fill_ = fill;
        line_length_ = line_length;
        tail_ = std::move(tail);
        real_ = g_system;
        g_system.open = Open;
        g_system.read = ReadBytes;
        g_system.close = Close;
        g_system.length = Length;
        g_system.seek_start = SeekStart;
    }
    ~VirtualFile() { g_system = real_; }
    VirtualFile(const VirtualFile&) = delete;
    VirtualFile& operator=(const VirtualFile&) = delete;

    static int64_t Size() { return static_cast<int64_t>(head_.size() + tail_.size()) + line_length_; }

private:
    static FileHandle Open(FileHandle folder, const char* native_path, OpenHow how, const FileInfo* like) {
        const FileHandle handle = real_.open(folder, native_path, how, like);
        const std::string path = native_path;
        if (handle != kNoHandle && how == OpenHow::Read && path.size() >= suffix_.size() &&
            path.compare(path.size() - suffix_.size(), suffix_.size(), suffix_) == 0) {
            offsets_[handle] = 0;
        }
        return handle;
    }
    static int64_t ReadBytes(FileHandle handle, void* data, size_t count) {
        const auto found = offsets_.find(handle);
        if (found == offsets_.end()) return real_.read(handle, data, count);
        int64_t& offset = found->second;
        char* out = static_cast<char*>(data);
        size_t done = 0;
        const int64_t line_end = static_cast<int64_t>(head_.size()) + line_length_;
        while (done < count && offset < Size()) {
            size_t piece;
            if (offset < static_cast<int64_t>(head_.size())) {
                piece = std::min(count - done, head_.size() - static_cast<size_t>(offset));
                std::memcpy(out + done, head_.data() + offset, piece);
            } else if (offset < line_end) {
                piece = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count - done), line_end - offset));
                std::memset(out + done, fill_, piece);
            } else {
                const size_t at = static_cast<size_t>(offset - line_end);
                piece = std::min(count - done, tail_.size() - at);
                std::memcpy(out + done, tail_.data() + at, piece);
            }
            done += piece;
            offset += static_cast<int64_t>(piece);
        }
        return static_cast<int64_t>(done);
    }
    static bool Close(FileHandle handle) {
        offsets_.erase(handle);
        return real_.close(handle);
    }
    static bool SeekStart(FileHandle handle) {
        const auto found = offsets_.find(handle);
        if (found == offsets_.end()) return real_.seek_start(handle);
        found->second = 0;
        return true;
    }
    static int64_t Length(FileHandle handle) {
        return offsets_.count(handle) != 0 ? Size() : real_.length(handle);
    }

    static inline std::string suffix_;
    static inline std::string head_;
    static inline char fill_ = 'x';
    static inline int64_t line_length_ = 0;
    static inline std::string tail_;
    static inline SystemCalls real_;
    static inline std::map<FileHandle, int64_t> offsets_;
};

// Free text of kHugeLine bytes in one line, then an archive. The scan must take the line in
// 254-byte pieces and find what follows it, holding no more than its line buffer. The bytes come
// from a VirtualFile so that each of the five passes costs no disk and no page cache.
TEST_F(Hostile, GigabyteLineWithoutLineFeedIsReadInPieces) {
    Write("big.uue", "placeholder: the bytes read come from the VirtualFile");
    VirtualFile big("/big.uue", "From the ", 'x', kHugeLine, "\n" + kAbc);

    const long rss_before = PeakRssKib();
    InitArcFile(Win("big.uue").c_str());
    ASSERT_STATUS(kStatusOk);
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ASSERT_NE(list.first, nullptr);
    EXPECT_STREQ(list.first->name, "after.bin");
    EXPECT_EQ(list.first->first_size, VirtualFile::Size() * 10 / 14);
    DoneArcFileList(&list);
    EXPECT_EQ(Extract("big.uue"), kStatusOk);
    EXPECT_EQ(Read("out/after.bin"), "abc");
    EXPECT_LT(PeakRssKib() - rss_before, 16 * 1024) << "memory grew with the line";
}

// A huge line after the begin line is read as data lines, piece by piece. Of '~', which
// is in neither alphabet, the first piece already fails and nothing more is read. (Of a
// character that is a length, each piece would decode as a line of its own.)
TEST_F(Hostile, GigabyteDataLineFailsAtItsFirstPiece) {
    Write("big.uue", "placeholder");
    VirtualFile big("/big.uue", "begin 644 big.bin\n", '~', kHugeLine, "\n`\nend\n");
    EXPECT_EQ(Extract("big.uue"), kStatusBadFormat);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"big.bin"});
    EXPECT_EQ(Read("out/big.bin"), "");
}

TEST_F(Hostile, HundredThousandTableLines) {
    // Alone, "table" lines are each other's alphabet: 13 of them give 64 characters with
    // repeats, and the scan fails at once.
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "table\n";
    Write("tables.uue", text + kAbc);
    InitArcFile(Win("tables.uue").c_str());
    EXPECT_STATUS(kStatusNotEncoded);

    // 100,000 good blocks: each is read and replaces the one before; the data uses the last.
    std::string alphabet = kXxAlphabet;
    std::mt19937 generator(100000);
    std::shuffle(alphabet.begin(), alphabet.end(), generator);
    std::string blocks;
    for (int i = 0; i < 100000; ++i) blocks += "table\n" + alphabet.substr(0, 32) + "\n" + alphabet.substr(32) + "\n";
    auto character = [&](unsigned value) { return alphabet[value]; };
    // "abc" in the shuffled alphabet: length 3, then 0x61 0x62 0x63 as four values.
    const std::string data = {character(3), character(0x61 >> 2), character((0x61 & 3) << 4 | 0x62 >> 4),
                              character((0x62 & 15) << 2 | 0x63 >> 6), character(0x63 & 63)};
    Write("blocks.uue", blocks + "begin 644 t.bin\n" + data + "\n" + character(0) + "\nend\n");
    EXPECT_EQ(ListedName("blocks.uue"), "t.bin");
    EXPECT_EQ(Extract("blocks.uue"), kStatusOk);
    EXPECT_EQ(Read("out/t.bin"), "abc");
}

// ---- Bytes that have no business in a text file ------------------------------------------------

TEST_F(Hostile, NulBytesInNamesAndLines) {
    using namespace std::string_literals;
    struct Case {
        const char* label;
        std::string archive;
        uint16_t status;        // after extraction (or the open)
        const char* file;       // what appears in out/, nullptr for nothing
        const char* contents;
    };
    const Case cases[] = {
        {"NUL ends the stored name", "begin 644 na\0me.txt\n#86)C\n`\nend\n"s, kStatusOk, "na", "abc"},
        {"NUL inside a data line", "begin 644 d.bin\n#8\0)C\n`\nend\n"s, kStatusBadFormat, "d.bin", ""},
        {"NUL as the length character", "begin 644 l.bin\n\0#86)C\n`\nend\n"s, kStatusBadFormat, "l.bin", ""},
        {"NUL line before the begin line", "\0begin 644 x.bin\n"s + "begin 644 y.bin\n#86)C\n`\nend\n", kStatusOk,
         "y.bin", "abc"},
        {"NUL in the mode", "begin 6\0" "44 m.bin\n#86)C\n`\nend\n"s, kStatusNotEncoded, nullptr, nullptr},
        {"NUL cuts a table block short", "table\n\0abc\n"s + kAbc, kStatusNotEncoded, nullptr, nullptr},
        {"NUL in the end line", "begin 644 e.bin\n#86)C\n`\ne\0d\n"s, kStatusBadFormat, "e.bin", "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(Native("out"));
        fs::create_directory(Native("out"));
        Write("nul.uue", c.archive);
        EXPECT_EQ(Extract("nul.uue"), c.status);
        if (c.file == nullptr) {
            EXPECT_TRUE(OutFiles().empty());
        } else {
            EXPECT_EQ(OutFiles(), std::vector<std::string>{c.file});
            EXPECT_EQ(Read(std::string("out/") + c.file), c.contents);
        }
        EXPECT_TRUE(Strays({"nul.uue"}).empty());
    }
}

TEST_F(Hostile, BinaryGarbage) {
    std::mt19937 generator(7);
    std::string garbage(1 << 20, '\0');
    for (char& byte : garbage) byte = static_cast<char>(generator());

    // Without a begin line it is no archive, and an extraction without one opens nothing.
    Write("garbage.bin", garbage);
    InitArcFile(Win("garbage.bin").c_str());
    EXPECT_STATUS(kStatusNotEncoded);
    EXPECT_EQ(ListedName("garbage.bin"), "");
    FileMaskList masks;
    InitFileMaskList(&masks);
    AppendFileMask("*.*", &masks);
    ExtractFileMaskListArc(&masks);
    DoneFileMaskList(&masks);
    EXPECT_NE(GetArchiveStatus(), kStatusOk);

    // After a begin line it is damaged data: decoding stops at its first line.
    Write("tail.uue", "begin 644 g.bin\n" + garbage);
    EXPECT_EQ(Extract("tail.uue"), kStatusBadFormat);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"g.bin"});
    EXPECT_LT(Read("out/g.bin").size(), 4096u);
    EXPECT_TRUE(Strays({"garbage.bin", "tail.uue"}).empty());
}

// ---- Names, paths and masks at and past their limits ------------------------------------------

TEST_F(Hostile, StoredNameOf247Bytes) {
    // The begin line is longer than a line piece: the name is what the first piece holds, 244
    // bytes, and the rest of the line is taken for the first data line, which fails.
    const std::string name(247, 'n');
    Write("long.uue", "begin 644 " + name + "\n#86)C\n`\nend\n");
    EXPECT_EQ(ListedName("long.uue"), name.substr(0, 244));
    // The output folder and the name exceed an output path: refused before anything is made.
    const size_t room = 259 - (Win("out").size() + 1);
    ASSERT_LT(room, name.size());
    EXPECT_EQ(Extract("long.uue"), kStatusCannotOpen);
    EXPECT_TRUE(OutFiles().empty());

    // A name that fills the output path exactly is written; one byte more is refused.
    Write("fits.uue", "begin 644 " + std::string(room, 'f') + "\n#86)C\n`\nend\n");
    EXPECT_EQ(Extract("fits.uue"), kStatusOk);
    EXPECT_EQ(Read("out/" + std::string(room, 'f')), "abc");
    Write("over.uue", "begin 644 " + std::string(room + 1, 'g') + "\n#86)C\n`\nend\n");
    EXPECT_EQ(Extract("over.uue"), kStatusCannotOpen);
    EXPECT_EQ(OutFiles().size(), 1u);
    EXPECT_TRUE(Strays({"long.uue", "fits.uue", "over.uue"}).empty());
}

TEST_F(Hostile, OutputPathOf255Bytes) {
    // out/ddd.../ddd... of exactly 255 bytes, directories not yet made.
    std::string relative = "out";
    while (Win(relative).size() < 255) {
        const size_t left = 255 - Win(relative).size() - 1;
        relative += "/" + std::string(std::min<size_t>(left, 100), 'd');
    }
    ASSERT_EQ(Win(relative).size(), 255u);
    ASSERT_NE(relative.back(), '/');
    Write("abc.uue", "begin 644 abc\n#86)C\n`\nend\n");
    Write("abcd.uue", "begin 644 abcd\n#86)C\n`\nend\n");

    // 255 bytes, the backslash and "abc" are the longest output path there is.
    EXPECT_EQ(Extract("abc.uue", 1, relative), kStatusOk);
    EXPECT_EQ(Read(relative + "/abc"), "abc");
    EXPECT_EQ(Extract("abcd.uue", 1, relative), kStatusCannotOpen);
    EXPECT_FALSE(Exists(relative + "/abcd"));

    // A path of 256 bytes is refused, and the output path set before is not used instead: the
    // extraction fails, writing nothing, until a path within the limit is set.
    fs::create_directory(Native("out/first"));
    SetOutputPath(Win("out/first").c_str());
    const std::string too_long = Win(relative) + "x";
    SetOutputPath(too_long.c_str());
    InitArcFile(Win("abcd.uue").c_str());
    FileMaskList masks;
    InitFileMaskList(&masks);
    AppendFileMask("*.*", &masks);
    ExtractFileMaskListArc(&masks);
    EXPECT_STATUS(kStatusCannotOpen);
    EXPECT_FALSE(Exists("out/first/abcd"));
    SetOutputPath(Win("out/first").c_str());
    ExtractFileMaskListArc(&masks);
    DoneFileMaskList(&masks);
    EXPECT_STATUS(kStatusOk);
    EXPECT_EQ(Read("out/first/abcd"), "abc");
    EXPECT_TRUE(Strays({"abc.uue", "abcd.uue"}).empty());
}

TEST_F(Hostile, MasksOf300Bytes) {
    const std::string masks[] = {
        std::string(300, '*'),
        std::string(300, '?'),
        std::string(296, 'd') + "\\*.*",
        "*." + std::string(298, 'e'),
        std::string(150, 'a') + "\\" + std::string(149, 'b'),
    };
    FileMaskList list;
    InitFileMaskList(&list);
    SetArchiveStatus(77);
    for (const std::string& mask : masks) {
        EXPECT_EQ(AppendFileMask(mask.c_str(), &list), 0) << mask.substr(0, 20);
        EXPECT_EQ(list.head, nullptr);
    }
    EXPECT_STATUS(77);
    // A list that holds only refused masks is empty: extraction then does nothing at all.
    Write("a.uue", kAbc);
    InitArcFile(Win("a.uue").c_str());
    SetOutputPath(Win("out").c_str());
    ExtractFileMaskListArc(&list);
    EXPECT_STATUS(kStatusOk);
    EXPECT_TRUE(OutFiles().empty());

    // A name of 300 bytes is selected by no mask, not even the widest.
    AppendFileMask("*.*", &list);
    AppendFileMask(std::string(255, '*').c_str(), &list);
    EXPECT_FALSE(MatchFileMaskList(std::string(300, 'n').c_str(), &list));
    EXPECT_TRUE(MatchFileMaskList(std::string(255, 'n').c_str(), &list));
    DoneFileMaskList(&list);
}

// "d/d/d/.../leaf" of exactly `length` bytes.
std::string DeepName(size_t length) {
    std::string name;
    while (name.size() + 2 + 4 <= length) name += "d/";
    return name + std::string(length - name.size(), 'f');
}

TEST_F(Hostile, DeepDirectoryNames) {
    OutsideWriteGuard guard(Native("out/"));
    // 240 bytes of directories with keep-paths on do not fit under the output folder.
    Write("deep240.uue", "begin 644 " + DeepName(240) + "\n#86)C\n`\nend\n");
    EXPECT_EQ(ListedName("deep240.uue"), DeepName(240));
    EXPECT_EQ(Extract("deep240.uue", 1), kStatusCannotOpen);
    EXPECT_TRUE(fs::is_empty(Native("out")));
    // Paths dropped, the leaf alone goes straight into the folder.
    EXPECT_EQ(Extract("deep240.uue", 0), kStatusOk);
    EXPECT_EQ(OutFiles(), std::vector<std::string>{"ffff"});

    // As deep as the output path allows: over a hundred directories are made one by one.
    const size_t room = 259 - (Win("out").size() + 1);
    const std::string deep = DeepName(room);
    Write("deep.uue", "begin 644 " + deep + "\n#86)C\n`\nend\n");
    EXPECT_EQ(Extract("deep.uue", 1), kStatusOk);
    EXPECT_EQ(Read("out/" + deep), "abc");
    EXPECT_GT(std::count(deep.begin(), deep.end(), '/'), 100);

    // The same depth spelt with backslashes, and a ".." far down that would climb back out.
    std::string backslashed = deep;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    backslashed.back() = 'g';
    Write("back.uue", "begin 644 " + backslashed + "\n#86)C\n`\nend\n");
    EXPECT_EQ(Extract("back.uue", 1), kStatusOk);
    std::string climbing = deep.substr(0, 99);
    for (int i = 0; i < 20; ++i) climbing += "/..";
    Write("climb.uue", "begin 644 " + climbing + "/x\n#86)C\n`\nend\n");
    EXPECT_EQ(Extract("climb.uue", 1), kStatusCannotOpen);
    EXPECT_EQ(OutFiles().size(), 3u);
    EXPECT_TRUE(Strays({"deep240.uue", "deep.uue", "back.uue", "climb.uue"}).empty());
    EXPECT_EQ(OutsideWrites::Take(), std::vector<std::string>{});
}

// ---- Damaged good files -------------------------------------------------------------------------

class Damage : public Hostile {
protected:
    // Saves an input that broke a rule where the fuzz replay will run it from then on, or in the
    // working folder when the source tree is not known; returns where it went.
    static std::string SaveRegression(const std::string& bytes, const std::string& name) {
        std::string folder = ".";
        if (const char* data = std::getenv("UUARC_TEST_DATA")) {
            const fs::path fuzz = (fs::path(data) / ".." / ".." / "fuzz").lexically_normal();
            std::error_code failed;
            if (fs::is_directory(fuzz) && (fs::create_directories(fuzz / "regressions" / "archive", failed), !failed)) {
                folder = (fuzz / "regressions" / "archive").string();
            }
        }
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static int32_t UUARC_CALL CheckProgress(UserData, int32_t percent, int32_t bytes) {
        if (percent < 0 || percent > 100 || bytes < 0) ++bad_progress;
        return 0;
    }
    static inline int bad_progress = 0;
};

// Bytes flipped, inserted, deleted and lines duplicated in good files of each alphabet. Every
// damaged file must open, list and extract (paths kept and dropped) to one of the module's
// statuses, with progress in range and nothing outside out/. A crash leaves the input it died on
// as damaged.uue in the test's folder, which the message at the start names.
TEST_F(Damage, DamagedGoodFilesNeverCrashOrEscape) {
    std::mt19937 generator(20240101);
    std::string payload(700, '\0');
    for (char& byte : payload) byte = static_cast<char>(generator());
    std::string table = "table\n`!\"#$%&'()*+,-./0123456789:;<=>?\n@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_\n";
    std::string xx = "begin 644 dir/xx.bin\nh" + std::string(60, '+') + "\n+\nend\n";
    const std::string originals[] = {
        ClassicUuencode("dir/sub/file.bin", payload),
        table + ClassicUuencode("table.bin", payload.substr(0, 200), '`', "\n"),
        "Subject: mail\n\nbegin here\n" + ClassicUuencode("mail.bin", payload.substr(0, 90), '`', "\n") + "\x1a",
        xx,
    };
    // Bytes that mean something to the reader: line ends, NUL, 0x1A, the two zero characters, a
    // length, path separators and dots, a drive colon, the first letters of the keywords.
    const char telling_bytes[] = {'\n', '\r', '\0', '\x1a', ' ', '`', 'M', '/', '\\', '.', ':', 'e', 'b', 't'};
    const uint16_t allowed[] = {kStatusOk, kStatusCannotOpen, kStatusBadFormat, kStatusNotEncoded};
    std::printf("[          ] a crash leaves its input in %s\n", Native("damaged.uue").c_str());

    OutsideWriteGuard guard(Native("out/"));
    constexpr int kIterations = 1000;
    int failures = 0;
    std::map<uint16_t, int> statuses;
    for (int iteration = 0; iteration < kIterations && failures < 5; ++iteration) {
        std::string bytes = originals[iteration % std::size(originals)];
        const int edits = 1 + static_cast<int>(generator() % 4);
        for (int edit = 0; edit < edits && !bytes.empty(); ++edit) {
            const size_t at = generator() % bytes.size();
            switch (generator() % 11) {
                case 0:
                case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (generator() % 8))); break;
                case 2:
                case 3: bytes[at] = telling_bytes[generator() % std::size(telling_bytes)]; break;
                case 4:
                case 5: bytes.insert(at, 1, static_cast<char>(generator())); break;
                case 6:
                case 7: bytes.erase(at, 1 + generator() % 16); break;
                case 8:
                case 9: {  // a stretch repeated, as a mailer that resends a block
                    const std::string stretch = bytes.substr(at, 1 + generator() % 120);
                    bytes.insert(generator() % bytes.size(), stretch);
                    break;
                }
                default: bytes.resize(at); break;
            }
        }

        fs::remove_all(Native("out"));
        fs::create_directory(Native("out"));
        Write("damaged.uue", bytes);
        ResetModuleState();
        SetSetProgressProc(0, CheckProgress);
        bad_progress = 0;
        const std::string listed = ListedName("damaged.uue");
        const uint16_t status = Extract("damaged.uue", iteration % 2);
        ++statuses[status];

        std::string fault;
        if (std::find(std::begin(allowed), std::end(allowed), status) == std::end(allowed)) {
            fault = "status " + std::to_string(status);
        } else if (bad_progress != 0) {
            fault = "progress out of range";
        } else if (!Strays({"damaged.uue"}).empty()) {
            fault = "wrote " + Strays({"damaged.uue"}).front();
        } else if (const std::vector<std::string> outside = OutsideWrites::Take(); !outside.empty()) {
            fault = "wrote outside out: " + outside.front();
        } else if (listed.size() > 255) {
            fault = "listed name of " + std::to_string(listed.size()) + " bytes";
        }
        if (!fault.empty()) {
            ++failures;
            ADD_FAILURE() << "iteration " << iteration << ": " << fault << "; input saved as "
                          << SaveRegression(bytes, "damage-" + std::to_string(iteration));
        }
    }
    // The run is worth something only if damage both spared and spoilt files.
    EXPECT_GT(statuses[kStatusOk], kIterations / 10);
    EXPECT_GT(statuses[kStatusBadFormat] + statuses[kStatusNotEncoded], kIterations / 10);
    for (const auto& [status, count] : statuses) std::printf("[          ] status %u: %d\n", status, count);
}

}  // namespace
}  // namespace uuarc::test
