// masks_test.cpp - which names a mask list selects, asked of MatchFileMaskList directly. How a
// mask is stored and linked is seen through the exports, in tests/exports.
#include "names/masks.h"

#include <gtest/gtest.h>

#include <string>

#include "module/module_state.h"
#include "names/strings.h"
#include "uuarc_status.h"

namespace uuarc {
namespace {

// Owns one list for a test and gives it back at the end, so leaks show up under the sanitizer.
class MaskList : public ::testing::Test {
protected:
    void SetUp() override {
        list_.head = nullptr;
        list_.tail = nullptr;
        SetArchiveStatus(kStatusOk);
    }
    void TearDown() override { DoneFileMaskList(&list_); }

    void Append(const char* mask) {
        ASSERT_EQ(AppendFileMask(mask, &list_), 1) << mask << ", status " << GetArchiveStatus();
    }

    FileMaskList list_;
};

using MaskMatch = MaskList;


TEST_F(MaskMatch, EmptyListSelectsEveryName) {
    EXPECT_TRUE(MatchFileMaskList("README.TXT", &list_));
    EXPECT_TRUE(MatchFileMaskList("", &list_));
    EXPECT_TRUE(MatchFileMaskList(std::string(300, 'n').c_str(), &list_));
}

TEST_F(MaskMatch, OneMaskAgainstNames) {
    struct Case {
        const char* mask;
        const char* name;
        bool selected;
    };
    const Case cases[] = {
        // Wild masks without a directory select every name, in every directory.
        {"*.*", "README.TXT", true},
        {"*.*", "FILE", true},
        {"*.*", "SUB\\README.TXT", true},
        {"*.*", "C:\\SUB\\README.TXT", true},
        {"*X.*Y", "SUB\\A.B", true},
        // A leading "*" passes any part, whatever follows it in the mask.
        {"*.txt", "README.TXT", true},
        {"*.txt", "readme.txt", true},
        {"*.TXT", "README.TX", false},
        {"*.TXT", "SUB\\README.TXT", false},
        {"*X.TXT", "README.TXT", true},
        {"*X.TXT", ".TXT", true},
        {"*", "FILE", true},
        {"*", "FILE.TXT", false},
        {"README.*", "README", true},
        {"README.*", "README.TXT", true},
        {"README.*", "READMEX.TXT", false},
        // "*" elsewhere is an ordinary byte.
        {"READ*.TXT", "README.TXT", false},
        {"READ*.TXT", "READ*.TXT", true},
        {"A*.*", "A*.DOC", true},
        {"A*.*", "ABC.DOC", false},
        {"A.T*", "A.TXT", false},
        // "?" is exactly one byte, never none.
        {"R?ADME.TXT", "README.TXT", true},
        {"R?ADME.TXT", "RADME.TXT", false},
        {"?.TXT", "A.TXT", true},
        {"?.TXT", "AB.TXT", false},
        {"?.TXT", ".TXT", false},
        {"A.T?T", "A.TXT", true},
        {"A.T?T", "A.TX", false},
        {"A.???", "A.TXT", true},
        // Exact masks compare every part; no extension in the mask wants none in the name.
        {"NOTES", "NOTES", true},
        {"NOTES", "NOTES.TXT", false},
        {"NOTES.TXT", "NOTES", false},
        {"NOTES.TXT", "NOTE.TXT", false},
        // Wild masks with a directory select it and everything below it.
        {"DOCS\\*.*", "DOCS\\A.TXT", true},
        {"DOCS\\*.*", "DOCS\\SUB\\B.TXT", true},
        {"DOCS\\*.*", "OTHER\\A.TXT", false},
        {"DOCS\\*.*", "A.TXT", false},
        {"DOCS\\*.*", "OTHER\\DOCS\\A.TXT", false},
        {"DOCS\\*.*", "DOCSX\\A.TXT", false},
        {"C:*.*", "C:\\DATA\\A.TXT", kDrivesAndStreams},  // elsewhere a mask named "C:*"
        {"C:*.*", "D:\\DATA\\A.TXT", false},
        // Other masks with a directory want exactly that directory.
        {"DOCS\\*.TXT", "DOCS\\A.TXT", true},
        {"DOCS\\*.TXT", "DOCS\\SUB\\A.TXT", false},
        {"DOCS\\A.TXT", "A.TXT", false},
        {"C:\\DATA\\REPORT.TXT", "C:\\DATA\\REPORT.TXT", true},
        {"C:\\DATA\\REPORT.TXT", "\\DATA\\REPORT.TXT", false},
        // Case and separators.
        {"c:\\data\\*.txt", "C:\\DATA\\X.TXT", true},
        {"C:\\DATA\\*.TXT", "c:/data/x.txt", true},
        {"C:/DATA/*.DOC", "C:\\DATA\\A.DOC", true},
        // Names are UTF-8 here: the umlauts as whole characters, never a lead byte alone.
        {"\xC3\xA4.TXT", "\xC3\x84.TXT", true},
        {"\xC3\xB6.TXT", "\xC3\x96.TXT", true},
        {"\xC3\xBC.TXT", "\xC3\x9C.TXT", false},
        {"\xC4\x80?", "\xE4\x80\x80", false},
        {"\xE4.TXT", "\xC4.TXT", false},
    };
    for (const Case& c : cases) {
        FileMaskList list = {nullptr, nullptr};
        ASSERT_EQ(AppendFileMask(c.mask, &list), 1) << c.mask;
        EXPECT_EQ(MatchFileMaskList(c.name, &list), c.selected) << c.mask << " against " << c.name;
        DoneFileMaskList(&list);
    }
}

TEST_F(MaskMatch, AnyMaskOfListSelects) {
    Append("*.DOC");
    Append("DOCS\\*.TXT");
    Append("README.*");
    EXPECT_TRUE(MatchFileMaskList("README.TXT", &list_));
    EXPECT_FALSE(MatchFileMaskList("NOTES.TXT", &list_));
}

TEST_F(MaskMatch, NameLongerThan255BytesIsNotSelected) {
    Append("*.*");
    const std::string longest(255, 'n');
    EXPECT_TRUE(MatchFileMaskList(longest.c_str(), &list_));
    EXPECT_FALSE(MatchFileMaskList((longest + "n").c_str(), &list_));
}

TEST_F(MaskMatch, LeavesStatusAndStoredCaseAlone) {
    Append("c:\\data\\*.txt");
    SetArchiveStatus(kStatusBadFormat);
    EXPECT_TRUE(MatchFileMaskList("C:\\DATA\\X.TXT", &list_));
    EXPECT_FALSE(MatchFileMaskList("C:\\DATA\\X.DOC", &list_));
    EXPECT_EQ(GetArchiveStatus(), kStatusBadFormat);
    EXPECT_STREQ(list_.head->directory, "c:\\data\\");
    EXPECT_STREQ(list_.head->extension, "txt");
}

}  // namespace
}  // namespace uuarc
