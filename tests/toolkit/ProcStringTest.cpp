#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "toolkit/ProcString.h"

namespace {

// Checks the invariants every operation must keep.
void ExpectConsistent(const ProcString &s) {
    ASSERT_NE(s.GetString(), nullptr);
    EXPECT_EQ(int32_t(std::strlen(s.GetString())), s.GetLength());
    EXPECT_LE(s.GetLength(), s.GetMaxSize());
    EXPECT_EQ(s.GetRemaining(), s.GetLength() - s.GetCursorOffset());
    EXPECT_GE(s.GetCursorOffset(), 0);
}

std::string Rest(const ProcString &s) { return s.GetCursor(); }

}  // namespace

TEST(ProcStringTest, AppendsAreRefusedWholeBeyondCapacity) {
    ProcString s(5);
    ASSERT_EQ(s.GetMaxSize(), 5);
    EXPECT_EQ(s.Append("abcde"), 1);
    EXPECT_EQ(s.Append('f'), 0);
    EXPECT_EQ(s.Append("f"), 0);
    EXPECT_STREQ(s.GetString(), "abcde");
    ExpectConsistent(s);

    s.Clear();
    EXPECT_EQ(s.Append("abc"), 1);
    EXPECT_EQ(s.Append("def"), 0);  // refused whole, not cut to "ab"
    EXPECT_STREQ(s.GetString(), "abc");
    EXPECT_EQ(s.Append('\0'), 0);
    EXPECT_EQ(s.Append(static_cast<const char *>(nullptr)), 0);
    ProcString tail("de", 0);
    EXPECT_EQ(s.Append(tail), 1);
    EXPECT_STREQ(s.GetString(), "abcde");
    ExpectConsistent(s);
}

TEST(ProcStringTest, AppendKeepsCursorAndGrowsRemaining) {
    ProcString s("ab cd", 20);
    ASSERT_EQ(s.CMoveNextWord(), 1);
    ASSERT_EQ(Rest(s), "cd");
    EXPECT_EQ(s.Append("ef"), 1);
    EXPECT_EQ(Rest(s), "cdef");
    EXPECT_EQ(s.GetRemaining(), 4);
    ExpectConsistent(s);
}

TEST(ProcStringTest, InitGrowsOnlyWhenNeededAndReservesRoom) {
    ProcString s("hello", 0);
    EXPECT_EQ(s.GetMaxSize(), 5);
    EXPECT_EQ(s.Init("hi", 40), 1);
    EXPECT_EQ(s.GetMaxSize(), 40);
    EXPECT_EQ(s.Init("a much longer text than forty characters, surely", 0), 1);
    EXPECT_EQ(s.GetMaxSize(), 48);
    ExpectConsistent(s);
    // A text that lies inside the string itself survives the regrowth.
    EXPECT_EQ(s.Init(s.GetString() + 2, 100), 1);
    EXPECT_STREQ(s.GetString(), "much longer text than forty characters, surely");
    ExpectConsistent(s);
}

TEST(ProcStringTest, StringWithoutStorageRefusesEverything) {
    ProcString s(-1);
    EXPECT_EQ(s.GetString(), nullptr);
    EXPECT_EQ(s.GetMaxSize(), 0);
    EXPECT_EQ(s.Append('a'), 3);
    EXPECT_EQ(s.Append("a"), 3);
    EXPECT_EQ(s.Clear(), 0);
    EXPECT_EQ(s.WriteFile(stdout), 0);
    EXPECT_EQ(s.LoadLineFromFile(stdin), 3);
    EXPECT_EQ(s.RemoveFileNameExtension('/'), 0);
    EXPECT_EQ(s.CMoveSkipSpaces(), 0);
    char word[8] = "x";
    EXPECT_EQ(s.CMoveReadWord(word, 8), 0);
    EXPECT_STREQ(word, "");
    float f = 0;
    EXPECT_EQ(s.CMoveReadFloat(f, 7.0f), 0);
    EXPECT_EQ(f, 7.0f);
    // A later sizing gives it storage again.
    EXPECT_EQ(s.SetNewSize(3), 1);
    EXPECT_EQ(s.Append("abc"), 1);
}

