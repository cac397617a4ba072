#include "toolkit/MemoryTable.h"

#include <cstdlib>
#include <cstring>

namespace {
uint32_t WordLimit = MemoryTable::MaxWords;
}

void MemoryTable::SetWordLimit(uint32_t words) {
    WordLimit = words < MaxWords ? MaxWords : words > MaxRaisedWords ? MaxRaisedWords : words;
}

uint32_t MemoryTable::GetWordLimit() { return WordLimit; }

MemoryTable::MemoryTable(const char * /*name*/, uint32_t count, int32_t elementSize) {
    InitVoid();
    // A refused size leaves the table in its error state, which callers test.
    (void)SetNewDataSize(count, elementSize);
}

MemoryTable::~MemoryTable() { Free(); }

void MemoryTable::InitVoid() {
    AllocatedSize = 0;
    DataSize = 0;
    Shared = 0;
    AllocationError = 0;
    ByteRemainder = 0;
    Data = nullptr;
}

MemoryTable::Result MemoryTable::SetNewDataSize(uint32_t count, int32_t elementSize) {
    if (elementSize <= 0) elementSize = 1;
    // The byte count is formed in 64 bits: a product that wrapped around 32 bits would give a
    // small block to a caller who asked for a huge one.
    const uint64_t bytes = uint64_t(count) * uint64_t(elementSize);
    const uint64_t words = bytes / 4 + (bytes % 4 ? 1 : 0);
    if (words > WordLimit) {
        Free();
        DataSize = words > UINT32_MAX ? UINT32_MAX : uint32_t(words);
        ByteRemainder = int32_t(bytes % 4);
        Shared = 0;
        SetErrorState();
        return Failed;
    }
    ByteRemainder = int32_t(bytes % 4);
    DataSize = uint32_t(words);
    return Allocate();
}

MemoryTable::Result MemoryTable::Allocate() {
    if (DataSize <= AllocatedSize) return NothingToDo;
    Free();
    Shared = 0;
    if (DataSize > WordLimit) {
        SetErrorState();
        return Failed;
    }
    auto *block = static_cast<int32_t *>(std::calloc(size_t(DataSize) + 2, sizeof(int32_t)));
    if (block == nullptr) {
        SetErrorState();
        return Failed;
    }
    Data = block;
    AllocationError = 0;
    AllocatedSize = DataSize;
    Data[DataSize] = int32_t(GuardWord1);
    Data[DataSize + 1] = int32_t(GuardWord2);
    return Done;
}

MemoryTable::Result MemoryTable::Free() {
    if (AllocationError) return Failed;
    if (Shared || AllocatedSize == 0 || Data == nullptr) return NothingToDo;
    std::free(Data);
    Data = nullptr;
    AllocatedSize = 0;
    return Done;
}

void MemoryTable::SetEmpty() {
    Free();
    InitVoid();
}

void MemoryTable::SetErrorState() {
    AllocationError = 1;
    Data = nullptr;
    AllocatedSize = 0;
}

MemoryTable::Result MemoryTable::RawInit(int32_t value) {
    if (AllocationError) return Failed;
    if (DataSize == 0) return NoData;
    for (uint32_t i = 0; i < DataSize; ++i) Data[i] = value;
    return Done;
}

MemoryTable::Result MemoryTable::RawXOR(int32_t key) {
    if (AllocationError) return Failed;
    if (DataSize == 0) return NoData;
    for (uint32_t i = 0; i < DataSize; ++i) Data[i] ^= key;
    return Done;
}

MemoryTable::Result MemoryTable::RawWriteMemory(int32_t *destination) const {
    if (AllocationError || destination == nullptr) return Failed;
    if (DataSize == 0) return NoData;
    std::memcpy(destination, Data, size_t(DataSize) * 4);
    return Done;
}

MemoryTable::Result MemoryTable::RawReadFile(FILE *stream, uint32_t words) {
    if (AllocationError || stream == nullptr) return Failed;
    if (DataSize == 0) return NoData;
    uint32_t n = (words == 0 || words > DataSize) ? DataSize : words;
    // Files are little-endian, like the words in memory on every platform we build for.
    size_t got = std::fread(Data, 4, n, stream);
    return got == n ? Done : ShortRead;
}

MemoryTable::Result MemoryTable::RawWriteFile(FILE *stream, uint32_t words) const {
    if (AllocationError || stream == nullptr) return Failed;
    if (DataSize == 0) return NoData;
    uint32_t n = (words == 0 || words > DataSize) ? DataSize : words;
    if (n == DataSize) {
        std::fwrite(Data, 1, GetByteSize(), stream);
    } else {
        std::fwrite(Data, 4, n, stream);
    }
    return Done;
}

uint32_t MemoryTable::GetByteSize() const {
    if (Data == nullptr || AllocationError) return 0;
    if (Shared) return DataSize * 4 + uint32_t(ByteRemainder);
    if (ByteRemainder == 0) return DataSize * 4;
    return (DataSize - 1) * 4 + uint32_t(ByteRemainder);
}

MemoryTable::Result MemoryTable::DumpTextFile(const char *path, int32_t bytesPerLine) const {
    if (path == nullptr) return Failed;
    FILE *file = std::fopen(path, "w");
    if (file == nullptr) return Failed;
    if (AllocationError || DataSize == 0) {
        std::fputs("empty\n", file);
        std::fclose(file);
        return NoData;
    }
    if (bytesPerLine < 1) bytesPerLine = 1;
    const auto *bytes = reinterpret_cast<const unsigned char *>(Data);
    const uint32_t size = GetByteSize();
    for (uint32_t i = 0; i < size; ++i) {
        if (i % uint32_t(bytesPerLine) == 0) {
            std::fprintf(file, "\n %3d (%05d)   ", int(i / uint32_t(bytesPerLine)), int(i));
        }
        std::fprintf(file, "%03d ", int(bytes[i]));
    }
    std::fclose(file);
    return Done;
}

MemoryTable::Guard MemoryTable::OverflowDetected() const {
    if (AllocationError) return Guard::ErrorState;
    if (DataSize == 0 || Data == nullptr) return Guard::Intact;
    // Only an owned block whose data fill it has guard words right behind the data.
    if (Shared || DataSize != AllocatedSize) return Guard::Intact;
    return (uint32_t(Data[DataSize]) != GuardWord1 || uint32_t(Data[DataSize + 1]) != GuardWord2)
               ? Guard::Overwritten
               : Guard::Intact;
}

MemoryTable::Result MemoryTable::Share(MemoryTable &owner) {
    if (owner.AllocationError) return Failed;
    if (&owner == this) return Done;
    Free();
    AllocatedSize = 0;
    DataSize = owner.DataSize;
    Shared = 1;
    AllocationError = 0;
    Data = owner.Data;
    ByteRemainder = owner.ByteRemainder;
    return Done;
}

MemoryTable::Result MemoryTable::Share(unsigned char *bytes, uint32_t length) {
    if (bytes == nullptr) return Failed;
    Free();
    AllocatedSize = 0;
    Shared = 1;
    AllocationError = 0;
    Data = reinterpret_cast<int32_t *>(bytes);
    uint32_t n = length != 0 ? length : uint32_t(std::strlen(reinterpret_cast<char *>(bytes)));
    DataSize = n / 4;
    ByteRemainder = int32_t(n % 4);
    return Done;
}
