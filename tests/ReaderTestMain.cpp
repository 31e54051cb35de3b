#include "model/ModelFormats.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Every format in the table is told apart by its first bytes, and no magic
// is the start of another's: a file is read by one reader only.
TEST(ModelFormatTable, MagicsPickOneReaderEach) {
    for (const ModelFormat& format : ModelFormats()) {
        if (format.magic.empty()) {
            // Known by its name alone (OBJ is text with no first word of its own).
            EXPECT_FALSE(format.extensions.empty()) << format.name;
            continue;
        }
        const auto* start = reinterpret_cast<const uint8_t*>(format.magic.data());
        const ModelFormat* found = ModelFormatOfBytes({start, format.magic.size()});
        ASSERT_NE(found, nullptr) << format.name;
        EXPECT_EQ(found->name, format.name);
        EXPECT_FALSE(format.extensions.empty()) << format.name;
    }
    EXPECT_EQ(ModelFormatOfBytes({}), nullptr);
}

TEST(ModelFormatTable, UnknownBytesAreRefusedWithTheFormatsKnown) {
    const Result<Model> read =
        ReadModel({"thing.bin", Bytes::Copy(reinterpret_cast<const uint8_t*>("JUNKJUNK"), 8)});
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().reason.find("MD3"), std::string::npos) << read.error().reason;
    EXPECT_NE(read.error().reason.find("*.md3"), std::string::npos) << read.error().reason;
}

} // namespace
