// MemoryTable: a heap block of 32-bit words with a byte-exact size and two guard words behind
// the data; owns its block or views another table's words. Base of strings, messages and images.
#pragma once

#include <cstdint>
#include <cstdio>

class MemoryTable {
public:
    // What the sizing and bulk operations answer.
    enum class Result { Failed = 0, Done = 1, NoData = 3, NothingToDo = 4, ShortRead = 5 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr Result NoData = Result::NoData;
    static constexpr Result NothingToDo = Result::NothingToDo;
    static constexpr Result ShortRead = Result::ShortRead;
    // What OverflowDetected finds.
    enum class Guard { Intact = 0, Overwritten = 1, ErrorState = 2 };

    static constexpr uint32_t MaxWords = 18000000;        // 72,000,000 bytes: the default limit
    static constexpr uint32_t MaxRaisedWords = 1u << 30;  // 4 GiB: the most SetWordLimit takes
    static constexpr uint32_t GuardWord1 = 0x04BAD0BE;
    static constexpr uint32_t GuardWord2 = 0x059DC977;

    // The limit of every table of the process, MaxWords unless raised: a command-line run of a
    // large domain raises it once it has checked the memory it needs. words is clamped to
    // MaxWords .. MaxRaisedWords.
    static void SetWordLimit(uint32_t words);
    static uint32_t GetWordLimit();

    // name is a label for the creator's benefit; it is not stored.
    MemoryTable(const char *name, uint32_t count, int32_t elementSize);
    ~MemoryTable();
    MemoryTable(const MemoryTable &) = delete;
    MemoryTable &operator=(const MemoryTable &) = delete;

    void InitVoid();
    // Sizes the table for count x elementSize bytes (elementSize <= 0 counts as 1): Done,
    // NothingToDo or Failed.
    [[nodiscard]] Result SetNewDataSize(uint32_t count, int32_t elementSize);
    // Makes Data hold DataSize words: Done a new zeroed block, NothingToDo the owned block fits,
    // Failed refused.
    [[nodiscard]] Result Allocate();
    // Releases an owned block: Done; NothingToDo nothing owned or shared; Failed in the error
    // state.
    Result Free();
    void SetEmpty();

    // Word-wise bulk operations: Failed error state (or null argument), NoData no data words,
    // else Done.
    [[nodiscard]] Result RawInit(int32_t value);
    [[nodiscard]] Result RawXOR(int32_t key);
    [[nodiscard]] Result RawWriteMemory(int32_t *destination) const;
    // words 0 or more than DataSize means the whole table; ShortRead on a short read.
    [[nodiscard]] Result RawReadFile(FILE *stream, uint32_t words);
    [[nodiscard]] Result RawWriteFile(FILE *stream, uint32_t words) const;
    // Decimal dump of the bytes, bytesPerLine per line: Done, NoData (empty, "empty" written),
    // Failed.
    [[nodiscard]] Result DumpTextFile(const char *path, int32_t bytesPerLine) const;
    // ErrorState, Intact (also without data), or Overwritten when a guard word was.
    [[nodiscard]] Guard OverflowDetected() const;

    // Views owner's words (Failed when owner is in the error state) or a caller's bytes
    // (length 0: up to the terminating zero; Failed when bytes is null).
    [[nodiscard]] Result Share(MemoryTable &owner);
    [[nodiscard]] Result Share(unsigned char *bytes, uint32_t length);

    // Bytes held: whole words plus the remainder, by the owned or shared convention.
    uint32_t GetByteSize() const;
    uint32_t GetDataSize() const { return DataSize; }
    uint32_t GetAllocatedSize() const { return AllocatedSize; }
    int32_t GetByteRemainder() const { return ByteRemainder; }
    bool IsShared() const { return Shared != 0; }
    bool HasAllocationError() const { return AllocationError != 0; }
    int32_t *GetData() const { return Data; }

protected:
    uint32_t AllocatedSize;
    uint32_t DataSize;
    int32_t Shared;
    int32_t AllocationError;
    int32_t ByteRemainder;
    int32_t *Data;

private:
    void SetErrorState();
};
