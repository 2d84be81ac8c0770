// format_test.cpp - alphabets and table blocks, the header scan and the reading rules of encoded
// files, through the format routines themselves (the line codec's paths: codec_test.cpp).
#include <algorithm>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "format/alphabet.h"
#include "format/codec_path.h"
#include "format/header.h"
#include "format/line_codec.h"
#include "test_support.h"
#include "tests/codec_paths.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

// The format routines' own state, as a caller hands it to them.
AlphabetState g_alphabet;
Stream g_input;

class Format : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        g_alphabet = AlphabetState{};
    }
    // Extracts the file as the module does (on the test's codec path where it has one) and returns
    // the bytes decoded, the status in status_: 9974 when the header scan fails.
    std::string Decode(const std::string& name) {
        std::filesystem::remove_all(Native("out"));
        InitArcFile(Win(name).c_str());
        SetOutputPath(Win("out").c_str());
        WithMasks(ExtractFileMaskListArc, {"*.*"});
        status_ = GetArchiveStatus();
        std::error_code none;
        for (const auto& entry : std::filesystem::directory_iterator(Native("out"), none)) {
            return Read("out/" + entry.path().filename().string());
        }
        return {};
    }
    uint16_t status_ = kStatusOk;
};

// The reading rules of whole files, once on each codec path: the runs of full lines and the line
// routines must give every file the same reading.
class Reading : public Format, public ::testing::WithParamInterface<CodecPath> {
protected:
    void SetUp() override {
        Format::SetUp();
        before_ = ActiveCodecPath();
        if (!SetCodecPath(GetParam())) GTEST_SKIP() << "this processor lacks " << CodecPathName(GetParam());
    }
    void TearDown() override {
        SetCodecPath(before_);
        Format::TearDown();
    }
    struct Case {
        std::string text;
        std::string expected;  // the bytes decoded: of a damaged file, those before the damage
        uint16_t status;
    };
    // Each case decoded: its status, and its bytes (those before the damage for a failed one).
    void ExpectReadings(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            Write("r.uue", c.text);
            const std::string got = Decode("r.uue");
            EXPECT_EQ(status_, c.status) << c.text.substr(0, 60);
            EXPECT_EQ(got, c.expected) << c.text.substr(0, 60);
        }
    }

private:
    CodecPath before_ = CodecPath::Words;
};

std::string DefaultAlphabetTable() {
    std::string first = "`", second;
    for (int c = 0x21; c <= 0x3F; ++c) first += static_cast<char>(c);
    for (int c = 0x40; c <= 0x5F; ++c) second += static_cast<char>(c);
    return "table\r\n" + first + "\r\n" + second + "\r\n";
}

// A permuted alphabet: the classic file re-spelt with it decodes only through its table block.
std::string Respell(const std::string& classic_body, const std::string& alphabet) {
    std::string out;
    bool at_line_start = true, in_data = false;
    for (size_t i = 0; i < classic_body.size(); ++i) {
        const char c = classic_body[i];
        if (at_line_start) in_data = classic_body.compare(i, 6, "begin ") != 0 && classic_body.compare(i, 3, "end") != 0;
        at_line_start = c == '\n';
        if (in_data && c != '\r' && c != '\n') {
            const int value = c == '`' ? 0 : c - 0x20;
            out += alphabet[value];
        } else {
            out += c;
        }
    }
    return out;
}

// ---- Alphabets and tables ---------------------------------------------------------------------

