// status_test.cpp - the status word, the option bits, the operations this format does not have,
// null pointers at every export that takes one, and the registration of callbacks.
#include <cstring>
#include <functional>

#include "harness.h"

namespace uuarc::test {
namespace {

using StatusWord = HostTest;
using Options = HostTest;

// ---- Status ---------------------------------------------------------------------------------

TEST_F(StatusWord, FreshModuleStartsAsLoaded) {
    EXPECT_STATUS(0);
    EXPECT_EQ(OptionsWord(), UUARC_OPTIONS_AT_LOAD);
    EXPECT_EQ(api_.arOptionsAreOn(0), 1);
    ArcExtraInfo info;
    std::memset(&info, 0xA5, sizeof info);
    api_.GetExtraInfoArc(&info);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
    for (size_t i = 0; i < sizeof info; ++i) ASSERT_EQ(bytes[i], 0) << "summary byte " << i;
}

TEST_F(StatusWord, SetArchiveStatusKeepsLow16Bits) {
    EXPECT_EQ(api_.SetArchiveStatus(0x12345), 0x2345);
    EXPECT_STATUS(0x2345);
}

TEST_F(StatusWord, NotSupportedOperationsSet32770) {
    const struct {
        const char* name;
        void(UUARC_CALL* operation)(uint32_t);
    } cases[] = {
        {"AddDamageProtXionArc", api_.AddDamageProtXionArc}, {"BuildUnDamagedArc", api_.BuildUnDamagedArc},
        {"CreateArcSfx2", api_.CreateArcSfx2},               {"CreateDirectoryArc", api_.CreateDirectoryArc},
        {"CreateExeArc", api_.CreateExeArc},                 {"SetFileCommentsArc", api_.SetFileCommentsArc},
        {"SetMainCommentArc", api_.SetMainCommentArc},       {"StripDamageProtXionArc", api_.StripDamageProtXionArc},
        {"TestArc", api_.TestArc},
    };
    for (const uint32_t argument : {0u, 0xDEADBEEFu}) {
        for (const auto& c : cases) {
            api_.SetArchiveStatus(1);
            c.operation(argument);
            EXPECT_EQ(Status(), 32770) << c.name << "(" << argument << ")";
        }
        api_.SetArchiveStatus(1);
        api_.DeleteFileMaskListArc(argument);
        EXPECT_STATUS(9902);
    }
}

// The exports that never report leave a status set by the host in place.
TEST_F(StatusWord, BookkeepingExportsLeaveStatusAlone) {
    uint32_t words[2];
    FileMaskList masks;
    ArcFileList list;
    ArcExtraInfo info;
    DecompExtraFeatures decomp{};
    CompExtraFeatures comp{};
    api_.InitArcFileList(&list);
    api_.InitFileMaskList(&masks);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"SetCryptKey", [&] { api_.SetCryptKey(1, 2); }},
        {"SetSetCryptKeyProc", [&] { api_.SetSetCryptKeyProc(1, 2); }},
        {"GetMainCommentArc", [&] { api_.GetMainCommentArc(words); }},
        {"InitFileMaskList", [&] { api_.InitFileMaskList(&masks); }},
        {"AppendFileMask", [&] { api_.AppendFileMask("*.*", &masks); }},
        {"DoneFileMaskList", [&] { api_.DoneFileMaskList(&masks); }},
        {"InitArcFileList", [&] { api_.InitArcFileList(&list); }},
        {"DoneArcFileList", [&] { api_.DoneArcFileList(&list); }},
        {"GetExtraInfoArc", [&] { api_.GetExtraInfoArc(&info); }},
        {"DoneArcFile", [&] { api_.DoneArcFile(); }},
        {"SetOutputPath", [&] { api_.SetOutputPath("x"); }},
        {"SetDecompExtraFeatures", [&] { api_.SetDecompExtraFeatures(&decomp); }},
        {"SetCompExtraFeatures", [&] { api_.SetCompExtraFeatures(&comp); }},
        {"SetSetFileNameProc", [&] { api_.SetSetFileNameProc(1, RecordFileName); }},
        {"SetSetProgressProc", [&] { api_.SetSetProgressProc(1, RecordProgress); }},
        {"SetOkToReplaceProc", [&] { api_.SetOkToReplaceProc(1, RecordReplace); }},
        {"SetSetSignalProc", [&] { api_.SetSetSignalProc(1, RecordSignal); }},
        {"SetSkipFileProc", [&] { api_.SetSkipFileProc(1, nullptr); }},
        {"SetSetWarningProc", [&] { api_.SetSetWarningProc(1, nullptr); }},
        {"SetGetNextDiskProc", [&] { api_.SetGetNextDiskProc(1, nullptr); }},
        {"SetSetSfxProgressProc", [&] { api_.SetSetSfxProgressProc(1, nullptr); }},
        {"arOptionsOn", [&] { api_.arOptionsOn(0x0010); }},
        {"arOptionsOff", [&] { api_.arOptionsOff(0x0010); }},
        {"arOptionsAreOn", [&] { api_.arOptionsAreOn(0x0010); }},
    };
    for (const uint16_t status : {4321, 9902}) {
        for (const auto& [name, call] : cases) {
            api_.SetArchiveStatus(status);
            call();
            EXPECT_EQ(Status(), status) << name;
        }
    }
}

