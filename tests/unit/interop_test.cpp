// interop_test.cpp - files made by encoders nobody here wrote decode to the original bytes, and
// files that uuarc creates decode with those tools' decoders. The tools come from Debian's
// sharutils (uuencode, uudecode), uudeview (uuenview) and Python's binascii; a missing tool skips.
#include <cstdlib>
#include <random>

#include "test_support.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

constexpr size_t kSizes[] = {0, 1, 44, 45, 46, 100, 9000, 300000};

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

class Interop : public ModuleTest {
protected:
    std::string MakeSource(size_t size) {
        const std::string bytes = RandomBytes(size, static_cast<unsigned>(size) + 1);
        Write("src.bin", bytes);
        return bytes;
    }
    int Shell(const std::string& command) const { return std::system(("cd '" + dir_ + "' && " + command).c_str()); }

    // Extracts `archive` into the folder "out" through the exports; the decoded bytes.
    std::string Extract(const std::string& archive) {
        std::filesystem::remove_all(Native("out"));
        std::filesystem::create_directory(Native("out"));
        InitArcFile(Win(archive).c_str());
        SetOutputPath(Win("out").c_str());
        FileMaskList list;
        InitFileMaskList(&list);
        AppendFileMask("*.*", &list);
        ExtractFileMaskListArc(&list);
        DoneFileMaskList(&list);
        return Read("out/src.bin");
    }
};

TEST_F(Interop, GnuUuencodeFilesDecode) {
    if (!Have("uuencode")) GTEST_SKIP() << "uuencode (sharutils) not installed";
    for (size_t size : kSizes) {
        const std::string bytes = MakeSource(size);
        ASSERT_EQ(Shell("uuencode src.bin src.bin > gnu.uue"), 0);
        EXPECT_EQ(Extract("gnu.uue"), bytes) << size;
        EXPECT_STATUS(0) << size;
    }
}

TEST_F(Interop, GnuBase64FilesDecode) {
    if (!Have("uuencode")) GTEST_SKIP() << "uuencode (sharutils) not installed";
    for (size_t size : kSizes) {
        const std::string bytes = MakeSource(size);
        ASSERT_EQ(Shell("uuencode -m src.bin src.bin > gnu64.uue"), 0);
        EXPECT_EQ(Extract("gnu64.uue"), bytes) << size;
        EXPECT_STATUS(0) << size;
    }
}

TEST_F(Interop, BinasciiFilesWithSpacesForZeroDecode) {
    if (!Have("python3")) GTEST_SKIP() << "python3 not installed";
    for (size_t size : kSizes) {
        const std::string bytes = MakeSource(size);
        ASSERT_EQ(Shell("python3 -c \"import binascii; d=open('src.bin','rb').read(); "
                        "o=open('py.uue','wb'); o.write(b'begin 644 src.bin\\n'); "
                        "[o.write(binascii.b2a_uu(d[i:i+45], backtick=False)) for i in range(0, len(d), 45)]; "
                        "o.write(binascii.b2a_uu(b'', backtick=False) + b'end\\n')\""),
                  0);
        EXPECT_EQ(Extract("py.uue"), bytes) << size;
        EXPECT_STATUS(0) << size;
    }
}

TEST_F(Interop, UuenviewFilesDecode) {
    if (!Have("uuenview")) GTEST_SKIP() << "uuenview (uudeview) not installed";
    for (size_t size : kSizes) {
        const std::string bytes = MakeSource(size);
        ASSERT_EQ(Shell("uuenview -u src.bin > uu.uue 2>/dev/null"), 0);
        EXPECT_EQ(Extract("uu.uue"), bytes) << size;
        EXPECT_STATUS(0) << size;
        // The xx files of one byte have a first line that reads whole in XX only.
        ASSERT_EQ(Shell("uuenview -x src.bin > xx.uue 2>/dev/null"), 0);
        EXPECT_EQ(Extract("xx.uue"), bytes) << size;
        EXPECT_STATUS(0) << size;
    }
}

// Files as mail delivers them: Python's encoder with blanks for zero, then every trailing blank
// stripped as mailers and editors do; GNU uuencode's lines with empty lines put among them.
TEST_F(Interop, MailedFilesDecode) {
    if (!Have("python3") || !Have("uuencode")) GTEST_SKIP() << "python3 or uuencode (sharutils) not installed";
    for (size_t size : kSizes) {
        std::string bytes = MakeSource(size);
        for (size_t at = 0; at < size; ++at) bytes[at] = at % 45 >= 45 - at / 45 % 9 ? '\0' : bytes[at];  // zeros end lines
        Write("src.bin", bytes);
        ASSERT_EQ(Shell("python3 -c \"import binascii; d=open('src.bin','rb').read(); o=open('py.uue','wb'); "
                        "o.write(b'begin 644 src.bin\\n'); o.write(b''.join(binascii.b2a_uu(d[i:i+45], backtick=False) "
                        "for i in range(0, len(d), 45)) + binascii.b2a_uu(b'', backtick=False) + b'end\\n')\" && "
                        "sed 's/ *$//' py.uue > stripped.uue && "
                        "uuencode src.bin src.bin | awk 'NR % 3 == 2 { print \"\" } { print }' > spaced.uue"),
                  0);
        for (const char* archive : {"stripped.uue", "spaced.uue"}) {
            EXPECT_EQ(Extract(archive), bytes) << archive << " " << size;
            EXPECT_STATUS(0) << archive << " " << size;
        }
    }
}

