// settings_test.cpp - the host's settings (output path, feature records, source prefix) and the
// file-name mask lists, seen through the names that extraction and creation report and use.
#include <cstring>

#include "harness.h"

namespace uuarc::test {
namespace {

// An archive in the test's folder whose stored name each test chooses; the target of the first
// SetFileNameProc call shows the output name that the settings produced.
class Settings : public HostTest {
protected:
    std::string TargetFor(const std::string& stored_name) {
        ClearCalls();
        api_.InitArcFile(WriteArchive("s.uue", stored_name, "abc").c_str());
        RegisterRecorders();
        const uint16_t status = Extract({"*.*"});
        EXPECT_EQ(status, 0) << stored_name;
        const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
        return names.empty() ? "<no SetFileNameProc call>" : names.front().target;
    }
    void SetDecomp(int32_t keep_paths, const std::string& base, const std::string& output) const {
        DecompExtraFeatures record{};
        record.keep_paths = keep_paths;
        std::strcpy(record.base_path, base.c_str());
        std::strcpy(record.output_path, output.c_str());
        api_.SetDecompExtraFeatures(&record);
    }
    void SetComp(const std::string& base, const std::string& prefix) const {
        CompExtraFeatures record{};
        std::strcpy(record.base_path, base.c_str());
        std::strcpy(record.source_prefix, prefix.c_str());
        api_.SetCompExtraFeatures(&record);
    }
};

TEST_F(Settings, OutputPathGetsTrailingBackslash) {
    MakeFolder(Path("out"));
    struct Case {
        std::string output_path;
        std::string target;
        std::string lands_in;
    };
    std::vector<Case> cases = {
        {Path("out"), Path("out\\f.bin"), Path("out\\f.bin")},
        {Path("out\\"), Path("out\\f.bin"), Path("out\\f.bin")},
        {"", "f.bin", Path("f.bin")},  // the current directory, which is the test's folder
    };
#if defined(_WIN32)
    // The test's folder is the current directory, on drive C:, so C:f.bin lands in it.
    ASSERT_EQ(folder_.rfind("C:", 0), 0u) << "the temporary folder must be on drive C: " << folder_;
    cases.push_back({"C:", "C:f.bin", Path("f.bin")});
#endif
    for (const Case& c : cases) {
        api_.SetOutputPath(c.output_path.c_str());
        EXPECT_EQ(TargetFor("f.bin"), c.target) << "output path '" << c.output_path << "'";
        EXPECT_EQ(ReadBytes(c.lands_in), "abc") << c.lands_in;
        RemoveFile(c.lands_in);
    }
    // One too long is not taken, and the older one is not used either.
    api_.SetOutputPath(std::string(256, 'x').c_str());
    api_.InitArcFile(Path("s.uue").c_str());
    EXPECT_EQ(Extract({"*.*"}), 5);
    EXPECT_FALSE(PathExists(Path("out\\f.bin")));
    EXPECT_FALSE(PathExists(Path("f.bin")));
}

#if defined(UUARC_OUTPUT_FILE)
// The output file takes the decoded file whatever the stored name: its path rules and its length
// do not count.
TEST_F(Settings, OutputFileTakesTheDecodedFileWhateverTheStoredName) {
    const std::string file = Path("named.bin");
    api_.SetOutputPath((UUARC_OUTPUT_FILE + file).c_str());
    for (const std::string& stored : {std::string("f.bin"), std::string("..\\..\\up.bin"), std::string(200, 'n')}) {
        EXPECT_EQ(TargetFor(stored), file) << stored;
        EXPECT_EQ(ReadBytes(file), "abc") << stored;
        RemoveFile(file);
    }
    EXPECT_EQ(FolderNames(Folder()), (std::vector<std::string>{"s.uue"}));
}
#endif

// An empty string in the record changes nothing; keep-paths is always taken.
TEST_F(Settings, DecompEmptyStringsChangeOnlyKeepPaths) {
    api_.SetOutputPath(Path("out").c_str());
    SetDecomp(1, "", "");
    EXPECT_EQ(TargetFor("d/f.bin"), Path("out\\d\\f.bin"));
    SetDecomp(1, "dir", Path("x"));
    EXPECT_EQ(TargetFor("dir/sub/f.bin"), Path("x\\sub\\f.bin"));
    SetDecomp(0, "", "");
    EXPECT_EQ(TargetFor("abcdf.bin"), Path("x\\f.bin")) << "the base path and its separator cut four bytes; the output path stays";
    // A base path that fills its field without a terminator is too long: refused, not cut.
    DecompExtraFeatures record{};
    std::memset(record.base_path, 'b', sizeof record.base_path);
    api_.SetDecompExtraFeatures(&record);
    api_.InitArcFile(Path("s.uue").c_str());
    EXPECT_EQ(Extract({"*.*"}), 5);
}

TEST_F(Settings, DecompOutputPathAt1104GetsBackslash) {
    SetDecomp(0, "", Path("x"));
    EXPECT_EQ(TargetFor("f.bin"), Path("x\\f.bin"));
}

TEST_F(Settings, KeepPathsSwitchesOffAgain) {
    api_.SetOutputPath(Path("out").c_str());
    SetDecomp(1, "", "");
    EXPECT_EQ(TargetFor("d/f.bin"), Path("out\\d\\f.bin"));
    SetDecomp(0, "", "");
    EXPECT_EQ(TargetFor("d/f.bin"), Path("out\\f.bin"));
}

// Both records write the one base path that extraction cuts from stored names.
TEST_F(Settings, BasePathFromDecompRecordCutsStoredName) {
    api_.SetOutputPath(Path("out").c_str());
    SetDecomp(1, "dir", "");
    EXPECT_EQ(TargetFor("dir/sub/f.bin"), Path("out\\sub\\f.bin"));
}

TEST_F(Settings, BasePathFromCompRecordCutsStoredName) {
    api_.SetOutputPath(Path("out").c_str());
    SetDecomp(1, "", "");
    SetComp("dir", "");
    EXPECT_EQ(TargetFor("dir/sub/f.bin"), Path("out\\sub\\f.bin"));
}

// The source prefix shows in the first SetFileNameProc call of a creation; no source exists, so
// the creation stops there with status 5.
TEST_F(Settings, SourcePrefixAt1168) {
    const struct {
        std::string prefix;
        bool prefix_off;  // option bit 0x0010
        std::string source;
    } cases[] = {
        {Path("src"), false, Path("src\\abc.txt")},
        {"C:\\src\\", false, "C:\\src\\\\abc.txt"},
#if defined(_WIN32)
        {"C:\\", false, "C:\\abc.txt"},
        {"ab", false, "ababc.txt"},
        {"", false, "ababc.txt"},  // an empty prefix in the record keeps the one before
#else
        // No drive roots: every prefix gets its separator.
        {"C:\\", false, "C:\\\\abc.txt"},
        {"ab", false, "ab\\abc.txt"},
        {"", false, "ab\\abc.txt"},
#endif
        {Path("src"), true, "abc.txt"},
    };
    for (const auto& c : cases) {
        SetComp("", c.prefix);
        if (c.prefix_off) api_.arOptionsOn(UUARC_OPTION_NO_SOURCE_PREFIX);
        api_.CreateArcFile(Path("t.uue").c_str());
        RegisterRecorders();
        ClearCalls();
        EXPECT_EQ(Compress({"abc.txt"}), 5) << c.prefix;
        ASSERT_EQ(g_calls.size(), 1u) << c.prefix;
        EXPECT_EQ(g_calls[0].source, c.source) << "prefix '" << c.prefix << "'";
        EXPECT_EQ(g_calls[0].target, "\\abc.txt");
    }
    EXPECT_FALSE(PathExists(Path("t.uue")));
}

// ---- Mask lists -----------------------------------------------------------------------------

using Masks = HostTest;

TEST_F(Masks, NodeHoldsDirectoryNameAndExtension) {
    const struct {
        const char* mask;
        const char* directory;
        const char* name;
        const char* extension;
    } cases[] = {
        {"C:/DATA/*.DOC", "C:\\DATA\\", "*", "DOC"},  {"C:\\DATA\\REPORT.TXT", "C:\\DATA\\", "REPORT", "TXT"},
        {"NOTES", "", "NOTES", ""},                   {"ARCHIVE.TAR.GZ", "", "ARCHIVE.TAR", "GZ"},
        {"c:\\data\\*.txt", "c:\\data\\", "*", "txt"},
#if defined(_WIN32)
        {"C:*.TXT", "C:", "*", "TXT"},
#else
        {"C:*.TXT", "", "C:*", "TXT"},  // no drive: the ':' is part of the name
#endif
        {"\\DOCS\\*.TXT", "\\DOCS\\", "*", "TXT"},    {"*.TXT", "", "*", "TXT"},
        {"FILE.", "", "FILE", ""},                    {"", "", "", ""},
    };
    for (const auto& c : cases) {
        FileMaskList list;
        api_.InitFileMaskList(&list);
        EXPECT_EQ(api_.AppendFileMask(c.mask, &list), 1) << c.mask;
        ASSERT_NE(list.head, nullptr) << c.mask;
        EXPECT_EQ(list.tail, list.head);
        const FileMask& node = *list.head;
        ASSERT_NE(node.directory, nullptr) << c.mask;
        EXPECT_STREQ(node.directory, c.directory) << c.mask;
        EXPECT_STREQ(node.name, c.name) << c.mask;
        EXPECT_STREQ(node.extension, c.extension) << c.mask;
        EXPECT_EQ(node.next, nullptr);
        api_.DoneFileMaskList(&list);
    }
}

TEST_F(Masks, AppendLinksAtTailAndDoneRestarts) {
    FileMaskList list;
    api_.InitFileMaskList(&list);
    ASSERT_EQ(api_.AppendFileMask("A.TXT", &list), 1);
    EXPECT_EQ(list.tail, list.head);
    EXPECT_EQ(list.head->next, nullptr);
    for (const char* mask : {"B.TXT", "C.TXT"}) ASSERT_EQ(api_.AppendFileMask(mask, &list), 1);
    ASSERT_NE(list.head, nullptr);
    ASSERT_NE(list.head->next, nullptr);
    ASSERT_NE(list.head->next->next, nullptr);
    EXPECT_STREQ(list.head->name, "A");
    EXPECT_STREQ(list.head->next->name, "B");
    EXPECT_EQ(list.tail, list.head->next->next);
    EXPECT_STREQ(list.tail->name, "C");
    EXPECT_EQ(list.tail->next, nullptr);
    api_.DoneFileMaskList(&list);
    EXPECT_EQ(list.head, nullptr);
    EXPECT_EQ(list.tail, nullptr);
    ASSERT_EQ(api_.AppendFileMask("D.TXT", &list), 1);
    EXPECT_NE(list.head, nullptr);
    EXPECT_EQ(list.tail, list.head);
    EXPECT_STREQ(list.head->name, "D");
    api_.DoneFileMaskList(&list);
    api_.DoneFileMaskList(nullptr);  // ignored
}

TEST_F(Masks, OverlongMaskRefusedListAndStatusKept) {
    FileMaskList list;
    api_.InitFileMaskList(&list);
    const std::string longest = std::string(250, 'D') + "\\X.TX";
    ASSERT_EQ(longest.size(), 255u);
    ASSERT_EQ(api_.AppendFileMask(longest.c_str(), &list), 1);
    EXPECT_STREQ(list.head->name, "X");
    EXPECT_EQ(std::string(list.head->directory), std::string(250, 'D') + "\\");
    FileMask* const only = list.head;
    api_.SetArchiveStatus(77);
    EXPECT_EQ(api_.AppendFileMask((longest + "T").c_str(), &list), 0);
    EXPECT_EQ(api_.AppendFileMask(std::string(300, 'x').c_str(), &list), 0);
    EXPECT_EQ(api_.AppendFileMask(nullptr, &list), 0);
    EXPECT_EQ(list.head, only);
    EXPECT_EQ(list.tail, only);
    EXPECT_EQ(only->next, nullptr);
    EXPECT_STATUS(77);
    api_.DoneFileMaskList(&list);
}

// Whether an extraction with these masks writes the stored name (keep-paths off, so the output
// is the bare name in the test's folder).
TEST_F(Masks, SelectionOfStoredName) {
    const struct {
        const char* stored;
        std::initializer_list<const char*> masks;
        bool selected;
    } cases[] = {
        {"README.TXT", {"*.*"}, true},
        {"FILE", {"*.*"}, true},
        {"SUB/README.TXT", {"*.*"}, true},
        {"readme.txt", {"*.TXT"}, true},
        {"README.TX", {"*.txt"}, false},
        {"SUB/README.TXT", {"*.txt"}, false},
        {"FILE", {"*"}, true},
        {"FILE.TXT", {"*"}, false},
        {"README.TXT", {"READ*.TXT"}, false},
        {"README.TXT", {"R?ADME.TXT"}, true},
        {"RADME.TXT", {"R?ADME.TXT"}, false},
        {"DOCS/SUB/B.TXT", {"DOCS\\*.*"}, true},
        {"OTHER/A.TXT", {"DOCS\\*.*"}, false},
        {"OTHER/DOCS/A.TXT", {"DOCS\\*.*"}, false},
        {"DOCS/SUB/A.TXT", {"DOCS\\*.TXT"}, false},
        {"C:/DATA/X.TXT", {"c:\\data\\*.txt"}, true},
        {"README.TXT", {"A.DOC", "B.*", "*.TXT"}, true},
        {"README.TXT", {"A.DOC", "B.*"}, false},
    };
    for (const auto& c : cases) {
        api_.InitArcFile(WriteArchive("m.uue", c.stored, "abc").c_str());
        RegisterRecorders();
        ClearCalls();
        EXPECT_EQ(Extract(c.masks), 0) << c.stored;
        const std::string stored = c.stored;
        const std::string output = Path(stored.substr(stored.find_last_of('/') + 1));
        EXPECT_EQ(PathExists(output), c.selected) << c.stored << " with " << *c.masks.begin();
        EXPECT_EQ(g_calls.empty(), !c.selected) << c.stored << " with " << *c.masks.begin();
        RemoveFile(output);
    }
}

#if !defined(_WIN32)
// Names are UTF-8 here: the umlauts match across case as whole characters, and the lead byte of
// another character is never taken for one of them.
TEST_F(Masks, UmlautCaseRuleOnUtf8Characters) {
    const struct {
        const char* stored;
        const char* mask;
        bool selected;
    } cases[] = {
        {"\xC3\x84.TXT", "\xC3\xA4.txt", true},        // Ä.TXT by ä.txt
        {"\xC3\xA4.txt", "\xC3\x84.TXT", true},        // ä.txt by Ä.TXT
        {"K\xC3\x96LN.TXT", "k\xC3\xB6ln.*", true},    // KÖLN.TXT by köln.*
        {"\xC3\x9C.TXT", "\xC3\xBC.txt", false},       // Ü is not upper-cased, as on Windows
        {"\xE4\x80\x80", "\xC4\x80?", false},          // 䀀 is not Ā followed by a byte
        {"\xE3\x83\xA4", "\xE3\x83\x84", false},       // ヤ is not ツ: a trail byte 0xA4 is no ä
        {"\xC4\x80" "A", "\xC4\x80?", true},             // "?" still stands for one byte
    };
    for (const auto& c : cases) {
        api_.InitArcFile(WriteArchive("m.uue", c.stored, "abc").c_str());
        RegisterRecorders();
        ClearCalls();
        EXPECT_EQ(Extract({c.mask}), 0) << c.stored;
        EXPECT_EQ(PathExists(Path(c.stored)), c.selected) << c.stored << " with " << c.mask;
        RemoveFile(Path(c.stored));
    }
}
#endif

}  // namespace
}  // namespace uuarc::test
