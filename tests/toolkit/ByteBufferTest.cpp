#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "toolkit/ByteBuffer.h"

TEST(ByteBufferTest, GrowsAndKeepsEveryByte) {
    ByteBuffer buffer;
    EXPECT_EQ(buffer.GetSize(), 0u);
    std::string expected;
    // Past several doublings, with pieces of odd sizes.
    for (int i = 0; i < 3000; ++i) {
        std::string piece(size_t(i % 17 + 1), char('a' + i % 26));
        ASSERT_EQ(buffer.Append(piece.data(), piece.size()), ByteBuffer::Done);
        expected += piece;
    }
    EXPECT_EQ(std::string(buffer.GetData(), buffer.GetSize()), expected);
    EXPECT_EQ(buffer.Append(nullptr, 1), ByteBuffer::Failed);
    EXPECT_EQ(buffer.Append(nullptr, 0), ByteBuffer::Done);
    EXPECT_EQ(buffer.GetSize(), expected.size());
    buffer.Clear();
    EXPECT_EQ(buffer.GetSize(), 0u);
}

TEST(ByteBufferTest, ReadsAStreamUpToItsLimit) {
    FILE *stream = std::tmpfile();
    std::string text(100000, 'x');
    text[77777] = '\n';
    std::fwrite(text.data(), 1, text.size(), stream);
    std::rewind(stream);
    ByteBuffer buffer;
    ASSERT_EQ(buffer.AppendFile(stream, text.size()), ByteBuffer::Done);
    EXPECT_EQ(std::string(buffer.GetData(), buffer.GetSize()), text);
    std::rewind(stream);
    ByteBuffer small;
    EXPECT_EQ(small.AppendFile(stream, text.size() - 1), ByteBuffer::Failed);
    EXPECT_EQ(small.AppendFile(nullptr, 10), ByteBuffer::Failed);
    std::fclose(stream);
}