// Every export that takes a pointer refuses a null one without reading it: the archive operations
// with 5, the others by doing nothing. The open archive and the settings stay. A null path is no
// empty path: that one still names a new, unnamed archive.
TEST_F(StatusWord, NullPointersRefusedAndNothingChanged) {
    ASSERT_TRUE(MakeFolder(Path("out")));
    api_.SetOutputPath(Path("out").c_str());
    api_.InitArcFile(WriteArchive("a.uue", "a.bin", "abc").c_str());
    ASSERT_STATUS(0);
    constexpr uint16_t kUntouched = 4321;  // the host's own value, left as it was
    const struct {
        const char* name;
        void (*call)(const Exports&);
        uint16_t status;
    } cases[] = {
        {"InitArcFile", [](const Exports& api) { api.InitArcFile(nullptr); }, 5},
        {"CreateArcFile", [](const Exports& api) { api.CreateArcFile(nullptr); }, 5},
        {"BuildArcFileList", [](const Exports& api) { api.BuildArcFileList(nullptr); }, 5},
        {"ExtractFileMaskListArc", [](const Exports& api) { api.ExtractFileMaskListArc(nullptr); }, 5},
        {"CompressFileMaskListArc", [](const Exports& api) { api.CompressFileMaskListArc(nullptr); }, 5},
        {"InitArcFileList", [](const Exports& api) { api.InitArcFileList(nullptr); }, kUntouched},
        {"DoneArcFileList", [](const Exports& api) { api.DoneArcFileList(nullptr); }, kUntouched},
        {"GetExtraInfoArc", [](const Exports& api) { api.GetExtraInfoArc(nullptr); }, kUntouched},
        {"GetMainCommentArc", [](const Exports& api) { api.GetMainCommentArc(nullptr); }, kUntouched},
        {"SetOutputPath", [](const Exports& api) { api.SetOutputPath(nullptr); }, kUntouched},
        {"SetDecompExtraFeatures", [](const Exports& api) { api.SetDecompExtraFeatures(nullptr); }, kUntouched},
        {"SetCompExtraFeatures", [](const Exports& api) { api.SetCompExtraFeatures(nullptr); }, kUntouched},
        {"InitFileMaskList", [](const Exports& api) { api.InitFileMaskList(nullptr); }, kUntouched},
        {"DoneFileMaskList", [](const Exports& api) { api.DoneFileMaskList(nullptr); }, kUntouched},
        {"AppendFileMask", [](const Exports& api) { api.AppendFileMask("*.*", nullptr); }, kUntouched},
    };
    for (const auto& c : cases) {
        api_.SetArchiveStatus(kUntouched);
        c.call(api_);
        EXPECT_EQ(Status(), c.status) << c.name;
    }
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("out\\a.bin")), "abc");
    api_.CreateArcFile("");
    EXPECT_STATUS(0);
}

// Two 32-bit words, also in a 64-bit build where the record's pointer is wider.
TEST_F(StatusWord, MainCommentClearsExactlyEightBytes) {
    uint8_t record[32];
    std::memset(record, 0xA5, sizeof record);
    api_.GetMainCommentArc(record + 8);
    for (size_t i = 0; i < sizeof record; ++i) {
        EXPECT_EQ(record[i], i >= 8 && i < 16 ? 0x00 : 0xA5) << "byte " << i;
    }
}

// ---- Options --------------------------------------------------------------------------------

TEST_F(Options, LockedBitNeverSwitchesOn) {
    EXPECT_EQ(api_.arOptionsOn(0x8000), 0);
    EXPECT_EQ(api_.arOptionsAreOn(0x8000), 0);
    EXPECT_EQ(OptionsWord(), 0x0800);
    EXPECT_EQ(api_.arOptionsOn(0x8010), 0x0010);
    EXPECT_EQ(api_.arOptionsAreOn(0x0010), 1);
    EXPECT_EQ(api_.arOptionsAreOn(0x8000), 0);
    EXPECT_EQ(OptionsWord(), 0x0810);
}

TEST_F(Options, AllOffLeavesWordZero) {
    EXPECT_EQ(api_.arOptionsOff(0xFFFF), 0x8000);
    EXPECT_EQ(OptionsWord(), 0);
    EXPECT_EQ(api_.arOptionsAreOn(0), 1);
}

