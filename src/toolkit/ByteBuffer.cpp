#include "toolkit/ByteBuffer.h"

#include <cstdlib>
#include <cstring>

ByteBuffer::~ByteBuffer() { std::free(Data); }

ByteBuffer::Result ByteBuffer::Reserve(size_t size) {
    if (size <= Capacity) return Done;
    if (size > MaxSize) return Failed;
    // Doubling keeps the copies of a long run of appends to about twice its bytes.
    size_t capacity = Capacity < 4096 ? 4096 : Capacity;
    while (capacity < size) capacity = capacity > MaxSize / 2 ? MaxSize : capacity * 2;
    char *grown = static_cast<char *>(std::realloc(Data, capacity));
    if (grown == nullptr) return Failed;
    Data = grown;
    Capacity = capacity;
    return Done;
}

ByteBuffer::Result ByteBuffer::Append(const char *bytes, size_t count) {
    if (count == 0) return Done;
    if (bytes == nullptr || count > MaxSize - Size || Reserve(Size + count) != Done) return Failed;
    std::memcpy(Data + Size, bytes, count);
    Size += count;
    return Done;
}

ByteBuffer::Result ByteBuffer::AppendFile(FILE *stream, size_t most) {
    if (stream == nullptr) return Failed;
    char block[65536];
    size_t count;
    size_t total = 0;
    while ((count = std::fread(block, 1, sizeof block, stream)) > 0) {
        total += count;
        if (total > most || Append(block, count) != Done) return Failed;
    }
    return std::ferror(stream) ? Failed : Done;
}
