// ByteBuffer: a run of bytes on the heap that grows as text is appended, for texts whose size is
// known only at their end (a whole script, its rewrite). Owns its block; reports, never throws.
#pragma once

#include <cstddef>
#include <cstdio>

class ByteBuffer {
public:
    // What its operations answer.
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    // Sizes stay within the 32-bit counts that positions in a text are kept in.
    static constexpr size_t MaxSize = 0x7FFFFFFF;

    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer &) = delete;
    ByteBuffer &operator=(const ByteBuffer &) = delete;

    // Appends count bytes: 1; 0 when the size would pass MaxSize or memory ran out (the
    // content is then unchanged).
    [[nodiscard]] Result Append(const char *bytes, size_t count);
    // Appends the rest of the stream: 1; 0 on a read error, when the stream holds more than
    // most bytes, or when Append fails.
    [[nodiscard]] Result AppendFile(FILE *stream, size_t most);
    // Empties the buffer; the block is kept for the next text.
    void Clear() { Size = 0; }

    // The bytes (not zero-terminated); null while nothing was ever appended.
    const char *GetData() const { return Data; }
    char *GetData() { return Data; }
    size_t GetSize() const { return Size; }

private:
    // Makes room for size bytes in all: 1, else 0.
    [[nodiscard]] Result Reserve(size_t size);

    char *Data = nullptr;
    size_t Size = 0;
    size_t Capacity = 0;
};
