#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "toolkit/MessageIds.h"
#include "toolkit/MessageTexts.h"
#include "toolkit/StringTable.h"

namespace {

// The printf conversions of a format, in order ("d", "s", "lu", ...); "%%" is not one.
std::vector<std::string> Conversions(const char *format) {
    std::vector<std::string> found;
    for (const char *p = format; *p != 0; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p != 0 && std::strchr("-+ #0", *p) != nullptr) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') ++p;
        while (*p >= '0' && *p <= '9') ++p;
        std::string conversion;
        while (*p != 0 && std::strchr("hlLjzt", *p) != nullptr) conversion += *p++;
        if (*p == 0) {
            found.push_back("<truncated>");
            break;
        }
        conversion += *p;
        found.push_back(conversion);
    }
    return found;
}

// The arguments each message is formatted with; messages not listed take none.
// The models of the model table but the last, as the messages that list them are filled.
constexpr const char *ModelNamesButLast =
    "diffusion, schlogl, ginzburglandau, gld1, gld2, maginu, magd1, brusselator, brd1";

const std::map<int, std::vector<std::string>> &ExpectedConversions() {
    static const std::map<int, std::vector<std::string>> expected = {
        {2, {"s"}},
        {7, {"d"}},
        {10, {"u"}},
        {11, {"d"}},
        {13, {"d", "s"}},
        {14, {"d"}},
        {30, {"s", "s"}},
        {31, {"c", "c"}},
        {32, {"c", "c"}},
        {33, {"c", "c"}},
        {46, {"c"}},
        {49, {"c"}},
        {40, {"s", "s"}},
        {52, {"c"}},
        {78, {"c"}},
        {80, {"d"}},
        {85, {"lld"}},
        {86, {"lld", "lld"}},
        {93, {"s", "s", "s"}},
        {94, {"s", "s"}},
        {95, {"s", "s", "s", "g"}},
        {97, {"d", "s"}},
        {98, {"s", "s"}},
        {99, {"s", "s", "s", "s"}},
        {101, {"d"}},
        {102, {"s", "s", "s"}},
        {103, {"s", "s", "s", "s"}},
        {MsgAtTime, {"d"}},
        {MsgAtReaction, {"c"}},
        {MsgAtDiffusion, {"c"}},
        {MsgAtPaint, {"c"}},
        {MsgAtPaintRange, {"d", "d"}},
        {MsgMissingFormula, {"c", "c"}},
        {MsgFormulaEmpty, {"d"}},
        {MsgFormulaUnexpectedEnd, {"d"}},
        {MsgFormulaUnexpected, {"d", "s"}},
        {MsgFormulaPlusSign, {"d"}},
        {MsgFormulaExponent, {"d", "s", "s"}},
        {MsgFormulaMissingParen, {"d"}},
        {MsgFormulaUnknownFunction, {"d", "s"}},
        {MsgFormulaArgument, {"d", "s"}},
        {MsgFormulaArguments, {"d", "s", "d"}},
        {MsgFormulaNoCall, {"d", "s", "s"}},
        {MsgFormulaNotComponent, {"d", "s", "c"}},
        {MsgFormulaBadName, {"d", "s"}},
        {MsgFormulaTooLong, {"d"}},
        {MsgWarnFormulaSameKey, {"s", "s"}},
        {MsgWarnFormulaParameterUnset, {"s"}},
        {MsgRunFieldRange, {"c", "d", "g", "g"}},
        {MsgRunFieldUniform, {"c", "d", "g"}},
        {MsgExplorerModel, {"s"}},
        {MsgExplorerReaction, {"c"}},
        {MsgExplorerDiffusion, {"c"}},
        {MsgExplorerStatus, {"d", "d", "g"}},
        {MsgExplorerFormulaParameter, {"s"}},
        {MsgExplorerMovieWritten, {"s", "d"}},
        {MsgMapBadName, {"s"}},
        {MsgMapReserved, {"s"}},
        {MsgMapIsParameter, {"s"}},
        {MsgMapTwice, {"s"}},
        {MsgMapTooMany, {"d"}},
        {MsgPictureMissing, {"s"}},
        {MsgPictureDenied, {"s"}},
        {MsgPictureNotFile, {"s"}},
        {MsgPictureUnknown, {"s"}},
        {MsgPictureTooLarge, {"s", "d"}},
        {MsgPictureUnreadable, {"s", "s"}},
        {MsgInitmapRange, {"c"}},
    };
    return expected;
}

