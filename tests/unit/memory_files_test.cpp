// memory_files_test.cpp - the in-memory file system that the archive fuzz target runs on
// (tests/memory_files.h): the module lists, extracts and replaces through it as on disk, and every
// change outside the allowed folder is reported, as the target relies on.
#include <string>
#include <vector>

#include "test_support.h"
#include "tests/memory_files.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

class Memory : public ModuleTest {
protected:
    // Extracts \mem\a.uue into \mem\out with the keep-paths flag; the status it leaves.
    static uint16_t Extract(int32_t keep_paths) {
        InitArcFile("\\mem\\a.uue");
        if (GetArchiveStatus() != kStatusOk) return GetArchiveStatus();
        DecompExtraFeatures features = {};
        features.keep_paths = keep_paths;
        std::snprintf(features.output_path, sizeof features.output_path, "%s", "\\mem\\out\\");
        SetDecompExtraFeatures(&features);
        WithMasks(ExtractFileMaskListArc, {"*.*"});
        return GetArchiveStatus();
    }
};

// No /mem exists on disk: whatever the module reads or makes there can only be memory.
TEST_F(Memory, ArchiveListsExtractsAndReplacesWithoutTheDisk) {
    MemoryFiles files("/mem/out");
    const std::string payload = RandomBytes(1000, 14);
    files.AddFile("/mem/a.uue", ClassicUuencode("dir/sub/file.bin", payload));

    InitArcFile("\\mem\\a.uue");
    ASSERT_STATUS(kStatusOk);
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ASSERT_NE(list.first, nullptr);
    EXPECT_STREQ(list.first->name, "dir/sub/file.bin");
    DoneArcFileList(&list);

    // Paths kept: the two folders are made one by one. Then again: the file is replaced through
    // a new one beside it, which takes its name.
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(Extract(1), kStatusOk) << round;
        ASSERT_NE(MemoryFiles::Contents("/mem/out/dir/sub/file.bin"), nullptr) << round;
        EXPECT_EQ(*MemoryFiles::Contents("/mem/out/dir/sub/file.bin"), payload) << round;
    }
    EXPECT_EQ(Extract(0), kStatusOk);
    const std::vector<std::string> expected = {"/",        "/mem",         "/mem/a.uue",          "/mem/out",
                                               "/mem/out/dir", "/mem/out/dir/sub", "/mem/out/dir/sub/file.bin",
                                               "/mem/out/file.bin"};
    EXPECT_EQ(MemoryFiles::Paths(), expected);
    EXPECT_TRUE(MemoryFiles::TakeOutside().empty());
}

// Each call that creates or changes something is reported when its path lies outside the
// folder, however it is spelt; reading anywhere and writing inside are not.
TEST_F(Memory, ChangesOutsideTheFolderAreReported) {
    MemoryFiles files("/mem/out");
    files.AddFile("/mem/out/in.bin", "x");
    files.AddFile("/mem/elsewhere.bin", "y");
    struct Case {
        const char* label;
        bool (*call)();
        bool reported;
    };
    const Case cases[] = {
        {"read outside", [] { return g_system.open(kNoHandle, "/mem/elsewhere.bin", OpenHow::Read, nullptr) != kNoHandle; }, false},
        {"create inside", [] { return g_system.open(kNoHandle, "/mem/out/new.bin", OpenHow::CreateNew, nullptr) != kNoHandle; }, false},
        {"create outside", [] { return g_system.open(kNoHandle, "/mem/new.bin", OpenHow::CreateNew, nullptr) != kNoHandle; }, true},
        {"climb out", [] { return g_system.open(kNoHandle, "/mem/out/../up.bin", OpenHow::WriteTruncate, nullptr) != kNoHandle; }, true},
        {"the folder itself", [] { return g_system.open(kNoHandle, "/mem/out/.", OpenHow::WriteTruncate, nullptr) != kNoHandle; }, true},
        {"a sibling by prefix", [] { return g_system.make_directory(kNoHandle, "/mem/outer"); }, true},
        {"directory inside", [] { return g_system.make_directory(kNoHandle, "/mem/out/d"); }, false},
        {"rename out", [] { return g_system.rename(kNoHandle, "/mem/out/in.bin", "/mem/moved.bin"); }, true},
        {"remove outside", [] { return g_system.remove(kNoHandle, "/mem/elsewhere.bin"); }, true},
        {"attributes outside", [] { return g_system.set_attributes("/mem/a", kAttrReadOnly); }, true},
    };
    for (const Case& c : cases) {
        c.call();
        EXPECT_EQ(!MemoryFiles::TakeOutside().empty(), c.reported) << c.label;
    }
}

}  // namespace
}  // namespace uuarc::test
