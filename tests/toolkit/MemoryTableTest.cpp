#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "toolkit/MemoryTable.h"

namespace {

std::vector<unsigned char> WrittenBytes(const MemoryTable &table, uint32_t words) {
    FILE *file = std::tmpfile();
    EXPECT_EQ(table.RawWriteFile(file, words), MemoryTable::Done);
    std::vector<unsigned char> bytes(size_t(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

}  // namespace

TEST(MemoryTableTest, EmptyTableRefusesBulkOperationsWithNoData) {
    MemoryTable table("t", 0, 4);
    int32_t word = 0;
    EXPECT_EQ(table.GetData(), nullptr);
    EXPECT_EQ(table.GetDataSize(), 0u);
    EXPECT_EQ(table.RawInit(1), MemoryTable::NoData);
    EXPECT_EQ(table.RawXOR(1), MemoryTable::NoData);
    EXPECT_EQ(table.RawWriteMemory(&word), MemoryTable::NoData);
    FILE *file = std::tmpfile();
    EXPECT_EQ(table.RawReadFile(file, 0), MemoryTable::NoData);
    EXPECT_EQ(table.RawWriteFile(file, 0), MemoryTable::NoData);
    EXPECT_EQ(table.RawReadFile(nullptr, 0), MemoryTable::Failed);
    std::fclose(file);
    EXPECT_EQ(table.OverflowDetected(), MemoryTable::Guard::Intact);
}

struct SizingCase {
    uint32_t count;
    int32_t elementSize;
    uint32_t dataSize;
    int32_t remainder;
    uint32_t byteSize;
};

class MemoryTableSizing : public testing::TestWithParam<SizingCase> {};

TEST_P(MemoryTableSizing, KeepsByteExactSizeAndWritesExactlyThoseBytes) {
    const SizingCase c = GetParam();
    MemoryTable table("t", c.count, c.elementSize);
    EXPECT_EQ(table.GetDataSize(), c.dataSize);
    EXPECT_EQ(table.GetByteRemainder(), c.remainder);
    EXPECT_EQ(table.GetAllocatedSize(), c.dataSize);
    EXPECT_EQ(table.GetByteSize(), c.byteSize);
    EXPECT_EQ(WrittenBytes(table, 0).size(), c.byteSize);
    EXPECT_EQ(table.OverflowDetected(), MemoryTable::Guard::Intact);
}

INSTANTIATE_TEST_SUITE_P(Cases, MemoryTableSizing,
                         testing::Values(SizingCase{10, 1, 3, 2, 10},
                                         SizingCase{256, 4, 256, 0, 1024},
                                         SizingCase{7, 0, 2, 3, 7}, SizingCase{7, -5, 2, 3, 7}));

TEST(MemoryTableTest, NewBlockIsZeroedWithGuardsBehindTheData) {
    MemoryTable table("t", 10, 1);
    const int32_t *data = table.GetData();
    ASSERT_NE(data, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(data[i], 0);
    EXPECT_EQ(uint32_t(data[3]), MemoryTable::GuardWord1);
    EXPECT_EQ(uint32_t(data[4]), MemoryTable::GuardWord2);
    table.GetData()[3] = 0;  // a write one word past the data
    EXPECT_EQ(table.OverflowDetected(), MemoryTable::Guard::Overwritten);
}

TEST(MemoryTableTest, LimitIsEighteenMillionWords) {
    MemoryTable table("t", 0, 4);
    EXPECT_EQ(table.SetNewDataSize(MemoryTable::MaxWords, 4), MemoryTable::Done);
    EXPECT_EQ(table.SetNewDataSize(MemoryTable::MaxWords + 1, 4), MemoryTable::Failed);
    EXPECT_TRUE(table.HasAllocationError());
    EXPECT_EQ(table.GetData(), nullptr);
    EXPECT_EQ(table.RawInit(0), MemoryTable::Failed);
    EXPECT_EQ(table.OverflowDetected(), MemoryTable::Guard::ErrorState);
    // The next growing resize that succeeds clears the error.
    EXPECT_EQ(table.SetNewDataSize(4, 4), MemoryTable::Done);
    EXPECT_FALSE(table.HasAllocationError());
}

// A command-line run of a large domain raises the limit for itself and puts it back.
TEST(MemoryTableTest, RaisedLimitTakesLargerTablesAndIsClamped) {
    MemoryTable::SetWordLimit(MemoryTable::MaxWords + 1);
    MemoryTable table("t", 0, 4);
    EXPECT_EQ(table.SetNewDataSize(MemoryTable::MaxWords + 1, 4), MemoryTable::Done);
    EXPECT_EQ(table.SetNewDataSize(MemoryTable::MaxWords + 2, 4), MemoryTable::Failed);
    MemoryTable::SetWordLimit(UINT32_MAX);
    EXPECT_EQ(MemoryTable::GetWordLimit(), MemoryTable::MaxRaisedWords);
    MemoryTable::SetWordLimit(0);
    EXPECT_EQ(MemoryTable::GetWordLimit(), MemoryTable::MaxWords);
    EXPECT_EQ(table.SetNewDataSize(MemoryTable::MaxWords + 1, 4), MemoryTable::Failed);
}

TEST(MemoryTableTest, ProductThatWrapsThirtyTwoBitsIsRefusedNotShrunk) {
    MemoryTable table("t", 0, 1);
    // 0x40000000 x 4 is 0 in 32-bit arithmetic; it must not turn into an empty success.
    EXPECT_EQ(table.SetNewDataSize(0x40000000u, 4), MemoryTable::Failed);
    EXPECT_TRUE(table.HasAllocationError());
}

TEST(MemoryTableTest, ShrinkKeepsTheBlockAndItsContents) {
    MemoryTable table("t", 8, 4);
    ASSERT_EQ(table.RawInit(7), MemoryTable::Done);
    EXPECT_EQ(table.SetNewDataSize(2, 4), MemoryTable::NothingToDo);
    EXPECT_EQ(table.GetAllocatedSize(), 8u);
    EXPECT_EQ(table.GetData()[0], 7);
    EXPECT_EQ(table.GetData()[1], 7);
    // Growing again past the block gives a new, zeroed block.
    EXPECT_EQ(table.SetNewDataSize(9, 4), MemoryTable::Done);
    EXPECT_EQ(table.GetData()[0], 0);
}

TEST(MemoryTableTest, ShareOfTextCountsTrailingBytes) {
    unsigned char text[] = "abcdef";
    MemoryTable table("t", 4, 4);
    EXPECT_EQ(table.Share(text, 0), MemoryTable::Done);
    EXPECT_TRUE(table.IsShared());
    EXPECT_EQ(table.GetDataSize(), 1u);
    EXPECT_EQ(table.GetByteRemainder(), 2);
    const auto bytes = WrittenBytes(table, 0);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "abcdef");
    EXPECT_EQ(table.Share(nullptr, 3), MemoryTable::Failed);
}

TEST(MemoryTableTest, ViewSeesOwnerWritesAndLeavesOwnerBlockOnDestruction) {
    MemoryTable owner("o", 4, 4);
    {
        MemoryTable view("v", 0, 4);
        ASSERT_EQ(view.Share(owner), MemoryTable::Done);
        view.GetData()[2] = 42;
        EXPECT_EQ(view.Free(), MemoryTable::NothingToDo);
    }
    EXPECT_EQ(owner.GetData()[2], 42);
    EXPECT_EQ(owner.OverflowDetected(), MemoryTable::Guard::Intact);
    MemoryTable broken("b", MemoryTable::MaxWords + 1, 4);
    MemoryTable other("x", 1, 4);
    EXPECT_EQ(other.Share(broken), MemoryTable::Failed);
    EXPECT_FALSE(other.IsShared());
}

TEST(MemoryTableTest, ReadFileFillsWholeTableOrReportsShortRead) {
    FILE *file = std::tmpfile();
    std::vector<int32_t> words(100);
    for (int i = 0; i < 100; ++i) words[size_t(i)] = i + 1;
    std::fwrite(words.data(), 4, 100, file);
    std::rewind(file);
    MemoryTable table("t", 256, 4);
    ASSERT_EQ(table.RawInit(-1), MemoryTable::Done);
    EXPECT_EQ(table.RawReadFile(file, 0), MemoryTable::ShortRead);
    EXPECT_EQ(table.GetData()[0], 1);
    EXPECT_EQ(table.GetData()[99], 100);
    EXPECT_EQ(table.GetData()[100], -1);  // not delivered: keeps its previous value
    std::rewind(file);
    MemoryTable small("s", 10, 4);
    EXPECT_EQ(small.RawReadFile(file, 0), MemoryTable::Done);
    std::fclose(file);
}

TEST(MemoryTableTest, XorTwiceRestoresAndDumpWritesDecimalLines) {
    MemoryTable table("t", 5, 1);
    table.GetData()[0] = 0x04030201;
    table.GetData()[1] = 0x05;
    EXPECT_EQ(table.RawXOR(0x5A5A5A5A), MemoryTable::Done);
    EXPECT_EQ(table.RawXOR(0x5A5A5A5A), MemoryTable::Done);
    EXPECT_EQ(table.GetData()[0], 0x04030201);

    const std::string path = testing::TempDir() + "/dump.txt";
    EXPECT_EQ(table.DumpTextFile(path.c_str(), 4), MemoryTable::Done);
    FILE *file = std::fopen(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    char text[256] = {};
    size_t n = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(text, n), "\n   0 (00000)   001 002 003 004 \n   1 (00004)   005 ");
    MemoryTable empty("e", 0, 1);
    EXPECT_EQ(empty.DumpTextFile(path.c_str(), 4), MemoryTable::NoData);
    EXPECT_EQ(table.DumpTextFile("/nonexistent-dir/x.txt", 4), MemoryTable::Failed);
}
