// masks_test.cpp - mask lists through the exports AppendFileMask and DoneFileMaskList: how a
// mask is stored, how the list is linked, and which names a mask selects.
#include "names/masks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/module_state.h"
#include "module/status.h"

namespace uuarc {
namespace {

// Owns one list for a test and gives it back at the end, so leaks show up under the sanitizer.
class MaskList : public ::testing::Test {
protected:
    void SetUp() override {
        list_.head = nullptr;
        list_.tail = nullptr;
        g_state.status = kStatusOk;
    }
    void TearDown() override { DoneFileMaskList(&list_); }

    void Append(const char* mask) {
        ASSERT_EQ(AppendFileMask(mask, &list_), 1) << mask << ", status " << g_state.status;
    }

    std::vector<const FileMask*> Nodes() const {
        std::vector<const FileMask*> nodes;
        for (const FileMask* node = list_.head; node != nullptr; node = node->next) nodes.push_back(node);
        return nodes;
    }

    FileMaskList list_;
};

using MaskStorage = MaskList;
using MaskMatch = MaskList;

// ---- Storage ---------------------------------------------------------------------------------

TEST_F(MaskStorage, SplitIntoDirectoryNameAndExtension) {
    struct Case {
        const char* mask;
        const char* directory;
        const char* name;
        const char* extension;
    };
    const Case cases[] = {
        {"C:/DATA/*.DOC", "C:\\DATA\\", "*", "DOC"},
        {"C:\\DATA\\REPORT.TXT", "C:\\DATA\\", "REPORT", "TXT"},
        {"NOTES", "", "NOTES", ""},
        {"ARCHIVE.TAR.GZ", "", "ARCHIVE.TAR", "GZ"},
        {"C:*.TXT", "C:", "*", "TXT"},
        {"\\DOCS\\*.TXT", "\\DOCS\\", "*", "TXT"},
        {"*.TXT", "", "*", "TXT"},
        {"c:\\data\\*.txt", "c:\\data\\", "*", "txt"},
        {"FILE.", "", "FILE", ""},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        FileMaskList list = {nullptr, nullptr};
        ASSERT_EQ(AppendFileMask(c.mask, &list), 1) << c.mask;
        ASSERT_NE(list.head, nullptr);
        EXPECT_STREQ(list.head->directory, c.directory) << c.mask;
        EXPECT_STREQ(list.head->name, c.name) << c.mask;
        EXPECT_STREQ(list.head->extension, c.extension) << c.mask;
        DoneFileMaskList(&list);
    }
}

TEST_F(MaskStorage, AppendLinksAtTail) {
    Append("A.TXT");
    ASSERT_EQ(list_.head, list_.tail);
    EXPECT_EQ(list_.head->next, nullptr);
    Append("B.TXT");
    Append("C.TXT");
    std::vector<const FileMask*> nodes = Nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_STREQ(nodes[0]->name, "A");
    EXPECT_STREQ(nodes[1]->name, "B");
    EXPECT_STREQ(nodes[2]->name, "C");
    EXPECT_EQ(list_.tail, nodes[2]);
    EXPECT_EQ(list_.tail->next, nullptr);
}

TEST_F(MaskStorage, AppendLeavesStatusAsItWas) {
    g_state.status = kStatusBadFormat;
    Append("*.*");
    EXPECT_EQ(g_state.status, kStatusBadFormat);
}

TEST_F(MaskStorage, DoneEmptiesListAndAppendStartsAgain) {
    Append("A.TXT");
    Append("B.TXT");
    g_state.status = kStatusNotEncoded;
    DoneFileMaskList(&list_);
    EXPECT_EQ(list_.head, nullptr);
    EXPECT_EQ(list_.tail, nullptr);
    EXPECT_EQ(g_state.status, kStatusNotEncoded);
    Append("C.TXT");
    ASSERT_NE(list_.head, nullptr);
    EXPECT_EQ(list_.head, list_.tail);
    EXPECT_STREQ(list_.head->name, "C");
}

TEST_F(MaskStorage, MaskOf255BytesIsTakenLongerIsRefusedUntouched) {
    const std::string longest = std::string(250, 'D') + "\\X.TX";
    ASSERT_EQ(longest.size(), 255u);
    Append(longest.c_str());
    EXPECT_STREQ(list_.tail->name, "X");
    EXPECT_EQ(std::string(list_.tail->directory), std::string(250, 'D') + "\\");

    const FileMask* tail_before = list_.tail;
    g_state.status = kStatusBadFormat;
    EXPECT_EQ(AppendFileMask((longest + "T").c_str(), &list_), 0);
    EXPECT_EQ(list_.tail, tail_before);
    EXPECT_EQ(list_.tail->next, nullptr);
    EXPECT_EQ(g_state.status, kStatusBadFormat);
}

// ---- Matching --------------------------------------------------------------------------------

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
        {"C:*.*", "C:\\DATA\\A.TXT", true},
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
        {"\xE4.TXT", "\xC4.TXT", true},
        {"\xF6.TXT", "\xD6.TXT", true},
        {"\xFC.TXT", "\xDC.TXT", false},
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
    g_state.status = kStatusBadFormat;
    EXPECT_TRUE(MatchFileMaskList("C:\\DATA\\X.TXT", &list_));
    EXPECT_FALSE(MatchFileMaskList("C:\\DATA\\X.DOC", &list_));
    EXPECT_EQ(g_state.status, kStatusBadFormat);
    EXPECT_STREQ(list_.head->directory, "c:\\data\\");
    EXPECT_STREQ(list_.head->extension, "txt");
}

}  // namespace
}  // namespace uuarc
