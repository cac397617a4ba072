#include "toolkit/StringTable.h"

#include <cstdio>
#include <cstring>

char StringTable::ErrorMsg[StringTable::ErrorMsgSize];

StringTable GST("default string table");

StringTable::StringTable(const char *name) : MemoryTable(name, 0, 4), CurrentLanguage(0) {
    // Two zero words: no messages, no languages.
    (void)SetNewDataSize(2, 4);
}

int32_t StringTable::Word(uint32_t index) const {
    if (Data == nullptr || AllocationError || index >= DataSize) return 0;
    return Data[index];
}

const char *StringTable::Placeholder(const char *format, int32_t index) const {
    std::snprintf(ErrorMsg, sizeof ErrorMsg, format, int(index));
    return ErrorMsg;
}

const char *StringTable::Get(int32_t index) const {
    const int32_t count = GetMessageCount();
    if (index < 1 || index > count) return Placeholder("<undefined string #%d>", index);
    const int32_t languages = GetLanguageCount();
    if (CurrentLanguage < 0 || CurrentLanguage >= languages) {
        return Placeholder("<missing translation #%d>", index);
    }
    // Offsets are stored message by message, language by language, from word 2 on.
    const int64_t slot = 2 + int64_t(index - 1) * languages + CurrentLanguage;
    const int32_t offset = slot < int64_t(DataSize) ? Word(uint32_t(slot)) : 0;
    // An offset must point inside the table at a text that ends inside the table.
    const uint32_t size = GetByteSize();
    if (offset <= 0 || uint32_t(offset) >= size) {
        return Placeholder("<missing translation #%d>", index);
    }
    const char *text = reinterpret_cast<const char *>(Data) + offset;
    if (std::memchr(text, 0, size - uint32_t(offset)) == nullptr) {
        return Placeholder("<missing translation #%d>", index);
    }
    return text;
}

StringTable::Result StringTable::SetLanguage(int32_t language) {
    if (language < 0 || language >= GetLanguageCount()) return Failed;
    CurrentLanguage = language;
    return Done;
}

StringTable::Result StringTable::ProcessRessourceFile(const char * /*fileName*/,
                                                      const char * /*section*/) {
    return Done;
}
