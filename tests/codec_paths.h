// codec_paths.h - a test run once on each path of the line codec (format/codec_path.h): the
// fixture that forces the path and gives the one before back, skipping a path this processor
// lacks, and the list of every path with the names gtest shows for them.
#pragma once

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <string>

#include "format/codec_path.h"

namespace uuarc {
// gtest prints a path by its name.
inline void PrintTo(CodecPath path, std::ostream* out) { *out << CodecPathName(path); }
}  // namespace uuarc

namespace uuarc::test {

constexpr CodecPath kEveryCodecPath[] = {CodecPath::Ssse3, CodecPath::Words, CodecPath::Table, CodecPath::Careful};
static_assert(std::size(kEveryCodecPath) == kCodecPathCount, "a path left out");

class OnEveryCodecPath : public ::testing::TestWithParam<CodecPath> {
protected:
    void SetUp() override {
        before_ = ActiveCodecPath();
        if (!SetCodecPath(GetParam())) GTEST_SKIP() << "this processor lacks " << CodecPathName(GetParam());
    }
    void TearDown() override { SetCodecPath(before_); }

private:
    CodecPath before_ = CodecPath::Words;
};

// "Ssse3", "Words", ...: the path's name as a test name shows it.
inline std::string CodecPathTestName(const ::testing::TestParamInfo<CodecPath>& info) {
    std::string name = CodecPathName(info.param);
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

}  // namespace uuarc::test