TEST_F(Format, DecodeTableIsExactInverseOfEveryAlphabetPlusSpaceRule) {
    const auto expect_default = [](const char* when) {
        for (int c = 0; c < 256; ++c) {
            const uint8_t value = CharValue(g_alphabet, static_cast<char>(c));
            const int expected = (c == '`' || c == ' ') ? 0 : (c >= 0x21 && c <= 0x5F) ? c - 0x20 : 127;
            EXPECT_EQ(value, expected) << when << ' ' << c;
        }
    };
    // The reset's ready-made table is the one built from its alphabet, also after another one.
    ResetDefaultAlphabet(g_alphabet);
    expect_default("reset");
    ASSERT_EQ(BuildDecodeTable(g_alphabet), 0);
    expect_default("built");
    EXPECT_EQ(SwitchToXxAlphabet(g_alphabet, 'h'), 45);
    for (int c = 0; c < 256; ++c) {
        const char* hit = c != 0 ? static_cast<const char*>(std::memchr(kXxAlphabet, c, 64)) : nullptr;
        EXPECT_EQ(CharValue(g_alphabet, static_cast<char>(c)), hit ? hit - kXxAlphabet : 127) << c;  // no space rule in XX
    }
    ResetDefaultAlphabet(g_alphabet);
    expect_default("reset after xx");
}

TEST_F(Format, SwitchToXxLeavesAlphabetAloneForForeignCharacter) {
    ResetDefaultAlphabet(g_alphabet);
    EXPECT_EQ(SwitchToXxAlphabet(g_alphabet, '~'), 127);
    EXPECT_EQ(SwitchToXxAlphabet(g_alphabet, static_cast<char>(0xE9)), 127);
    EXPECT_EQ(g_alphabet.active, AlphabetKind::Default);
    EXPECT_FALSE(g_alphabet.xx_mode);
}

TEST_F(Format, TableBlockDecodesWhateverItsSplit) {
    std::string alphabet;
    for (int c = 0x7E; alphabet.size() < 64; --c) alphabet += static_cast<char>(c);  // ~ } | ... reversed
    const std::string payload = RandomBytes(500, 1);
    const std::string body = Respell(ClassicUuencode("file.bin", payload), alphabet);
    const std::string splits[] = {
        alphabet.substr(0, 32) + "\r\n" + alphabet.substr(32) + "\r\n",
        alphabet + "\r\n",
        alphabet.substr(0, 10) + "\r\n" + alphabet.substr(10, 30) + "\r\n" + alphabet.substr(40) + "\r\n",
        alphabet + "123456\r\n",                               // beyond the 64th: ignored
        alphabet.substr(0, 5) + "\xE9" + alphabet.substr(5) + "\r\n",  // 0x80 and up: skipped
    };
    for (const std::string& split : splits) {
        Write("t.uue", "Subject: x\r\ntables follow\r\ntable \t\r\n" + split + body);
        EXPECT_EQ(Decode("t.uue"), payload) << split;
        EXPECT_STATUS(kStatusOk);
    }
}

TEST_F(Format, TableListingDefaultAlphabetChangesNothing) {
    const std::string payload = RandomBytes(1000, 2);
    Write("t.uue", DefaultAlphabetTable() + ClassicUuencode("file.bin", payload));
    EXPECT_EQ(Decode("t.uue"), payload);
}

TEST_F(Format, SpaceStillDecodesAsZeroWhenTableListsItElsewhere) {
    std::string alphabet = "`!\"#$ ";  // the space at position 5
    for (int c = 0x26; alphabet.size() < 64; ++c) alphabet += static_cast<char>(c);
    ResetDefaultAlphabet(g_alphabet);
    ASSERT_EQ(UseTableAlphabet(g_alphabet, alphabet.data()), 0);
    EXPECT_EQ(CharValue(g_alphabet, ' '), 0);
    EXPECT_EQ(CharValue(g_alphabet, '$'), 4);
}

TEST_F(Format, BadTableBlocksFailTheScan) {
    std::string alphabet;
    for (int c = 0x21; alphabet.size() < 64; ++c) alphabet += static_cast<char>(c);
    std::string duplicate = alphabet;
    duplicate[40] = duplicate[3];
    const std::string bad[] = {
        "table\r\n" + duplicate + "\r\nbegin 644 x\r\n",        // repeated
        "text\r\ntable",                                        // last line
        "table\r\n" + alphabet.substr(0, 40) + "\r\nend\r\n",   // cut short by the end of the file
    };
    for (const std::string& text : bad) {
        Write("t.uue", text);
        char name[kNameBufferSize] = "untouched";
        int64_t size = -1;
        EXPECT_EQ(ScanArchiveHeader(g_alphabet, g_input, Win("t.uue").c_str(), name, &size), kStatusBadFormat);
        EXPECT_STREQ(name, "untouched");
        EXPECT_EQ(size, static_cast<int64_t>(text.size()) * 10 / 14);
    }
}

