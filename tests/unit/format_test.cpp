// format_test.cpp - alphabets and table blocks, the header scan and the reading rules of encoded
// files, through the format routines themselves (the line codec's paths: codec_test.cpp).
#include <algorithm>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "format/alphabet.h"
#include "format/header.h"
#include "format/line_codec.h"
#include "test_support.h"
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
    // Scans and decodes the file as extraction does, into a string; the status in status_.
    std::string Decode(const std::string& name, std::string* stored = nullptr) {
        char found[kNameBufferSize];
        int64_t size = 0;
        status_ = ScanArchiveHeader(g_alphabet, g_input, Win(name).c_str(), found, &size);
        if (status_ != kStatusOk) return {};
        if (stored != nullptr) *stored = found;
        Stream& input = g_input;
        EXPECT_TRUE(StreamOpen(input, Win(name).c_str(), "rt"));
        BeginLine begin;
        EXPECT_EQ(FindBeginLine(g_alphabet, input, begin), 0);
        std::string out;
        char buffer[kLineBufferSize];
        std::string_view line;
        uint8_t data[kDecodeBufferSize];
        const int first = ReadFirstDataLine(g_alphabet, input, buffer, line);
        if (first < 0) {
            status_ = kStatusBadFormat;
        } else if (first == 0) {
            for (;;) {
                const int count = DecodeLine(g_alphabet, line, data);
                if (count < 0) {
                    status_ = kStatusBadFormat;
                    break;
                }
                out.append(reinterpret_cast<char*>(data), static_cast<size_t>(count));
                const int next = ReadNextDataLine(input, buffer, line);
                if (next == 1) break;
                if (next < 0) {
                    status_ = kStatusBadFormat;
                    break;
                }
            }
        }
        StreamClose(input);
        return out;
    }
    uint16_t status_ = kStatusOk;
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
    ResetDefaultAlphabet(g_alphabet);
    ASSERT_EQ(BuildDecodeTable(g_alphabet), 0);
    for (int c = 0; c < 256; ++c) {
        const uint8_t value = CharValue(g_alphabet, static_cast<char>(c));
        const int expected = (c == '`' || c == ' ') ? 0 : (c >= 0x21 && c <= 0x5F) ? c - 0x20 : 127;
        EXPECT_EQ(value, expected) << c;
    }
    EXPECT_EQ(SwitchToXxAlphabet(g_alphabet, 'h'), 45);
    for (int c = 0; c < 256; ++c) {
        const char* hit = c != 0 ? static_cast<const char*>(std::memchr(kXxAlphabet, c, 64)) : nullptr;
        EXPECT_EQ(CharValue(g_alphabet, static_cast<char>(c)), hit ? hit - kXxAlphabet : 127) << c;  // no space rule in XX
    }
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
    Write("t.txt", alphabet.substr(0, 32) + "\n" + alphabet.substr(32) + "\n");
    Stream& input = g_input;
    ASSERT_TRUE(StreamOpen(input, Win("t.txt").c_str(), "rt"));
    char line[kLineBufferSize];
    size_t length = 0;
    ASSERT_EQ(ReadAlphabetTable(g_alphabet, input, line, &length), 0);
    StreamClose(input);
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

