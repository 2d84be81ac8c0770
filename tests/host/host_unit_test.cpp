// host_unit_test.cpp - the host's own logic without the module: the command-line parser, the
// escaping of names, the name rules behind creation's refusal messages, and what a run removes
// as its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/cleanup.h"
#include "host/console.h"
#include "host/failure.h"
#include "host/module_names.h"
#include "host/options.h"
#include "host/system.h"

namespace uuarc_host {
namespace {

// Runs the parser on `words` (the program name is added); the result and the options it made.
int Parse(std::initializer_list<const char*> words, Options& options) {
    std::vector<std::string> storage = {"uuarc"};
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : storage) argv.push_back(word.data());
    argv.push_back(nullptr);
    options = Options{};
    return ParseCommandLine(static_cast<int>(storage.size()), argv.data(), options);
}

struct SpellingCase {
    std::initializer_list<const char*> words;
    const char* directory;
    bool quiet;
    bool to_stdout;
};

TEST(HostOptions, EverySpellingOfTheFolderAndFlags) {
    const SpellingCase cases[] = {
        {{"extract", "a.uue", "-d", "out"}, "out", false, false},
        {{"extract", "a.uue", "-dout"}, "out", false, false},
        {{"-qd", "out", "extract", "a.uue"}, "out", true, false},
        {{"extract", "-qdout", "a.uue"}, "out", true, false},
        {{"extract", "--directory=out", "a.uue"}, "out", false, false},
        {{"extract", "--dir", "out", "a.uue"}, "out", false, false},
        {{"extract", "--d=out", "--qu", "a.uue"}, "out", true, false},
        {{"extract", "-qc", "a.uue"}, "", true, true},
        {{"extract", "--std", "a.uue"}, "", false, true},
        // A value may start with a dash: it is taken as it is.
        {{"extract", "a.uue", "-d", "-odd"}, "-odd", false, false},
    };
    for (const SpellingCase& c : cases) {
        Options options;
        ASSERT_EQ(Parse(c.words, options), -1) << *c.words.begin() << " " << c.directory;
        EXPECT_EQ(options.command, Command::kExtract);
        ASSERT_EQ(options.operands.size(), 1u);
        EXPECT_EQ(options.operands[0], "a.uue");
        EXPECT_EQ(options.directory, c.directory);
        EXPECT_EQ(options.quiet, c.quiet);
        EXPECT_EQ(options.to_stdout, c.to_stdout);
    }
}

TEST(HostOptions, DoubleDashEndsTheOptionsAndDashIsAnOperand) {
    Options options;
    ASSERT_EQ(Parse({"extract", "-q", "--", "-d", "-"}, options), -1);
    EXPECT_EQ(options.operands, (std::vector<std::string>{"-d", "-"}));
    EXPECT_FALSE(options.has_directory);
    ASSERT_EQ(Parse({"create", "-", "-n", "x.bin", "-o", "-"}, options), -1);
    EXPECT_EQ(options.name, "x.bin");
    EXPECT_EQ(options.output, "-");
}

TEST(HostOptions, UsageErrorsExitOne) {
    const std::initializer_list<const char*> cases[] = {
        {},
        {"frobnicate", "x"},
        {"extract"},
        {"extract", "a.uue", "--o"},              // --output or --overwrite
        {"extract", "a.uue", "--s"},              // --stdout or --skip-existing
        {"extract", "a.uue", "--quiet=yes"},
        {"extract", "a.uue", "--bogus"},
        {"extract", "a.uue", "-x"},
        {"extract", "a.uue", "-qx"},
        {"extract", "a.uue", "-d"},
        {"extract", "a.uue", "--directory"},
        {"extract", "a.uue", "-d", ""},
        {"extract", "a.uue", "-c", "-d", "out"},
        {"extract", "a.uue", "--overwrite", "--skip-existing"},
        {"extract", "-", "-"},
        {"list", "a.uue", "-o", "x"},
        {"list", "a.uue", "--overwrite"},
        {"create", "a.bin", "-d", "out"},
        {"create", "a.bin", "b.bin"},
        {"create", "-"},
        {"create", "a.bin", "-o", ""},
        {"create", "a.bin", "--name", "dir/x"},
        {"create", "a.bin", "--name", ".."},
    };
    for (const auto& words : cases) {
        Options options;
        EXPECT_EQ(Parse(words, options), 1) << (words.size() > 0 ? *words.begin() : "(none)") << " ... "
                                            << (words.size() > 0 ? *(words.end() - 1) : "");
    }
}

TEST(HostOptions, HelpAndVersionEndTheParseWithSuccess) {
    Options options;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Parse({"-V"}, options), 0);
    EXPECT_EQ(Parse({"extract", "--he"}, options), 0);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.rfind("uuarc ", 0), 0u);
    EXPECT_NE(printed.find("--skip-existing"), std::string::npos);
}

struct ShownCase {
    const char* raw;
    const char* shown;
};