TEST_F(Options, AreOnNeedsEveryBitOfTheMask) {
    EXPECT_EQ(api_.arOptionsAreOn(0x0810), 0);
    api_.arOptionsOn(0x0010);
    EXPECT_EQ(api_.arOptionsAreOn(0x0810), 1);
    EXPECT_EQ(api_.arOptionsOff(0x0010), 0xFFEF);
    EXPECT_EQ(api_.arOptionsAreOn(0x0810), 0);
    EXPECT_EQ(OptionsWord(), 0x0800);
}

TEST_F(Options, OnlyTheLow16BitsCount) {
    EXPECT_EQ(api_.arOptionsOn(0x10001), 0x0001);
    EXPECT_EQ(api_.arOptionsAreOn(0x0001), 1);
    EXPECT_EQ(OptionsWord(), 0x0801);
}

// ---- Callback registration ------------------------------------------------------------------

// An archive whose extraction makes all four callbacks: the output file exists already.
class Registration : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        archive_ = WriteArchive("r.uue", "r.bin", PatternBytes(100));
        WriteBytes(Path("r.bin"), "old");
    }
    void ExpectEveryKindWithUser(UserData user) const {
        for (CallKind kind : {CallKind::kFileName, CallKind::kProgress, CallKind::kReplace, CallKind::kSignal}) {
            const std::vector<HostCall> calls = CallsOf(kind);
            EXPECT_FALSE(calls.empty()) << "no call of kind " << static_cast<int>(kind);
            for (const HostCall& call : calls) EXPECT_EQ(call.user, user) << "kind " << static_cast<int>(kind);
        }
    }
    std::string archive_;
};

// The procedures stay; only the words go, also when the path names nothing yet.
TEST_F(Registration, InitArcFileClearsUserWords) {
    RegisterRecorders(7);
    api_.InitArcFile(archive_.c_str());
    ASSERT_STATUS(0);
    EXPECT_EQ(Extract({"*.*"}), 0);
    ExpectEveryKindWithUser(0);

    RegisterRecorders(7);
    api_.InitArcFile(Path("none.uue").c_str());
    ASSERT_STATUS(0);
    ClearCalls();
    EXPECT_EQ(Compress({"r.bin"}), 5);  // a new archive without a name
    ASSERT_FALSE(g_calls.empty());
    for (const HostCall& call : g_calls) EXPECT_EQ(call.user, 0u);
}

// The word is pointer-sized in a 64-bit build: a host's pointer comes back whole.
TEST_F(Registration, UserWordsDeliveredWhenRegisteredAfterOpening) {
    const int host_record = 0;
    for (UserData user : {UserData{7}, reinterpret_cast<UserData>(&host_record), ~UserData{0}}) {
        SCOPED_TRACE(user);
        api_.InitArcFile(archive_.c_str());
        RegisterRecorders(user);
        ClearCalls();
        EXPECT_EQ(Extract({"*.*"}), 0);
        ExpectEveryKindWithUser(user);
    }
}

TEST_F(Registration, CreateArcFileClearsUserWords) {
    RegisterRecorders(9);
    api_.CreateArcFile(Path("new.uue").c_str());
    ASSERT_STATUS(0);
    EXPECT_EQ(Compress({"r.bin"}), 0);
    ASSERT_FALSE(g_calls.empty());
    for (const HostCall& call : g_calls) EXPECT_EQ(call.user, 0u);
}

TEST_F(Registration, NullProcedureStopsProgressCalls) {
    api_.InitArcFile(archive_.c_str());
    RegisterRecorders();
    api_.SetSetProgressProc(0, nullptr);
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_TRUE(ProgressCalls().empty());
    EXPECT_FALSE(CallsOf(CallKind::kSignal).empty());
    EXPECT_EQ(ReadBytes(Path("r.bin")), PatternBytes(100));
}

int g_unused_calls = 0;
int UUARC_CALL CountUnusedCall() { return ++g_unused_calls; }

TEST_F(Registration, SkipWarningDiskAndSfxProceduresNeverCalled) {
    g_unused_calls = 0;
    api_.InitArcFile(archive_.c_str());
    OtherProc trap = reinterpret_cast<OtherProc>(CountUnusedCall);
    api_.SetSkipFileProc(1, trap);
    api_.SetSetWarningProc(2, trap);
    api_.SetGetNextDiskProc(3, trap);
    api_.SetSetSfxProgressProc(4, trap);
    EXPECT_EQ(Extract({"*.*"}), 0);
    api_.CreateArcFile(Path("new.uue").c_str());
    EXPECT_EQ(Compress({"r.bin"}), 0);
    EXPECT_EQ(g_unused_calls, 0);
}

}  // namespace
}  // namespace uuarc::test