// Only "table" alone starts a block; a block that a begin line, a line starting with NUL or the
// end of the file cuts short is free text, and the alphabet active before it stays.
TEST_F(Format, TableBlocksStartOnlyAtTableAloneAndCutShortAreFreeText) {
    using namespace std::string_literals;
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    const std::string classic = ClassicUuencode("file.bin", "table rules", '`', "\n");
    const std::string cases[] = {
        "tables follow below, see attachment\n" + classic,
        "tablecloth\n" + table + "\n" + classic,
        "table\n" + table.substr(0, 40) + "\n" + classic,                       // cut by the begin line
        "table\n" + table.substr(0, 40) + "\n\0"s + table + "\n" + classic,    // by a NUL line
        "table\n" + table + "\ntable\n" + table.substr(1) + "\n" + Respell(classic, table),  // the first stays
        "table \t\r\n" + table + "\n" + Respell(classic, table),
    };
    for (const std::string& text : cases) {
        Write("t.uue", text);
        EXPECT_EQ(Decode("t.uue"), "table rules") << text;
        EXPECT_STATUS(kStatusOk) << text;
    }
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
    EXPECT_TRUE(g_alphabet.xx_mode);
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

TEST_F(Format, ReadingRulesOfWholeFiles) {
    using namespace std::string_literals;
    const std::string payload = RandomBytes(4000, 3);
    const std::string crlf = ClassicUuencode("file.bin", payload);
    const std::string lf = ClassicUuencode("file.bin", payload, '`', "\n");
    struct Case {
        std::string text;
        std::string expected;  // all the bytes of a good file, the first bytes of a failed one
        uint16_t status;
    };
    const Case cases[] = {
        {lf, payload, kStatusOk},
        {"junk\r\n" + crlf + "trailing text\r\nbegin 644 other\r\n!80``\r\nend\r\n", payload, kStatusOk},
        {crlf + "\x1A" + "ignored", payload, kStatusOk},
        {"begin 644 x\r\n#86)C\r\nend of data, and more\r\n", "abc", kStatusOk},
        {"begin 644 x\r\n#86)C\r\n`\r\n#86)C\r\nend\r\n", "abcabc", kStatusOk},  // zero-length line
        {"begin 644 x\r\n\r\n#86)C\r\n\r\n#86)C\r\r\n\r\r\nend\r\n", "abcabc", kStatusOk},  // empty lines
        {"begin 644 x\r\n#86)C\r\n\r\n", "abc", kStatusBadFormat},               // still no end
        {"begin 644 x\nM\n \nend\n", std::string(45, '\0'), kStatusOk},          // blanks for 0 stripped
        {"begin 644 x\n&86)C\n#86)C   \n`\nend\n", "abc\0\0\0abc"s, kStatusOk},
        {"begin 644 x\r\n#86)C\r\n&8a\r\nend\r\n", "abc", kStatusBadFormat},     // a stripped line still fails
        // The first data line settles the alphabet: the active one when it reads whole there, XX
        // when only XX reads it whole, else its length character's.
        {"begin 644 x\n1MK7X\n+\nend\n", "abc", kStatusOk},                  // "1" is a classic length too
        {"begin 644 x\n\n-AE++\n+\nend\n", "1", kStatusOk},                 // a one-byte xx file
        {"begin 644 x\n0AAAAAAAAAAAAAAAAAAAAAAAA\n`\nend\n",                // whole in both
         "\x86\x18\x61\x86\x18\x61\x86\x18\x61\x86\x18\x61\x86\x18\x61\x86", kStatusOk},
        {"begin 644 x\nh\n+\nend\n", std::string(45, '\0'), kStatusOk},      // whole in neither
        {"begin 644 x\r\n#86)C\r\n", "abc", kStatusBadFormat},                     // no end
        {"begin 644 x\r\n#86)C\r\nEND-------\r\n", "abc", kStatusBadFormat},        // END is data
        {"begin 644 x\r\n~abc\r\nend\r\n", "", kStatusBadFormat},                  // in no alphabet
        {"begin 644 x\r\nend\r\n", "", kStatusBadFormat},                          // end read as XX data
        {"begin 644 x\r\n\r\nend\r\n", "", kStatusOk},       // an empty file whose zero-length line was stripped
        {"begin 644 x\r\n" + crlf.substr(crlf.find('\n') + 1, 200) + "\x1A" + "end\r\n", "", kStatusBadFormat},
    };
    for (const Case& c : cases) {
        Write("r.uue", c.text);
        const std::string got = Decode("r.uue");
        EXPECT_EQ(status_, c.status) << c.text.substr(0, 40);
        EXPECT_EQ(c.status == kStatusOk ? got : got.substr(0, c.expected.size()), c.expected) << c.text.substr(0, 40);
    }
}

}  // namespace
}  // namespace uuarc::test
