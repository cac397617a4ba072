#include "toolkit/MessageTexts.h"

#include <cstring>

#include "toolkit/MessageIds.h"
#include "toolkit/StringTable.h"

namespace {

struct MessageText {
    const char *english;
    const char *french;
};

// Index i of the table is message i + 1, as MessageIds numbers them: both come from the same
// list.
constexpr MessageText Texts[] = {
#define VORNA_MESSAGE(Id, english, french) {english, french},
#include "toolkit/MessageList.inc"
#undef VORNA_MESSAGE
};
static_assert(sizeof Texts / sizeof Texts[0] == size_t(MessageTextCount));

constexpr int32_t LanguageCount = 2;

}  // namespace

MemoryTable::Result LoadMessageTexts(StringTable &table) {
    // Layout: word 0 the message count, word 1 the language count, then one byte offset per
    // message and language (message by message), then the zero-terminated texts.
    const uint32_t headerWords = 2 + uint32_t(MessageTextCount) * LanguageCount;
    uint32_t byteCount = headerWords * 4;
    for (const MessageText &text : Texts) {
        byteCount += uint32_t(std::strlen(text.english) + 1 + std::strlen(text.french) + 1);
    }
    if (table.SetNewDataSize(byteCount, 1) == MemoryTable::Failed || table.HasAllocationError() ||
        table.GetData() == nullptr || table.RawInit(0) != MemoryTable::Done) {
        return MemoryTable::NoData;
    }

    int32_t *words = table.GetData();
    auto *bytes = reinterpret_cast<char *>(words);
    words[0] = MessageTextCount;
    words[1] = LanguageCount;
    uint32_t offset = headerWords * 4;
    for (int32_t i = 0; i < MessageTextCount; ++i) {
        const char *languages[LanguageCount] = {Texts[i].english, Texts[i].french};
        for (int32_t l = 0; l < LanguageCount; ++l) {
            const size_t length = std::strlen(languages[l]) + 1;
            words[2 + i * LanguageCount + l] = int32_t(offset);
            std::memcpy(bytes + offset, languages[l], length);
            offset += uint32_t(length);
        }
    }
    return MemoryTable::Done;
}

MemoryTable::Result LoadGST() { return LoadMessageTexts(GST); }