// A line that begins with "table" starts a block when 64 distinct characters follow within 16
// lines. Without them, "table" alone (blanks after it allowed) meant a block that is damaged;
// prose is free text, the alphabet before it stays, and the lines read ahead are scanned again.
TEST_P(Reading, TableBlocksAreKnownByTheirContent) {
    using namespace std::string_literals;
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    std::string in_seventeen, in_sixteen;
    for (size_t at = 0; at < 64; at += 4) in_sixteen += table.substr(at, 4) + "\n";
    in_seventeen = table.substr(0, 3) + "\n" + table.substr(3, 1) + "\n" + in_sixteen.substr(5);
    const std::string classic = ClassicUuencode("file.bin", "table rules", '`', "\n");
    const std::string respelt = Respell(classic, table);
    const std::string rules = "table rules";
    ExpectReadings({
        {"tables follow below, see attachment\n" + classic, rules, kStatusOk},
        {"table of contents\n" + table.substr(0, 40) + "\n" + classic, rules, kStatusOk},  // the begin line read ahead
        {"tables\n" + table.substr(0, 63) + "~\n" + classic, rules, kStatusOk},           // a repeat: no block
        {"table of contents\nchapter 1\ntable\n" + table + "\n" + respelt, rules, kStatusOk},  // found again
        {"tablecloth\n" + table + "\n" + respelt, rules, kStatusOk},
        {"table:\n" + table.substr(0, 32) + "\n" + table.substr(32) + "\n" + respelt, rules, kStatusOk},
        {"table \t\r\n" + table + "\n" + respelt, rules, kStatusOk},
        {"table\n" + in_sixteen + respelt, rules, kStatusOk},
        {"table\n" + in_seventeen + respelt, "", kStatusNotEncoded},
        {"table\n" + table.substr(0, 32) + "\n" + respelt, "", kStatusNotEncoded},  // its second line lost
        {"table\n" + table.substr(0, 40) + "\n\0"s + table + "\n" + classic, "", kStatusNotEncoded},
        {"table\n" + table + "\ntable\n" + table.substr(1) + "\n" + respelt, "", kStatusNotEncoded},
    });
}

TEST_F(Format, SecondTableBlockWins) {
    std::string first, second;
    for (int c = 0x21; first.size() < 64; ++c) first += static_cast<char>(c);
    for (int c = 0x7E; second.size() < 64; --c) second += static_cast<char>(c);
    const std::string payload = "second table";
    Write("t.uue", "table\n" + first + "\ntable\n" + second + "\n" + Respell(ClassicUuencode("file.bin", payload), second));
    EXPECT_EQ(Decode("t.uue"), payload);
}

TEST_F(Format, EachScanStartsFromDefaultAlphabet) {
    Write("xx.uue", "begin 644 x\nh" + std::string(60, '+') + "\nend\n");
    EXPECT_EQ(Decode("xx.uue"), std::string(45, '\0'));
    EXPECT_TRUE(g_state.alphabet.xx_mode);
    // A classic file with spaces for zero right after: the space rule is back.
    Write("spaces.uue", "begin 644 x\n#    \n \nend\n");
    EXPECT_EQ(Decode("spaces.uue"), std::string(3, '\0'));
    EXPECT_STATUS(kStatusOk);
}

// ---- Header scan ------------------------------------------------------------------------------

TEST_F(Format, ScanFindsNameAndEstimatesSize) {
    std::string text = "From: someone\r\nbegin 644 report.txt\r\n";
    text += std::string(1400 - text.size() - 5, 'x') + "\r\nend";
    Write("a.uue", text);
    char name[kNameBufferSize] = {};
    int64_t size = 0;
    EXPECT_EQ(ScanArchiveHeader(g_alphabet, g_input, Win("a.uue").c_str(), name, &size), kStatusOk);
    EXPECT_STREQ(name, "report.txt");
    EXPECT_EQ(size, 1000);
}