// Formats message index with the widest arguments its role can bring (a 260-character path
// for strings) and returns the length of the result.
size_t FormattedLength(const char *text, int index) {
    const std::string path(260, 'p');
    const std::string name47(47, 'n');
    char buffer[2048];
    int n = 0;
    switch (index) {
        case MsgAtTime:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN);
            break;
        case MsgAtReaction:
        case MsgAtDiffusion:
        case MsgAtPaint:
        case MsgExplorerReaction:
        case MsgExplorerDiffusion:
            n = std::snprintf(buffer, sizeof buffer, text, 'D');
            break;
        case MsgAtPaintRange:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN, INT_MIN);
            break;
        case MsgRunFieldRange:
            n = std::snprintf(buffer, sizeof buffer, text, 'D', INT_MIN, -1.2345e-300,
                              -1.2345e-300);
            break;
        case MsgRunFieldUniform:
            n = std::snprintf(buffer, sizeof buffer, text, 'D', INT_MIN, -1.2345e-300);
            break;
        case MsgExplorerStatus:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN, INT_MIN, -1.2345e-300);
            break;
        case MsgExplorerFormulaParameter:
            n = std::snprintf(buffer, sizeof buffer, text, name47.c_str());
            break;
        case MsgExplorerMovieWritten:
            n = std::snprintf(buffer, sizeof buffer, text, path.c_str(), INT_MIN);
            break;
        case 2:
        case MsgExplorerModel:
            n = std::snprintf(buffer, sizeof buffer, text, path.c_str());
            break;
        case 7:
        case 11:
        case 14:
        case 80:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN);
            break;
        case 85:
            n = std::snprintf(buffer, sizeof buffer, text, LLONG_MIN);
            break;
        case 86:
            n = std::snprintf(buffer, sizeof buffer, text, LLONG_MIN, LLONG_MIN);
            break;
        case 10:
            n = std::snprintf(buffer, sizeof buffer, text, UINT_MAX);
            break;
        case 13:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN, path.c_str());
            break;
        case 31:
        case 32:
        case 33:
            n = std::snprintf(buffer, sizeof buffer, text, 'D', 'D');
            break;
        // The model names, as the parser lists them from the model table.
        case 30:
        case 40:
            n = std::snprintf(buffer, sizeof buffer, text, ModelNamesButLast, "formula");
            break;
        case 46:
        case 49:
        case 52:
        case 78:
            n = std::snprintf(buffer, sizeof buffer, text, 'D');
            break;
        // Warnings: the longest model name, a modpar name as long as the parser reads (207
        // characters), the longest parameter list and meaning.
        case 93:
            n = std::snprintf(buffer, sizeof buffer, text, "ginzburglandau",
                              std::string(207, 'n').c_str(), "a1, a2, b1, b2, c1, c2, d1, d2");
            break;
        case 94:
            n = std::snprintf(buffer, sizeof buffer, text, "ginzburglandau",
                              std::string(207, 'n').c_str());
            break;
        case 95:
            n = std::snprintf(buffer, sizeof buffer, text, "ginzburglandau", "alpha",
                              std::string(60, 'm').c_str(), -1.0e-300);
            break;
        case 97:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN, path.c_str());
            break;
        // The picture messages: a map name and a file as the parser shows them (47 and 60
        // characters), the longest reason the C library gives.
        case MsgMapBadName:
        case MsgMapReserved:
        case MsgMapIsParameter:
        case MsgMapTwice:
            n = std::snprintf(buffer, sizeof buffer, text, name47.c_str());
            break;
        case MsgMapTooMany:
        case MsgInitmapRange:
            n = std::snprintf(buffer, sizeof buffer, text, index == MsgMapTooMany ? INT_MIN : 'D');
            break;
        case MsgPictureMissing:
        case MsgPictureDenied:
        case MsgPictureNotFile:
        case MsgPictureUnknown:
            n = std::snprintf(buffer, sizeof buffer, text, std::string(60, 'f').c_str());
            break;
        case MsgPictureTooLarge:
            n = std::snprintf(buffer, sizeof buffer, text, std::string(60, 'f').c_str(), INT_MIN);
            break;
        case MsgPictureUnreadable:
            n = std::snprintf(buffer, sizeof buffer, text, std::string(60, 'f').c_str(),
                              std::string(50, 'r').c_str());
            break;
        // The formula messages: a column within a line of 499 characters, names of 47.
        case MsgMissingFormula:
            n = std::snprintf(buffer, sizeof buffer, text, 'D', 'D');
            break;
        case MsgFormulaEmpty:
        case MsgFormulaUnexpectedEnd:
        case MsgFormulaPlusSign:
        case MsgFormulaMissingParen:
        case MsgFormulaTooLong:
            n = std::snprintf(buffer, sizeof buffer, text, 499);
            break;
        case MsgFormulaUnexpected:
        case MsgFormulaUnknownFunction:
        case MsgFormulaArgument:
        case MsgFormulaBadName:
            n = std::snprintf(buffer, sizeof buffer, text, 499, name47.c_str());
            break;
        case MsgFormulaArguments:
            n = std::snprintf(buffer, sizeof buffer, text, 499, "clamp", 3);
            break;
        case MsgFormulaExponent:
        case MsgFormulaNoCall:
            n = std::snprintf(buffer, sizeof buffer, text, 499, name47.c_str(), name47.c_str());
            break;
        case MsgFormulaNotComponent:
            n = std::snprintf(buffer, sizeof buffer, text, 499, "D", 'C');
            break;
        case MsgWarnFormulaSameKey:
            n = std::snprintf(buffer, sizeof buffer, text, name47.c_str(), name47.c_str());
            break;
        case MsgWarnFormulaParameterUnset:
            n = std::snprintf(buffer, sizeof buffer, text, name47.c_str());
            break;
        // A word near a keyword or a model is at most two characters longer than it.
        case 98:
            n = std::snprintf(buffer, sizeof buffer, text, "iterations12", "iterations");
            break;
        case 99:
            n = std::snprintf(buffer, sizeof buffer, text, "ginzburglandau12", "ginzburglandau",
                              ModelNamesButLast, "brd1");
            break;
        case 101:
            n = std::snprintf(buffer, sizeof buffer, text, INT_MIN);
            break;
        case 102:
            n = std::snprintf(buffer, sizeof buffer, text, "ginzburglandau",
                              std::string(207, 'n').c_str(), "alpha");
            break;
        case 103:
            n = std::snprintf(buffer, sizeof buffer, text, "ginzburglandau", "alphaaa", "alpha",
                              "a1, a2, b1, b2, c1, c2, d1, d2");
            break;
        default:
            n = int(std::strlen(text));
    }
    return size_t(n);
}