TEST(ProcStringTest, ShareWritesIntoTheCallersBuffer) {
    char buffer[16] = "abc";
    ProcString s(4);
    EXPECT_EQ(s.Share(nullptr, 0), 0);
    ASSERT_EQ(s.Share(buffer, 10), 1);
    EXPECT_EQ(s.GetMaxSize(), 10);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.Append("def"), 1);
    EXPECT_STREQ(buffer, "abcdef");
    // A view of a text with size 0 is full: appending would run past its terminator.
    char word[] = "word";
    ASSERT_EQ(s.Share(word, 0), 1);
    EXPECT_EQ(s.GetMaxSize(), 4);
    EXPECT_EQ(s.Append('s'), 0);
    EXPECT_EQ(s.IsShared(), true);
}

TEST(ProcStringTest, LoadLineFromFileReadsLikeFgets) {
    const std::string path = testing::TempDir() + "procstring_lines.txt";
    FILE *out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("1234567890abc\nshort\r\nlast", out);
    std::fclose(out);

    FILE *in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    ProcString s(10);
    EXPECT_EQ(s.LoadLineFromFile(nullptr), 3);
    EXPECT_EQ(s.LoadLineFromFile(in), 1);
    EXPECT_STREQ(s.GetString(), "123456789");  // MaxSize - 1 characters
    EXPECT_EQ(s.LoadLineFromFile(in), 1);
    EXPECT_STREQ(s.GetString(), "0abc\n");
    EXPECT_EQ(s.LoadLineFromFile(in), 1);
    EXPECT_STREQ(s.GetString(), "short\r\n");
    EXPECT_EQ(s.LoadLineFromFile(in), 1);
    EXPECT_STREQ(s.GetString(), "last");
    ExpectConsistent(s);
    EXPECT_EQ(s.LoadLineFromFile(in), 0);
    ExpectConsistent(s);
    std::rewind(in);
    ProcString tiny(1);  // room for no character: never reports a line
    EXPECT_EQ(tiny.LoadLineFromFile(in), 0);
    std::fclose(in);
    std::remove(path.c_str());
}

TEST(ProcStringTest, WriteFileWritesLengthCharactersOnly) {
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProcString s("ab\n", 10);
    EXPECT_EQ(s.WriteFile(nullptr), 3);
    EXPECT_EQ(s.WriteFile(file), 1);
    EXPECT_EQ(std::ftell(file), 3);
    std::fclose(file);
}

struct FileNameCase {
    const char *path;
    const char *withoutExtension;
    const char *fileName;
};

void PrintTo(const FileNameCase &c, std::ostream *os) {
    *os << testing::PrintToString(std::string(c.path));
}

class ProcStringFileName : public testing::TestWithParam<FileNameCase> {};

TEST_P(ProcStringFileName, CutsExtensionAndSkipsPath) {
    const FileNameCase c = GetParam();
    ProcString s(c.path, 0);
    EXPECT_EQ(s.CMoveSkipFileNamePath('/'), 1);
    EXPECT_EQ(Rest(s), c.fileName);
    ExpectConsistent(s);
    s.ResetCursor();
    EXPECT_EQ(s.RemoveFileNameExtension('/'), 1);
    EXPECT_STREQ(s.GetString(), c.withoutExtension);
    ExpectConsistent(s);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProcStringFileName,
                         testing::Values(FileNameCase{"C:/dir/tex.vna", "C:/dir/tex", "tex.vna"},
                                         FileNameCase{"C:/dir.x/tex", "C:/dir.x/tex", "tex"},
                                         FileNameCase{".profile", ".profile", ".profile"},
                                         FileNameCase{"a.b.c", "a.b", "a.b.c"},
                                         FileNameCase{"tex", "tex", "tex"},
                                         FileNameCase{"/tex", "/tex", "/tex"},
                                         FileNameCase{"", "", ""},
                                         FileNameCase{"dir/", "dir/", ""}));

TEST(ProcStringTest, RemoveExtensionKeepsCursorInsideTheString) {
    ProcString s("name.ext", 0);
    ASSERT_EQ(s.CMoveNextWord(), 0);  // cursor at the end
    EXPECT_EQ(s.RemoveFileNameExtension('/'), 1);
    EXPECT_STREQ(s.GetString(), "name");
    ExpectConsistent(s);
}

