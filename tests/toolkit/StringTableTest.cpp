#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "toolkit/StringTable.h"

namespace {

// Lays out a table by hand: texts[i][l] is message i + 1 in language l; null leaves the offset
// 0 (no text), and "@far" stores an offset beyond the end of the table.
void Fill(StringTable &table, const std::vector<std::vector<const char *>> &texts) {
    const uint32_t count = uint32_t(texts.size());
    const uint32_t languages = uint32_t(texts.front().size());
    const uint32_t header = (2 + count * languages) * 4;
    uint32_t size = header;
    for (const auto &message : texts)
        for (const char *text : message)
            if (text != nullptr) size += uint32_t(std::strlen(text) + 1);
    ASSERT_NE(table.SetNewDataSize(size, 1), MemoryTable::Failed);
    int32_t *words = table.GetData();
    char *bytes = reinterpret_cast<char *>(words);
    words[0] = int32_t(count);
    words[1] = int32_t(languages);
    uint32_t offset = header;
    for (uint32_t i = 0; i < count; ++i) {
        for (uint32_t l = 0; l < languages; ++l) {
            const char *text = texts[i][l];
            int32_t &slot = words[2 + i * languages + l];
            if (text == nullptr) {
                slot = 0;
            } else if (std::strcmp(text, "@far") == 0) {
                slot = int32_t(size + 100);
            } else {
                slot = int32_t(offset);
                std::memcpy(bytes + offset, text, std::strlen(text) + 1);
                offset += uint32_t(std::strlen(text) + 1);
            }
        }
    }
}

class StringTableTest : public testing::Test {
protected:
    void SetUp() override { Fill(table, {{"one", "un"}, {"two", nullptr}, {"three", "@far"}}); }
    StringTable table{"test table"};
};

}  // namespace

TEST_F(StringTableTest, IndexOutsideOneToCountGivesUndefinedPlaceholder) {
    EXPECT_STREQ(table.Get(0), "<undefined string #0>");
    EXPECT_STREQ(table.Get(-3), "<undefined string #-3>");
    EXPECT_STREQ(table.Get(3), "three");
    EXPECT_STREQ(table.Get(4), "<undefined string #4>");
    EXPECT_STREQ(table.Get(INT32_MIN), "<undefined string #-2147483648>");
}

TEST_F(StringTableTest, LanguageSelectsTextsAndMissingOnesGetAPlaceholder) {
    EXPECT_STREQ(table.Get(1), "one");
    ASSERT_EQ(table.SetLanguage(1), StringTable::Done);
    EXPECT_STREQ(table.Get(1), "un");
    EXPECT_STREQ(table.Get(2), "<missing translation #2>");
    // An offset that points outside the table is not followed.
    EXPECT_STREQ(table.Get(3), "<missing translation #3>");
    ASSERT_EQ(table.SetLanguage(0), StringTable::Done);
    EXPECT_STREQ(table.Get(2), "two");
}

TEST_F(StringTableTest, SetLanguageRefusesLanguagesTheTableDoesNotHave) {
    ASSERT_EQ(table.SetLanguage(1), StringTable::Done);
    EXPECT_EQ(table.SetLanguage(2), StringTable::Failed);
    EXPECT_EQ(table.SetLanguage(-1), StringTable::Failed);
    EXPECT_EQ(table.GetCurrentLanguage(), 1);
}

TEST_F(StringTableTest, PlaceholdersShareOneBuffer) {
    const char *first = table.Get(0);
    const char *second = table.Get(9);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "<undefined string #9>");
}

TEST(StringTableEmptyTest, TableWithoutContentAnswersEveryIndexAsUndefined) {
    StringTable empty("empty");
    EXPECT_EQ(empty.GetMessageCount(), 0);
    EXPECT_STREQ(empty.Get(1), "<undefined string #1>");
    EXPECT_EQ(empty.SetLanguage(0), StringTable::Failed);
    EXPECT_EQ(empty.ProcessRessourceFile("messages.txt", "section"), StringTable::Done);

    // A table whose allocation failed behaves the same, without touching memory.
    StringTable failed("failed");
    EXPECT_EQ(failed.SetNewDataSize(MemoryTable::MaxWords + 1, 4), MemoryTable::Failed);
    ASSERT_TRUE(failed.HasAllocationError());
    EXPECT_STREQ(failed.Get(1), "<undefined string #1>");
    EXPECT_EQ(failed.SetLanguage(0), StringTable::Failed);
}

TEST(StringTableEmptyTest, TextWithoutTerminatorInsideTheTableIsNotReturned) {
    StringTable table("unterminated");
    Fill(table, {{"abc"}});
    // Overwrite the last byte (the terminator of "abc") so the text would run off the end.
    char *bytes = reinterpret_cast<char *>(table.GetData());
    bytes[table.GetByteSize() - 1] = 'x';
    EXPECT_STREQ(table.Get(1), "<missing translation #1>");
}