TEST_F(Format, EstimateHoldsForLargeFiles) {
    EXPECT_EQ(EstimateDecodedSize(300000000), 214285714);
    EXPECT_EQ(EstimateDecodedSize(1424), 1017);
    EXPECT_EQ(EstimateDecodedSize(int64_t{3} << 30), (int64_t{3} << 30) * 10 / 14);
}

TEST_F(Format, MissingFileGivesFiveOrTwo) {
    char name[kNameBufferSize] = "kept";
    int64_t size = 77;
    EXPECT_EQ(ScanArchiveHeader(g_alphabet, g_input, Win("none.uue").c_str(), name, &size), kStatusCannotOpen);
    EXPECT_STREQ(name, "kept");
    EXPECT_EQ(size, 77);
    EXPECT_EQ(ProbeArchiveHeader(g_alphabet, g_input, Win("none.uue").c_str()), kStatusNoTarget);
    Write("plain.txt", "no begin here\n");
    EXPECT_EQ(ProbeArchiveHeader(g_alphabet, g_input, Win("plain.txt").c_str()), kStatusBadFormat);
}

TEST_F(Format, BeginLineRules) {
    struct Case {
        const char* text;
        const char* name;  // nullptr: no begin line found
    };
    const Case cases[] = {
        {"begin\t644 tab.txt\nbegin 644 real.txt\n", "real.txt"},  // a tab after begin does not do
        {"BEGIN 644 upper\n", nullptr},                            // case-sensitive
        {" begin 644 indented\n", nullptr},                        // anchored at the first character
        {"begin  0644   spaced.bin  trailing\n", "spaced.bin  trailing"},
        {"begin 644 two words.txt\n", "two words.txt"},            // the name keeps its spaces
        {"begin 644 \t tab\tinside \t \n", "tab\tinside"},          // trailing spaces and tabs go
        {"begin 644 cr only\rM86)C\r`\rend\r", "cr only"},           // a lone CR ends the name
        {"begin 644 \t \r\nbegin 644\rname\nbegin 600 y\n", "y"},    // nothing before the line end
        {"begin the meeting at noon\nbegin 600 mail.txt\n", "mail.txt"},  // prose is passed over
        {"begin 644\nbegin 644 \nbegin 6448x y\nbegin 755 ok\n", "ok"},    // no name, no octal mode
        {"begin 644 name.txt\r\n", "name.txt"},                    // the CR does not join the name
    };
    for (const Case& c : cases) {
        Write("b.uue", c.text);
        char name[kNameBufferSize] = {};
        int64_t size = 0;
        const uint16_t status = ScanArchiveHeader(g_alphabet, g_input, Win("b.uue").c_str(), name, &size);
        if (c.name == nullptr) {
            EXPECT_EQ(status, kStatusBadFormat) << c.text;
        } else {
            EXPECT_EQ(status, kStatusOk) << c.text;
            EXPECT_STREQ(name, c.name) << c.text;
        }
    }
}