TEST(ProcStringTest, MatchWordNeedsADelimiterAndSkipsBlanks) {
    ProcString s("model \tgray", 0);
    EXPECT_EQ(s.CMoveMatchWord("mod"), 0);
    EXPECT_EQ(s.GetCursorOffset(), 0);
    EXPECT_EQ(s.CMoveMatchWord(nullptr), 0);
    EXPECT_EQ(s.CMoveMatchWord("model"), 1);
    EXPECT_EQ(Rest(s), "gray");
    EXPECT_EQ(s.CMoveMatchWord("gray"), 1);  // the terminator ends a word
    EXPECT_EQ(s.GetRemaining(), 0);
    ExpectConsistent(s);
}

TEST(ProcStringTest, CaseInsensitiveMatchDiffersOnCarriageReturn) {
    ProcString s("Model x", 0);
    EXPECT_EQ(s.CMoveMatchWordCI("MODEL"), 1);
    EXPECT_EQ(Rest(s), "x");

    ProcString cr("model\r\n", 0);
    EXPECT_EQ(cr.CMoveMatchWordCI("model"), 0);
    EXPECT_EQ(cr.CMoveMatchWord("model"), 1);
    EXPECT_EQ(Rest(cr), "\r\n");

    ProcString lf("MoDeL\n", 0);
    EXPECT_EQ(lf.CMoveMatchWordCI("model"), 1);
    // A word character 32 above the terminator must not let the match run past the end.
    ProcString shortText("a", 0);
    EXPECT_EQ(shortText.CMoveMatchWordCI("a "), 0);
    EXPECT_EQ(shortText.GetCursorOffset(), 0);
}

TEST(ProcStringTest, MatchCharAndStringDoNotSkipBlanks) {
    ProcString s("ab c", 0);
    EXPECT_EQ(s.CMoveMatchChar('b'), 0);
    EXPECT_EQ(s.CMoveMatchChar('a'), 1);
    EXPECT_EQ(s.CMoveMatchString("b "), 1);
    EXPECT_EQ(Rest(s), "c");
    EXPECT_EQ(s.CMoveMatchString("cd"), 0);
    EXPECT_EQ(s.CMoveMatchChar('c'), 1);
    EXPECT_EQ(s.CMoveMatchChar('\0'), 0);  // never passes the terminator
    ExpectConsistent(s);
}

TEST(ProcStringTest, MatchEndRecognisesLineEnds) {
    ProcString last("\n", 0);
    EXPECT_EQ(last.CMatchEnd(0), 1);
    ProcString more("\nx", 0);
    EXPECT_EQ(more.CMatchEnd(0), 0);
    EXPECT_EQ(more.CMatchEnd(1), 1);
    ProcString cr("\rx", 0);
    EXPECT_EQ(cr.CMatchEnd(1), 1);
    ProcString text("x", 0);
    EXPECT_EQ(text.CMatchEnd(1), 0);
    ProcString empty("", 0);
    EXPECT_EQ(empty.CMatchEnd(0), 1);
}

TEST(ProcStringTest, NextLineAndNextWordStopAtTheEnd) {
    ProcString s("a\nb", 0);
    EXPECT_EQ(s.CMoveNextLine(), 1);
    EXPECT_EQ(Rest(s), "b");
    EXPECT_EQ(s.CMoveNextLine(), 0);
    EXPECT_EQ(s.GetRemaining(), 0);

    ProcString w("one\ntwo  three ", 0);
    EXPECT_EQ(w.CMoveNextWord(), 1);  // a line feed is an ordinary character here
    EXPECT_EQ(Rest(w), "three ");
    EXPECT_EQ(w.CMoveNextWord(), 0);
    EXPECT_EQ(w.GetRemaining(), 0);
    ExpectConsistent(w);
}

