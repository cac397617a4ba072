// StringTable: the bilingual message table; messages are addressed by a 1-based index and
// returned in the current language. Owns its words (count, languages, offset block, texts).
#pragma once

#include <cstdint>

#include "toolkit/MemoryTable.h"

class StringTable : public MemoryTable {
public:
    // What its operations answer (its loading answers as MemoryTable does).
    enum class Result { Failed = 0, Done = 1 };
    static constexpr Result Failed = Result::Failed;
    static constexpr Result Done = Result::Done;
    static constexpr int32_t English = 0;
    static constexpr int32_t French = 1;
    static constexpr int32_t ErrorMsgSize = 64;

    // An empty table (no messages, no languages) in language 0; name is a label only.
    explicit StringTable(const char *name);

    // Text of message index (1 to MessageCount) in the current language. Outside that range:
    // "<undefined string #index>"; without a text in the current language (or a text that
    // lies outside the table): "<missing translation #index>". Both placeholders share one
    // static buffer, so each replaces the previous one. Never null.
    const char *Get(int32_t index) const;
    // Selects language 0 to LanguageCount - 1: Done; anything else: Failed and no change.
    [[nodiscard]] Result SetLanguage(int32_t language);
    // Loading messages from a resource file is not supported: does nothing and answers Done.
    [[nodiscard]] Result ProcessRessourceFile(const char *fileName, const char *section);

    int32_t GetCurrentLanguage() const { return CurrentLanguage; }
    // Word 0 and word 1 of the content; 0 for a table without content.
    int32_t GetMessageCount() const { return Word(0); }
    int32_t GetLanguageCount() const { return Word(1); }

private:
    int32_t Word(uint32_t index) const;
    const char *Placeholder(const char *format, int32_t index) const;

    static char ErrorMsg[ErrorMsgSize];

    int32_t CurrentLanguage;
};

// The one message table of the program, "default string table"; empty until LoadGST.
extern StringTable GST;