// A Linux name is bytes: one that is not UTF-8 (OEM from DOS, Latin-1) is taken as it is. Under
// Windows it would be read as OEM code page 437 (the export suite checks that under Wine).
TEST_F(Format, StoredNameIsItsBytesAndNeverCutInsideACharacter) {
    const auto repeat = [](const std::string& text, size_t count) {
        std::string out;
        while (count-- > 0) out += text;
        return out;
    };
    const std::string box(86, '\xc4');   // OEM box drawing: three bytes each in UTF-8
    const std::string e_acutes = repeat("é", 122);
    struct Case {
        std::string stored;
        std::string name;
        bool cut;
    } cases[] = {
        {"M\x81ller.txt", "M\x81ller.txt", false},
        {"caf\xe9 r\xe9sum\xe9.txt", "caf\xe9 r\xe9sum\xe9.txt", false},
        {"plain name.txt", "plain name.txt", false},
        {"naïve œuvre €uro Ω 中文 😀.bin", "naïve œuvre €uro Ω 中文 😀.bin", false},
        // Not UTF-8: a lead byte alone, an overlong slash, a surrogate.
        {"\xc3(", "\xc3(", false},
        {"\xc0\xaf", "\xc0\xaf", false},
        {"\xed\xa0\x80", "\xed\xa0\x80", false},
        {"\xc3\xa9", "é", false},
        // 86 OEM box characters would take 258 bytes in UTF-8; as bytes they fit.
        {box, box, false},
        // The line buffer cuts the begin line inside the 122nd e acute: that piece goes.
        {"x" + e_acutes, "x" + repeat("é", 121), false},
    };
    for (const Case& c : cases) {
        Write("n.uue", "begin 644 " + c.stored + "\n`\nend\n");
        char name[kNameBufferSize + 16];
        std::memset(name, '#', sizeof name);
        int64_t size = 0;
        bool cut = !c.cut;
        ASSERT_EQ(ScanArchiveHeader(g_alphabet, g_input, Win("n.uue").c_str(), name, &size, &cut), kStatusOk) << c.stored;
        EXPECT_EQ(std::string(name), c.name) << c.stored;
        EXPECT_EQ(cut, c.cut) << c.stored;
        for (size_t i = kNameBufferSize; i < sizeof name; ++i) ASSERT_EQ(name[i], '#');
    }
}

TEST_F(Format, LongBeginLineNeverOverrunsName) {
    // 600 name characters: the line reads in 254-character pieces; the name is cut, not spilled.
    Write("l.uue", "begin 644 " + std::string(600, 'n') + "\n`\nend\n");
    char name[kNameBufferSize + 16];
    std::memset(name, '#', sizeof name);
    int64_t size = 0;
    ASSERT_EQ(ScanArchiveHeader(g_alphabet, g_input, Win("l.uue").c_str(), name, &size), kStatusOk);
    EXPECT_EQ(std::strlen(name), 254u - 10u);
    for (size_t i = kNameBufferSize; i < sizeof name; ++i) EXPECT_EQ(name[i], '#');
}

// ---- Reading rules ------------------------------------------------------------------------------

TEST_P(Reading, ReadingRulesOfWholeFiles) {
    using namespace std::string_literals;
    const std::string payload = RandomBytes(4000, 3);
    const std::string crlf = ClassicUuencode("file.bin", payload);
    const std::string lf = ClassicUuencode("file.bin", payload, '`', "\n");
    ExpectReadings({
        {lf, payload, kStatusOk},
        {"junk\r\n" + crlf + "trailing text\r\nbegin 644 other\r\n!80``\r\nend\r\n", payload, kStatusOk},
        {crlf + "\x1A" + "ignored", payload, kStatusOk},
        {"begin 644 x\r\n#86)C\r\nend of data, and more\r\n", "abc", kStatusOk},
        {"begin 644 x\r\n#86)C\r\n`\r\n#86)C\r\nend\r\n", "abcabc", kStatusOk},  // zero-length line
        {"begin 644 x\r\n\r\n#86)C\r\n\r\n#86)C\r\r\n\r\r\nend\r\n", "abcabc", kStatusOk},  // empty lines
        {"begin 644 x\r\n#86)C\r\n\r\n", "abc", kStatusBadFormat},               // still no end
        {"begin 644 x\r\n#86)C\r\n&8a\r\nend\r\n", "abc", kStatusBadFormat},     // a stripped line still fails
        {"begin 644 c.bin\n#86)C\r#86)C\n`\nend\n", "abcabc", kStatusOk},      // a lone CR ends a line
        // The first data line settles the alphabet: the active one when it reads whole there, XX
        // when only XX reads it whole, else its length character's.
        {"begin 644 x\n1MK7X\n+\nend\n", "abc", kStatusOk},                  // "1" is a classic length too
        {"begin 644 x\n\n-AE++\n+\nend\n", "1", kStatusOk},                 // a one-byte xx file
        {"begin 644 x\n0AAAAAAAAAAAAAAAAAAAAAAAA\n`\nend\n",                // whole in both
         "\x86\x18\x61\x86\x18\x61\x86\x18\x61\x86\x18\x61\x86\x18\x61\x86", kStatusOk},
        {"begin 644 x\nh\n+\nend\n", "", kStatusBadFormat},                  // whole in neither; XX never pads
        {"begin 644 x\r\n#86)C\r\n", "abc", kStatusBadFormat},                     // no end
        {"begin 644 x\r\n#86)C\r\nEND-------\r\n", "abc\xBA" "CM4\xD3M4"s + std::string(30, '\0'),  // END is data
         kStatusBadFormat},
        {"begin 644 x\r\n~abc\r\nend\r\n", "", kStatusBadFormat},                  // in no alphabet
        {"begin 644 x\r\n" + crlf.substr(crlf.find('\n') + 1, 200) + "\x1A" + "end\r\n", payload.substr(0, 135),
         kStatusBadFormat},
    });
}