TEST_F(Interop, CreatedFilesDecodeWithOtherDecoders) {
    const bool have_uudecode = Have("uudecode");
    const bool have_python = Have("python3");
    if (!have_uudecode && !have_python) GTEST_SKIP() << "neither uudecode nor python3 installed";
    for (size_t size : kSizes) {
        const std::string bytes = MakeSource(size);
        std::filesystem::remove(Native("made.uue"));
        CreateArcFile(Win("made.uue").c_str());
        FileMaskList list;
        InitFileMaskList(&list);
        AppendFileMask(Win("src.bin").c_str(), &list);
        CompressFileMaskListArc(&list);
        DoneFileMaskList(&list);
        ASSERT_STATUS(0) << size;
        if (have_uudecode) {
            ASSERT_EQ(Shell("uudecode -o gnu.out made.uue"), 0) << size;
            EXPECT_EQ(Read("gnu.out"), bytes) << size;
        }
        if (have_python) {
            ASSERT_EQ(Shell("python3 -c \"import binascii; t=open('made.uue','rb').read().split(b'\\r\\n'); "
                            "i=t.index(b'begin 644 src.bin'); e=t.index(b'end', i); "
                            "open('py.out','wb').write(b''.join(binascii.a2b_uu(l) for l in t[i+1:e]))\""),
                      0);
            EXPECT_EQ(Read("py.out"), bytes) << size;
        }
        EXPECT_EQ(Extract("made.uue"), bytes) << size;
    }
}

// ---- Names --------------------------------------------------------------------------------

// Names as Unix encoders write them: UTF-8, with spaces and tabs, the begin line with or without
// trailing blanks. Each must come back exactly, from GNU uuencode and from a Python-written file.
TEST_F(Interop, NamesFromOtherEncodersComeBackExactly) {
    const bool have_uuencode = Have("uuencode");
    if (!have_uuencode && !Have("python3")) GTEST_SKIP() << "neither uuencode (sharutils) nor python3 installed";
    if (!have_uuencode) std::fprintf(stderr, "uuencode (sharutils) not installed: its files left out\n");
    for (const std::string name : {"naïve.txt", "report final.bin", "œuvre €uro.txt", "Документ.txt", "中文 😀.bin",
                                   "tab\there.txt", "\u2126.txt"}) {
        const std::string bytes = MakeSource(100);
        std::filesystem::rename(Native("src.bin"), Native(name));
        const std::string quoted = "'" + name + "'";
        std::vector<std::string> archives;
        if (have_uuencode) {
            ASSERT_EQ(Shell("uuencode " + quoted + " " + quoted + " > gnu.uue"), 0) << name;
            archives.push_back("gnu.uue");
        }
        if (Have("python3")) {
            ASSERT_EQ(Shell("python3 -c \"import binascii,os,sys; n=os.fsencode(sys.argv[1]); d=open(n,'rb').read(); "
                            "o=open('py.uue','wb'); o.write(b'begin 644 ' + n + b' \\t\\r\\n'); "
                            "[o.write(binascii.b2a_uu(d[i:i+45])) for i in range(0, len(d), 45)]; "
                            "o.write(b'\\x60\\nend\\n')\" " + quoted),
                      0) << name;
            archives.push_back("py.uue");
        }
        for (const std::string& archive : archives) {
            std::filesystem::remove_all(Native("out"));
            std::filesystem::create_directory(Native("out"));
            InitArcFile(Win(archive).c_str());
            SetOutputPath(Win("out").c_str());
            WithMasks(ExtractFileMaskListArc, {"*.*"});
            EXPECT_STATUS(0) << archive << " " << name;
            EXPECT_EQ(Read("out/" + name), bytes) << archive << " " << name;
        }
        std::filesystem::remove(Native(name));
    }
}

// What this module stores GNU uudecode writes under the same name: the name's own UTF-8 bytes.
TEST_F(Interop, CreatedNamesDecodeWithGnuUudecode) {
    if (!Have("uudecode")) GTEST_SKIP() << "uudecode (sharutils) not installed";
    struct Case {
        const char* name;
        const char* decoded_as;
    } cases[] = {
        {"œuvre.txt", "œuvre.txt"}, {"Øre.txt", "Øre.txt"},       {"€uro.txt", "€uro.txt"},
        {"\u2126.txt", "\u2126.txt"}, {"中文 😀.txt", "中文 😀.txt"}, {"my file.txt", "my file.txt"},
        {"Müller.txt", "Müller.txt"}, {"Ωmega.txt", "Ωmega.txt"}, {"café.txt", "café.txt"},
    };
    std::filesystem::create_directory(Native("gnu"));
    for (const Case& c : cases) {
        Write(c.name, "abc");
        std::filesystem::remove(Native("made.uue"));
        CreateArcFile(Win("made.uue").c_str());
        WithMasks(CompressFileMaskListArc, {Win(c.name)});
        ASSERT_STATUS(0) << c.name;
        ASSERT_EQ(Shell("cd gnu && uudecode ../made.uue"), 0) << c.name;
        EXPECT_EQ(Read(std::string("gnu/") + c.decoded_as), "abc") << c.name;
    }
}

}  // namespace
}  // namespace uuarc::test