// Texts 26 to this one become annotation lines in scripts, and the later ones listed here.
constexpr int LastAnnotationMessage = 78;
constexpr int LaterAnnotationMessages[] = {98, 99, 100, 101};

class MessageTextsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(LoadMessageTexts(table), MemoryTable::Done); }
    StringTable table{"messages"};
};

}  // namespace

TEST_F(MessageTextsTest, EveryMessageExistsInBothLanguagesWithItsConversions) {
    EXPECT_EQ(table.GetMessageCount(), MessageTextCount);
    EXPECT_EQ(table.GetLanguageCount(), 2);
    for (int language = 0; language < 2; ++language) {
        ASSERT_EQ(table.SetLanguage(language), StringTable::Done);
        for (int index = 1; index <= MessageTextCount; ++index) {
            SCOPED_TRACE("message " + std::to_string(index) + ", language " +
                         std::to_string(language));
            const std::string text = table.Get(index);
            EXPECT_FALSE(text.empty());
            EXPECT_NE(text[0], '<');  // not a placeholder
            const auto expected = ExpectedConversions().find(index);
            EXPECT_EQ(Conversions(text.c_str()), expected != ExpectedConversions().end()
                                                     ? expected->second
                                                     : std::vector<std::string>{});
            EXPECT_LE(FormattedLength(text.c_str(), index), 343u);  // TmpStr, 344 bytes
        }
    }
    EXPECT_STREQ(table.Get(MessageTextCount + 1),
                 ("<undefined string #" + std::to_string(MessageTextCount + 1) + ">").c_str());
}