// A missing character that carries data reads as 0 only where blanks can have been stripped: the
// alphabet reads a blank as 0, no data line uses the backquote for 0 and none ends in a blank that
// was kept. The sign may come after the line cut short; the bytes before that line stay.
TEST_P(Reading, ShortLinesReadPaddedOnlyWhereBlanksCanHaveBeenStripped) {
    using namespace std::string_literals;
    std::string blank_table = " ";  // a table that writes 0 as a blank, "#" for 3 and so on
    for (int c = 0x21; blank_table.size() < 64; ++c) blank_table += static_cast<char>(c);
    std::string other_table = blank_table;
    std::swap(other_table[0], other_table[63]);  // "_" for 0
    const std::string short_abc = "#86)\n";       // "abc" with its last character stripped
    ExpectReadings({
        {"begin 644 x\n#86(\nend\n", "ab\0"s, kStatusOk},                            // stripped, nothing shows it
        {"begin 644 x\nM\n\nend\n", std::string(45, '\0'), kStatusOk},                // the zero-length line too
        {"begin 644 x\n" + short_abc + "#86)C``\nend\n", "ab@abc", kStatusOk},         // after the groups: no sign
        {"begin 644 a`b\n" + short_abc + "end\n", "ab@", kStatusOk},                  // nor in the begin line
        {"begin 644 x\n!80\n`\nend\n", "a", kStatusOk},                                // short of no data only
        {"begin 644 x\n" + short_abc + "`\nend\n", "", kStatusBadFormat},             // the sign after the line
        {"begin 644 x\n#86)C\n`\n" + short_abc + "end\n", "abc", kStatusBadFormat},  // and before it
        {"begin 644 x\n" + short_abc + "#8``C\nend\n", "", kStatusBadFormat},         // in a group
        {"begin 644 x\n#86)C\n" + short_abc + "#86)C \nend\n", "abc", kStatusBadFormat},  // a kept blank
        {"begin 644 x\nXXX\n \nend\n", "", kStatusBadFormat},                         // the zero-length line kept
        {"begin 644 x\n&86)C\n#86)C   \n`\nend\n", "", kStatusBadFormat},
        {"table\n" + blank_table + "\nbegin 644 x\n" + short_abc + "end\n", "ab@", kStatusOk},
        {"table\n" + other_table + "\nbegin 644 x\n" + short_abc + "end\n", "", kStatusBadFormat},
        {"begin 644 x\n-AE++\n-AE\n+\nend\n", "11", kStatusOk},                       // XX short of no data
        {"begin 644 x\n-AE++\n0AE\n+\nend\n", "1", kStatusBadFormat},                 // XX never pads
        // A character that carries no data is not looked at, and the end of a line is
        {"begin 644 cat.txt\n75&AE(&-A=\"!S870@;VX@=&AE(&UA=\"X~\n`\nend\n", "The cat sat on the mat.", kStatusOk},
    });
}

