// MemoryTable: a heap block of 32-bit words with a byte-exact size and two guard words behind
// the data; owns its block or views another table's words. Base of strings, messages and images.
#pragma once

#include <cstdint>
#include <cstdio>

class MemoryTable {
public:
    // Result codes shared by the bulk operations.
    static constexpr int Failed = 0;
    static constexpr int Done = 1;
    static constexpr int NoData = 3;
    static constexpr int NothingToDo = 4;
    static constexpr int ShortRead = 5;

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
    // Sizes the table for count x elementSize bytes (elementSize <= 0 counts as 1): 1, 4 or 0.
    [[nodiscard]] int SetNewDataSize(uint32_t count, int32_t elementSize);
    // Makes Data hold DataSize words: 1 new zeroed block, 4 the owned block fits, 0 refused.
    [[nodiscard]] int Allocate();
    // Releases an owned block: 1; 4 nothing owned or shared; 0 in the error state.
    int Free();
    void SetEmpty();

    // Word-wise bulk operations: 0 error state (or null argument), 3 no data words, else 1.
    [[nodiscard]] int RawInit(int32_t value);
    [[nodiscard]] int RawXOR(int32_t key);
    [[nodiscard]] int RawWriteMemory(int32_t *destination) const;
    // words 0 or more than DataSize means the whole table; 5 on a short read.
    [[nodiscard]] int RawReadFile(FILE *stream, uint32_t words);
    [[nodiscard]] int RawWriteFile(FILE *stream, uint32_t words) const;
    // Decimal dump of the bytes, bytesPerLine per line: 1, 3 (empty, "empty" written), 0.
    [[nodiscard]] int DumpTextFile(const char *path, int32_t bytesPerLine) const;
    // 2 error state, 0 no data or guards intact, 1 a guard word was overwritten.
    [[nodiscard]] int OverflowDetected() const;

    // Views owner's words (0 when owner is in the error state) or a caller's bytes
    // (length 0: up to the terminating zero; 0 when bytes is null).
    [[nodiscard]] int Share(MemoryTable &owner);
    [[nodiscard]] int Share(unsigned char *bytes, uint32_t length);

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