TEST(HostConsole, UnprintableBytesAreEscaped) {
    const ShownCase cases[] = {
        {"plain name.txt", "plain name.txt"},
        {"tab\there", "tab\\there"},
        {"new\nline", "new\\nline"},
        {"\x1b[31mred", "\\x1B[31mred"},
        {"bell\x07", "bell\\x07"},
        {"del\x7f", "del\\x7F"},
        {"back\\slash", "back\\slash"},
#if !defined(_WIN32)
        {"caf\xc3\xa9", "caf\xc3\xa9"},                  // é stays
        {"\xe2\x80\xaereversed", "\\u202Ereversed"},     // a right-to-left override
        {"c1\xc2\x85", "c1\\u0085"},                     // NEL, a C1 control
        {"bad\xff", "bad\\xFF"},                         // not UTF-8
        {"cut\xe2\x80", "cut\\xE2\\x80"},                // a sequence cut short
#endif
    };
    for (const ShownCase& c : cases) EXPECT_EQ(Shown(c.raw), c.shown) << c.shown;
}

struct StoredNameCase {
    const char* stored;
    bool keep_paths;
    const char* problem;   // the start of the reason; "" when the name is fine
};

TEST(HostFailure, CreationNameProblemNamesTheRuleAndTheWayOut) {
    const std::string longest(UUARC_MAX_STORED_NAME, 'n'), too_long = longest + "x";
    const StoredNameCase cases[] = {
        {"report\nbegin 644 evil.sh", false, "it holds a control byte ('\\n')"},
        {"a\x1a", false, "it holds a control byte ('\\x1A')"},
        {"trail ", false, "it starts or ends with a blank"},
        {"in side \xe2\x82\xac.txt", false, ""},
        {"caf\xe9.txt", false, ""},  // stored as its bytes, as it is read back
        {"report 14:31.log", false, ""},
        {longest.c_str(), false, ""},
        {too_long.c_str(), false, "it is longer than the 243 bytes that a begin line gives back whole"},
    };
    for (const StoredNameCase& c : cases) {
        const std::string problem = CreationNameProblem(c.stored);
        EXPECT_EQ(problem.rfind(c.problem, 0), 0u) << c.stored << ": " << problem;
        if (*c.problem == '\0') {
            EXPECT_EQ(problem, "") << c.stored;
        } else {
            EXPECT_NE(problem.find("give another with -n"), std::string::npos) << problem;
        }
    }
}

// A new file in a shared folder goes only while it is the file whose identity the run took.
TEST(HostCleanup, OwnFileGoesOnlyWhileItIsTheFileIdentified) {
    std::string folder, error;
    ASSERT_TRUE(MakePrivateFolder(folder, error)) << error;
    const std::string out = folder + "/out";
    const auto exists = [&out] { return std::filesystem::exists(out); };
    LeftoverId id = Remember(LeftoverKind::kOwnFile, out);
    std::ofstream(out) << "someone's";
    EXPECT_FALSE(IdentifyLeftover(id, true));  // not empty: not one made a moment ago
    Settle(id);
    EXPECT_TRUE(exists());
    for (const bool replaced : {true, false}) {
        std::filesystem::remove(out);
        id = Remember(LeftoverKind::kOwnFile, out);
        std::ofstream(out).close();
        ASSERT_TRUE(IdentifyLeftover(id, true));
        if (replaced) {
            std::filesystem::rename(out, folder + "/moved");  // kept, so that its inode is not reused
            std::ofstream(out) << "another run's";
        }
        Settle(id);
        EXPECT_EQ(exists(), replaced);
    }
    std::filesystem::remove_all(folder);
}

// -o FILE and create's target reach the module as its output file, never as a folder.
TEST(HostNames, OutputFileSettingNamesOneFile) {
    std::string setting, error;
    EXPECT_TRUE(ToModuleFile("out/f.bin", setting, error));
    EXPECT_EQ(setting, UUARC_OUTPUT_FILE "out\\f.bin");
    EXPECT_FALSE(ToModuleFile("out/", setting, error));
    EXPECT_NE(error.find("names a folder"), std::string::npos) << error;
    EXPECT_TRUE(ToModuleFile(std::string(249, 'f'), setting, error));
    EXPECT_EQ(setting.size(), size_t{UUARC_MAX_HOST_PATH});
    EXPECT_FALSE(ToModuleFile(std::string(250, 'f'), setting, error));
}

#if !defined(_WIN32)
// A path over the module's limit reaches it through the deepest folder on it that exists, held
// open once however often it is named, and comes back as it was given until the folder goes.
TEST(HostNames, LongPathsThroughTheDeepestFolderHeld) {
    const std::string folder = (std::filesystem::temp_directory_path() / std::string(250, 'x')).string() + "/" +
                               std::string(100, 'y');
    std::filesystem::create_directories(folder);
    const size_t mark = HeldFolderCount();
    std::string module, error;
    ASSERT_TRUE(ToModulePath(folder + "/a.uue", module, error)) << error;
    EXPECT_LE(module.size(), size_t{UUARC_MAX_HOST_PATH});
    EXPECT_EQ(FromModulePath(module), folder + "/a.uue");
    ASSERT_TRUE(ToModuleFolder(folder + "/new", module, error)) << error;
    EXPECT_EQ(module.back(), '\\');
    EXPECT_EQ(FromModulePath(module + "b.bin"), folder + "/new/b.bin");
    EXPECT_EQ(HeldFolderCount(), mark + 1);
    // What is still to be made must fit below the last folder that exists.
    std::string refused;
    EXPECT_FALSE(ToModulePath(folder + "/" + std::string(240, 'm') + "/a", refused, error));
    ReleaseHeldFolders(mark);
    EXPECT_EQ(FromModulePath(module + "b.bin"), ToNativePath(module + "b.bin"));
    std::filesystem::remove_all(std::filesystem::path(folder).parent_path());
}
#endif

}  // namespace
}  // namespace uuarc_host