// The line after the begin line is data, never the end: one that begins with "end" decodes whole
// or is damage, and is never padded. An empty line and then "end" is an empty file.
TEST_P(Reading, FirstDataLineIsNeverTheEnd) {
    using namespace std::string_literals;
    const std::string xx_end = "end" + std::string(54, '+');  // "e" is 42 in XX: 14 whole groups
    std::string blank_table = " ";  // a blank for 0, so that short lines may read padded; "e" is 37
    for (int c = 'A'; c <= '~'; ++c) blank_table += static_cast<char>(c);
    blank_table += '!';
    const std::string blank_head = "table\n" + blank_table + "\nbegin 644 x\n";
    ExpectReadings({
        {"begin 644 e.txt\nend\nend\n", "", kStatusBadFormat},
        {"begin 644 x\r\nend\r\n", "", kStatusBadFormat},
        {"begin 644 x\r\n\r\nend\r\n", "", kStatusOk},
        {"begin 644 x\n" + xx_end + "\n+\nend\n", "\xCE\x90"s + std::string(40, '\0'), kStatusOk},
        {"begin 644 x\n" + xx_end.substr(0, 30) + "\n+\nend\n", "", kStatusBadFormat},
        {blank_head + "end\nend\n", "", kStatusBadFormat},
        {blank_head + "BAB\nend\nend\n", "\x04 "s, kStatusOk},  // the same table pads a line that is not first
    });
}

// A data line is one line however long: what follows its groups is passed over to its end, also
// past the 254 characters of a read, and never read as a line of its own.
TEST_P(Reading, DataLineIsOneLineHoweverLong) {
    std::string a_groups;
    for (int i = 0; i < 15; ++i) a_groups += "\x86\x18\x61";
    const std::string long_line = "M" + std::string(300, 'A');
    ExpectReadings({
        {"begin 644 l.bin\n" + long_line + "\n`\nend\n", a_groups, kStatusOk},
        {"begin 644 l.bin\r\n" + long_line + "\r\n`\r\nend\r\n", a_groups, kStatusOk},
        {"begin 644 l.bin\n" + long_line.substr(0, 254) + "end\n#86)C\n`\nend\n", a_groups + "abc", kStatusOk},
        {"begin 644 l.bin\n" + long_line.substr(0, 254) + "#86)C\n`\nend\n", a_groups, kStatusOk},
        {"begin 644 l.bin\n#86)\n" + long_line + " \nend\n", "", kStatusBadFormat},     // its kept blank counts
        {"begin 644 l.bin\n#86)\n" + long_line + "\nend\n", "ab@" + a_groups, kStatusOk},
    });
}

// A line that begins with "end" ends the data on every path, also where it is a full data line
// (a table in which "e" is 45); when data lines follow it up to another end line, which one ends
// the data cannot be told, and that is damage too.
TEST_P(Reading, EndLineEndsTheDataOnEveryPath) {
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    std::swap(table[25], table[45]);  // "e" for 45; "n" and "d" have values too
    std::string full = "e";
    for (int i = 1; i <= 60; ++i) full += table[i];
    const std::string end_full = "end" + full.substr(3);
    const std::string head = "table\n" + table + "\nbegin 644 t.bin\n" + full + "\n" + full + "\n";
    std::string two_lines(90, '\0');
    uint8_t one[kDecodeBufferSize];
    ResetDefaultAlphabet(g_alphabet);
    UseTableAlphabet(g_alphabet, table.data());
    ASSERT_EQ(DecodeLine(g_alphabet, full + "\n", one, Padding::Refused), 45);
    two_lines.assign(reinterpret_cast<char*>(one), 45);
    two_lines += two_lines;
    ExpectReadings({
        {head + end_full + "\n" + full + "\n" + full + "\nend\n", two_lines, kStatusBadFormat},
        {head + end_full + "x\n" + full + "\nend\n", two_lines, kStatusBadFormat},
        {head + end_full + "\nEND--- cut here ---\n", two_lines, kStatusOk},
        {head + "end\n" + full + "\nend\n", two_lines, kStatusOk},  // "end" alone is no data line here
        {head + end_full + "\n\nend\n", two_lines, kStatusOk},     // no data line between
    });
}

INSTANTIATE_TEST_SUITE_P(Paths, Reading, ::testing::ValuesIn(kEveryCodecPath), CodecPathTestName);

}  // namespace
}  // namespace uuarc::test