TEST(ProcStringTest, ReadCapLetterTakesOnlyCapitals) {
    ProcString s("a", 0);
    char c = '?';
    EXPECT_EQ(s.CMoveReadCapLetter(c), 0);
    EXPECT_EQ(c, '?');
    ProcString t("B  x", 0);
    EXPECT_EQ(t.CMoveReadCapLetter(c), 1);
    EXPECT_EQ(c, 'B');
    EXPECT_EQ(Rest(t), "x");
}

struct WordCase {
    const char *text;
    bool lettersOnly;
    int result;
    const char *word;
    const char *rest;
};

void PrintTo(const WordCase &c, std::ostream *os) {
    *os << testing::PrintToString(std::string(c.text));
}

class ProcStringWord : public testing::TestWithParam<WordCase> {};

TEST_P(ProcStringWord, ReadsUpToBlankOrLineFeed) {
    const WordCase c = GetParam();
    ProcString s(c.text, 0);
    char out[8] = "junk";
    const int result = c.lettersOnly ? s.CMoveReadAlphWord(out, 8) : s.CMoveReadWord(out, 8);
    EXPECT_EQ(result, c.result);
    EXPECT_STREQ(out, c.word);
    EXPECT_EQ(Rest(s), c.rest);
    ExpectConsistent(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcStringWord,
    testing::Values(WordCase{"word  next", false, 1, "word", "next"},
                    WordCase{"word\n", false, 1, "word", "\n"},
                    WordCase{"wo\rd x", false, 1, "wo\rd", "x"},
                    WordCase{"end", false, 1, "end", ""}, WordCase{"", false, 0, "", ""},
                    WordCase{" x", false, 1, "", "x"},
                    // 7 characters fit an 8-byte buffer, 8 do not: refused, nothing moves
                    WordCase{"1234567 x", false, 1, "1234567", "x"},
                    WordCase{"12345678 x", false, 0, "", "12345678 x"},
                    WordCase{"Alpha beta", true, 1, "Alpha", "beta"}, WordCase{"", true, 1, "", ""},
                    WordCase{"ab1 c", true, 0, "", "ab1 c"},
                    WordCase{"abcdefgh", true, 0, "", "abcdefgh"}));

TEST(ProcStringTest, ReadWordRefusesNullOrZeroSizedBuffer) {
    ProcString s("word", 0);
    char out[4] = "abc";
    EXPECT_EQ(s.CMoveReadWord(nullptr, 8), 0);
    EXPECT_EQ(s.CMoveReadWord(out, 0), 0);
    EXPECT_STREQ(out, "abc");  // not even a terminator written
    EXPECT_EQ(s.CMoveReadWord(out, 1), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(s.GetCursorOffset(), 0);
}

struct IntegerCase {
    const char *text;
    int result;
    int32_t value;  // 99 when untouched
    const char *rest;
};

void PrintTo(const IntegerCase &c, std::ostream *os) {
    *os << testing::PrintToString(std::string(c.text));
}

class ProcStringInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(ProcStringInteger, ConvertsLikeScanfAndSkipsItsOwnWay) {
    const IntegerCase c = GetParam();
    ProcString s(c.text, 0);
    int32_t value = 99;
    EXPECT_EQ(s.CMoveReadInteger(value), c.result);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(Rest(s), c.rest);
    ExpectConsistent(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcStringInteger,
    testing::Values(IntegerCase{"42  x", 1, 42, "x"}, IntegerCase{"-7\n", 1, -7, "\n"},
                    IntegerCase{"+5 x", 1, 5, "+5 x"},  // converted, '+' not skipped
                    IntegerCase{" 12", 1, 12, "12"},    // converted, only blanks skipped
                    IntegerCase{"\n3", 1, 3, "\n3"}, IntegerCase{"x1", 0, 99, "x1"},
                    IntegerCase{"-", 0, 99, "-"}, IntegerCase{"", 0, 99, ""},
                    IntegerCase{"12.5", 1, 12, ".5"},
                    IntegerCase{"99999999999 x", 1, INT32_MAX, "x"},
                    IntegerCase{"-2147483648", 1, INT32_MIN, ""},
                    IntegerCase{"-99999999999999999999999", 1, INT32_MIN, ""}));

TEST(ProcStringTest, PrefixAndPostfixIntegers) {
    int32_t value = 99;
    ProcString s("12x", 0);
    EXPECT_EQ(s.CMoveReadPostfixInteger(value, 'x'), 1);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(s.GetRemaining(), 0);

    value = 99;
    ProcString spaced("12 x", 0);
    EXPECT_EQ(spaced.CMoveReadPostfixInteger(value, 'x'), 0);
    EXPECT_EQ(value, 99);
    EXPECT_EQ(spaced.GetCursorOffset(), 0);

    ProcString prefixed("n=-4 rest", 0);
    EXPECT_EQ(prefixed.CMoveReadPrefixInteger("m=", value), 0);
    EXPECT_EQ(prefixed.GetCursorOffset(), 0);
    EXPECT_EQ(prefixed.CMoveReadPrefixInteger("n=", value), 1);
    EXPECT_EQ(value, -4);
    EXPECT_EQ(Rest(prefixed), "rest");

    ProcString badNumber("n=x", 0);
    EXPECT_EQ(badNumber.CMoveReadPrefixInteger("n=", value), 0);
    EXPECT_EQ(Rest(badNumber), "x");  // stays after the matched prefix
}

struct FloatCase {
    const char *text;
    int result;
    float value;
    const char *rest;
};

void PrintTo(const FloatCase &c, std::ostream *os) {
    *os << testing::PrintToString(std::string(c.text));
}

class ProcStringFloat : public testing::TestWithParam<FloatCase> {};

TEST_P(ProcStringFloat, ConvertsLikeScanfAndSkipsItsOwnWay) {
    const FloatCase c = GetParam();
    ProcString s(c.text, 0);
    float value = 0;
    EXPECT_EQ(s.CMoveReadFloat(value, 9.0f), c.result);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(Rest(s), c.rest);
    ExpectConsistent(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcStringFloat,
    testing::Values(FloatCase{"-3.5 rest", 1, -3.5f, "rest"}, FloatCase{"abc", 0, 9.0f, "abc"},
                    FloatCase{"1e3 x", 1, 1000.0f, "e3 x"}, FloatCase{"1.2.3 x", 1, 1.2f, "x"},
                    FloatCase{"+0.5", 1, 0.5f, "+0.5"}, FloatCase{".25\t\n", 1, 0.25f, "\n"},
                    FloatCase{"0.1", 1, 0.1f, ""}, FloatCase{"", 0, 9.0f, ""}));

TEST(ProcStringTest, HugeFloatIsInfinityNotFailure) {
    ProcString s("1e99", 0);
    float value = 0;
    EXPECT_EQ(s.CMoveReadFloat(value, 0), 1);
    EXPECT_TRUE(std::isinf(value));
}

TEST(ProcStringTest, SignedAndPrefixFloats) {
    float value = 5;
    ProcString plus("+0.25", 0);
    EXPECT_EQ(plus.CMoveReadSignedFloat(value), 1);
    EXPECT_EQ(value, 0.25f);
    ProcString minus("-2 x", 0);
    EXPECT_EQ(minus.CMoveReadSignedFloat(value), 1);
    EXPECT_EQ(value, -2.0f);
    EXPECT_EQ(Rest(minus), "x");

    value = 5;
    ProcString unsignedText("0.25", 0);
    EXPECT_EQ(unsignedText.CMoveReadSignedFloat(value), 0);
    EXPECT_EQ(value, 5.0f);
    ProcString signOnly("+x", 0);
    EXPECT_EQ(signOnly.CMoveReadSignedFloat(value), 0);
    EXPECT_EQ(signOnly.GetCursorOffset(), 0);

    ProcString prefixed("r0.5 g", 0);
    EXPECT_EQ(prefixed.CMoveReadPrefixFloat('g', value, 7.0f), 0);
    EXPECT_EQ(value, 7.0f);
    EXPECT_EQ(prefixed.CMoveReadPrefixFloat('r', value, 7.0f), 1);
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(Rest(prefixed), "g");
    ProcString noNumber("rx", 0);
    EXPECT_EQ(noNumber.CMoveReadPrefixFloat('r', value, 7.0f), 0);
    EXPECT_EQ(value, 7.0f);
    EXPECT_EQ(Rest(noNumber), "x");
}