TEST_F(MessageTextsTest, AnnotationTextsAreSingleLinesThatFitTheParserBuffers) {
    for (int language = 0; language < 2; ++language) {
        ASSERT_EQ(table.SetLanguage(language), StringTable::Done);
        const std::string prefix = table.Get(26);
        EXPECT_EQ(prefix.rfind("#ERR", 0), 0u);  // the next parse drops lines starting so
        std::vector<int> annotations(LaterAnnotationMessages, std::end(LaterAnnotationMessages));
        for (int index = 26; index <= LastAnnotationMessage; ++index) annotations.push_back(index);
        for (int index = MsgAtSyntax; index <= MsgAtPaintRange; ++index) {
            annotations.push_back(index);
        }
        for (int index = MsgFormulaOtherModel; index <= MsgFormulaTooLong; ++index) {
            annotations.push_back(index);
        }
        for (int index = MsgMapSyntax; index <= MsgInitmapRange; ++index) {
            annotations.push_back(index);
        }
        for (int index : annotations) {
            SCOPED_TRACE("message " + std::to_string(index) + ", language " +
                         std::to_string(language));
            const char *text = table.Get(index);
            EXPECT_EQ(std::strpbrk(text, "\r\n"), nullptr);
            const size_t length = FormattedLength(text, index);
            EXPECT_LE(length, 199u);                      // message buffer, 200 characters
            EXPECT_LE(prefix.size() + length + 1, 220u);  // annotation line with its line feed
        }
        // Warnings are printed one per line and never written into the script; the parser
        // formats them in 400 bytes.
        for (int index : {93, 94, 95, 102, 103, int(MsgWarnFormulaSameKey),
                          int(MsgWarnFormulaParameterUnset)}) {
            SCOPED_TRACE("message " + std::to_string(index) + ", language " +
                         std::to_string(language));
            const char *text = table.Get(index);
            EXPECT_EQ(std::strpbrk(text, "\r\n"), nullptr);
            EXPECT_LE(FormattedLength(text, index), 399u);
        }
        EXPECT_LE(std::strlen(table.Get(25)), 48u);  // dialog filter text
    }
}

TEST(MessageTextsGlobalTest, LoadGSTFillsTheGlobalTableInBothLanguages) {
    ASSERT_EQ(LoadGST(), MemoryTable::Done);
    EXPECT_EQ(GST.GetMessageCount(), MessageTextCount);
    const std::string english = GST.Get(6);
    ASSERT_EQ(GST.SetLanguage(1), StringTable::Done);
    const std::string french = GST.Get(6);
    ASSERT_EQ(GST.SetLanguage(0), StringTable::Done);
    EXPECT_NE(english, french);
    // Loading again (a block that already fits) gives the same table.
    ASSERT_EQ(LoadGST(), MemoryTable::Done);
    EXPECT_EQ(std::string(GST.Get(6)), english);
}
