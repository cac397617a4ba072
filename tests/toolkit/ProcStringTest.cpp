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
    EXPECT_EQ(s.Append("abcde"), ProcString::Done);
    EXPECT_EQ(s.Append('f'), ProcString::Failed);
    EXPECT_EQ(s.Append("f"), ProcString::Failed);
    EXPECT_STREQ(s.GetString(), "abcde");
    ExpectConsistent(s);

    s.Clear();
    EXPECT_EQ(s.Append("abc"), ProcString::Done);
    EXPECT_EQ(s.Append("def"), ProcString::Failed);  // refused whole, not cut to "ab"
    EXPECT_STREQ(s.GetString(), "abc");
    EXPECT_EQ(s.Append('\0'), ProcString::Failed);
    EXPECT_EQ(s.Append(static_cast<const char *>(nullptr)), ProcString::Failed);
    ProcString tail("de", 0);
    EXPECT_EQ(s.Append(tail), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "abcde");
    ExpectConsistent(s);
}

TEST(ProcStringTest, AppendKeepsCursorAndGrowsRemaining) {
    ProcString s("ab cd", 20);
    ASSERT_EQ(s.CMoveNextWord(), ProcString::Done);
    ASSERT_EQ(Rest(s), "cd");
    EXPECT_EQ(s.Append("ef"), ProcString::Done);
    EXPECT_EQ(Rest(s), "cdef");
    EXPECT_EQ(s.GetRemaining(), 4);
    ExpectConsistent(s);
}

TEST(ProcStringTest, InitGrowsOnlyWhenNeededAndReservesRoom) {
    ProcString s("hello", 0);
    EXPECT_EQ(s.GetMaxSize(), 5);
    EXPECT_EQ(s.Init("hi", 40), ProcString::Done);
    EXPECT_EQ(s.GetMaxSize(), 40);
    EXPECT_EQ(s.Init("a much longer text than forty characters, surely", 0), ProcString::Done);
    EXPECT_EQ(s.GetMaxSize(), 48);
    ExpectConsistent(s);
    // A text that lies inside the string itself survives the regrowth.
    EXPECT_EQ(s.Init(s.GetString() + 2, 100), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "much longer text than forty characters, surely");
    ExpectConsistent(s);
}

TEST(ProcStringTest, StringWithoutStorageRefusesEverything) {
    ProcString s(-1);
    EXPECT_EQ(s.GetString(), nullptr);
    EXPECT_EQ(s.GetMaxSize(), 0);
    EXPECT_EQ(s.Append('a'), ProcString::NoStorage);
    EXPECT_EQ(s.Append("a"), ProcString::NoStorage);
    EXPECT_EQ(s.Clear(), ProcString::Failed);
    EXPECT_EQ(s.WriteFile(stdout), ProcString::Failed);
    EXPECT_EQ(s.LoadLineFromFile(stdin), ProcString::NoStorage);
    EXPECT_EQ(s.RemoveFileNameExtension('/'), ProcString::Failed);
    EXPECT_EQ(s.CMoveSkipSpaces(), ProcString::Failed);
    char word[8] = "x";
    EXPECT_EQ(s.CMoveReadWord(word, 8), ProcString::Failed);
    EXPECT_STREQ(word, "");
    float f = 0;
    EXPECT_EQ(s.CMoveReadFloat(f, 7.0f), ProcString::Failed);
    EXPECT_EQ(f, 7.0f);
    // A later sizing gives it storage again.
    EXPECT_EQ(s.SetNewSize(3), ProcString::Done);
    EXPECT_EQ(s.Append("abc"), ProcString::Done);
}

TEST(ProcStringTest, ShareWritesIntoTheCallersBuffer) {
    char buffer[16] = "abc";
    ProcString s(4);
    EXPECT_EQ(s.Share(nullptr, 0), ProcString::Failed);
    ASSERT_EQ(s.Share(buffer, 10), ProcString::Done);
    EXPECT_EQ(s.GetMaxSize(), 10);
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.Append("def"), ProcString::Done);
    EXPECT_STREQ(buffer, "abcdef");
    // A view of a text with size 0 is full: appending would run past its terminator.
    char word[] = "word";
    ASSERT_EQ(s.Share(word, 0), ProcString::Done);
    EXPECT_EQ(s.GetMaxSize(), 4);
    EXPECT_EQ(s.Append('s'), ProcString::Failed);
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
    EXPECT_EQ(s.LoadLineFromFile(nullptr), ProcString::NoStorage);
    EXPECT_EQ(s.LoadLineFromFile(in), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "123456789");  // MaxSize - 1 characters
    EXPECT_EQ(s.LoadLineFromFile(in), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "0abc\n");
    EXPECT_EQ(s.LoadLineFromFile(in), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "short\r\n");
    EXPECT_EQ(s.LoadLineFromFile(in), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "last");
    ExpectConsistent(s);
    EXPECT_EQ(s.LoadLineFromFile(in), ProcString::Failed);
    ExpectConsistent(s);
    std::rewind(in);
    ProcString tiny(1);  // room for no character: never reports a line
    EXPECT_EQ(tiny.LoadLineFromFile(in), ProcString::Failed);
    std::fclose(in);
    std::remove(path.c_str());
}

TEST(ProcStringTest, WriteFileWritesLengthCharactersOnly) {
    FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ProcString s("ab\n", 10);
    EXPECT_EQ(s.WriteFile(nullptr), ProcString::NoStorage);
    EXPECT_EQ(s.WriteFile(file), ProcString::Done);
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
    EXPECT_EQ(s.CMoveSkipFileNamePath('/'), ProcString::Done);
    EXPECT_EQ(Rest(s), c.fileName);
    ExpectConsistent(s);
    s.ResetCursor();
    EXPECT_EQ(s.RemoveFileNameExtension('/'), ProcString::Done);
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
    ASSERT_EQ(s.CMoveNextWord(), ProcString::Failed);  // cursor at the end
    EXPECT_EQ(s.RemoveFileNameExtension('/'), ProcString::Done);
    EXPECT_STREQ(s.GetString(), "name");
    ExpectConsistent(s);
}

TEST(ProcStringTest, MatchWordNeedsADelimiterAndSkipsBlanks) {
    ProcString s("model \tgray", 0);
    EXPECT_EQ(s.CMoveMatchWord("mod"), ProcString::Failed);
    EXPECT_EQ(s.GetCursorOffset(), 0);
    EXPECT_EQ(s.CMoveMatchWord(nullptr), ProcString::Failed);
    EXPECT_EQ(s.CMoveMatchWord("model"), ProcString::Done);
    EXPECT_EQ(Rest(s), "gray");
    EXPECT_EQ(s.CMoveMatchWord("gray"), ProcString::Done);  // the terminator ends a word
    EXPECT_EQ(s.GetRemaining(), 0);
    ExpectConsistent(s);
}

TEST(ProcStringTest, CaseInsensitiveMatchDiffersOnCarriageReturn) {
    ProcString s("Model x", 0);
    EXPECT_EQ(s.CMoveMatchWordCI("MODEL"), ProcString::Done);
    EXPECT_EQ(Rest(s), "x");

    ProcString cr("model\r\n", 0);
    EXPECT_EQ(cr.CMoveMatchWordCI("model"), ProcString::Failed);
    EXPECT_EQ(cr.CMoveMatchWord("model"), ProcString::Done);
    EXPECT_EQ(Rest(cr), "\r\n");

    ProcString lf("MoDeL\n", 0);
    EXPECT_EQ(lf.CMoveMatchWordCI("model"), ProcString::Done);
    // A word character 32 above the terminator must not let the match run past the end.
    ProcString shortText("a", 0);
    EXPECT_EQ(shortText.CMoveMatchWordCI("a "), ProcString::Failed);
    EXPECT_EQ(shortText.GetCursorOffset(), 0);
}

TEST(ProcStringTest, MatchCharAndStringDoNotSkipBlanks) {
    ProcString s("ab c", 0);
    EXPECT_EQ(s.CMoveMatchChar('b'), ProcString::Failed);
    EXPECT_EQ(s.CMoveMatchChar('a'), ProcString::Done);
    EXPECT_EQ(s.CMoveMatchString("b "), ProcString::Done);
    EXPECT_EQ(Rest(s), "c");
    EXPECT_EQ(s.CMoveMatchString("cd"), ProcString::Failed);
    EXPECT_EQ(s.CMoveMatchChar('c'), ProcString::Done);
    EXPECT_EQ(s.CMoveMatchChar('\0'), ProcString::Failed);  // never passes the terminator
    ExpectConsistent(s);
}

TEST(ProcStringTest, MatchEndRecognisesLineEnds) {
    ProcString last("\n", 0);
    EXPECT_EQ(last.CMatchEnd(0), ProcString::Done);
    ProcString more("\nx", 0);
    EXPECT_EQ(more.CMatchEnd(0), ProcString::Failed);
    EXPECT_EQ(more.CMatchEnd(1), ProcString::Done);
    ProcString cr("\rx", 0);
    EXPECT_EQ(cr.CMatchEnd(1), ProcString::Done);
    ProcString text("x", 0);
    EXPECT_EQ(text.CMatchEnd(1), ProcString::Failed);
    ProcString empty("", 0);
    EXPECT_EQ(empty.CMatchEnd(0), ProcString::Done);
}

TEST(ProcStringTest, NextLineAndNextWordStopAtTheEnd) {
    ProcString s("a\nb", 0);
    EXPECT_EQ(s.CMoveNextLine(), ProcString::Done);
    EXPECT_EQ(Rest(s), "b");
    EXPECT_EQ(s.CMoveNextLine(), ProcString::Failed);
    EXPECT_EQ(s.GetRemaining(), 0);

    ProcString w("one\ntwo  three ", 0);
    EXPECT_EQ(w.CMoveNextWord(), ProcString::Done);  // a line feed is an ordinary character here
    EXPECT_EQ(Rest(w), "three ");
    EXPECT_EQ(w.CMoveNextWord(), ProcString::Failed);
    EXPECT_EQ(w.GetRemaining(), 0);
    ExpectConsistent(w);
}

TEST(ProcStringTest, ReadCapLetterTakesOnlyCapitals) {
    ProcString s("a", 0);
    char c = '?';
    EXPECT_EQ(s.CMoveReadCapLetter(c), ProcString::Failed);
    EXPECT_EQ(c, '?');
    ProcString t("B  x", 0);
    EXPECT_EQ(t.CMoveReadCapLetter(c), ProcString::Done);
    EXPECT_EQ(c, 'B');
    EXPECT_EQ(Rest(t), "x");
}

struct WordCase {
    const char *text;
    bool lettersOnly;
    ProcString::Result result;
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
    const ProcString::Result result =
        c.lettersOnly ? s.CMoveReadAlphWord(out, 8) : s.CMoveReadWord(out, 8);
    EXPECT_EQ(result, c.result);
    EXPECT_STREQ(out, c.word);
    EXPECT_EQ(Rest(s), c.rest);
    ExpectConsistent(s);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcStringWord,
    testing::Values(WordCase{"word  next", false, ProcString::Done, "word", "next"},
                    WordCase{"word\n", false, ProcString::Done, "word", "\n"},
                    WordCase{"wo\rd x", false, ProcString::Done, "wo\rd", "x"},
                    WordCase{"end", false, ProcString::Done, "end", ""},
                    WordCase{"", false, ProcString::Failed, "", ""},
                    WordCase{" x", false, ProcString::Done, "", "x"},
                    // 7 characters fit an 8-byte buffer, 8 do not: refused, nothing moves
                    WordCase{"1234567 x", false, ProcString::Done, "1234567", "x"},
                    WordCase{"12345678 x", false, ProcString::Failed, "", "12345678 x"},
                    WordCase{"Alpha beta", true, ProcString::Done, "Alpha", "beta"},
                    WordCase{"", true, ProcString::Done, "", ""},
                    WordCase{"ab1 c", true, ProcString::Failed, "", "ab1 c"},
                    WordCase{"abcdefgh", true, ProcString::Failed, "", "abcdefgh"}));

TEST(ProcStringTest, ReadWordRefusesNullOrZeroSizedBuffer) {
    ProcString s("word", 0);
    char out[4] = "abc";
    EXPECT_EQ(s.CMoveReadWord(nullptr, 8), ProcString::Failed);
    EXPECT_EQ(s.CMoveReadWord(out, 0), ProcString::Failed);
    EXPECT_STREQ(out, "abc");  // not even a terminator written
    EXPECT_EQ(s.CMoveReadWord(out, 1), ProcString::Failed);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(s.GetCursorOffset(), 0);
}

struct IntegerCase {
    const char *text;
    ProcString::Result result;
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
    testing::Values(IntegerCase{"42  x", ProcString::Done, 42, "x"},
                    IntegerCase{"-7\n", ProcString::Done, -7, "\n"},
                    IntegerCase{"+5 x", ProcString::Done, 5, "+5 x"},  // converted, '+' not skipped
                    IntegerCase{" 12", ProcString::Done, 12,
                                "12"},  // converted, only blanks skipped
                    IntegerCase{"\n3", ProcString::Done, 3, "\n3"},
                    IntegerCase{"x1", ProcString::Failed, 99, "x1"},
                    IntegerCase{"-", ProcString::Failed, 99, "-"},
                    IntegerCase{"", ProcString::Failed, 99, ""},
                    IntegerCase{"12.5", ProcString::Done, 12, ".5"},
                    IntegerCase{"99999999999 x", ProcString::Done, INT32_MAX, "x"},
                    IntegerCase{"-2147483648", ProcString::Done, INT32_MIN, ""},
                    IntegerCase{"-99999999999999999999999", ProcString::Done, INT32_MIN, ""}));

TEST(ProcStringTest, PrefixAndPostfixIntegers) {
    int32_t value = 99;
    ProcString s("12x", 0);
    EXPECT_EQ(s.CMoveReadPostfixInteger(value, 'x'), ProcString::Done);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(s.GetRemaining(), 0);

    value = 99;
    ProcString spaced("12 x", 0);
    EXPECT_EQ(spaced.CMoveReadPostfixInteger(value, 'x'), ProcString::Failed);
    EXPECT_EQ(value, 99);
    EXPECT_EQ(spaced.GetCursorOffset(), 0);

    ProcString prefixed("n=-4 rest", 0);
    EXPECT_EQ(prefixed.CMoveReadPrefixInteger("m=", value), ProcString::Failed);
    EXPECT_EQ(prefixed.GetCursorOffset(), 0);
    EXPECT_EQ(prefixed.CMoveReadPrefixInteger("n=", value), ProcString::Done);
    EXPECT_EQ(value, -4);
    EXPECT_EQ(Rest(prefixed), "rest");

    ProcString badNumber("n=x", 0);
    EXPECT_EQ(badNumber.CMoveReadPrefixInteger("n=", value), ProcString::Failed);
    EXPECT_EQ(Rest(badNumber), "x");  // stays after the matched prefix
}

struct FloatCase {
    const char *text;
    ProcString::Result result;
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

INSTANTIATE_TEST_SUITE_P(Cases, ProcStringFloat,
                         testing::Values(FloatCase{"-3.5 rest", ProcString::Done, -3.5f, "rest"},
                                         FloatCase{"abc", ProcString::Failed, 9.0f, "abc"},
                                         FloatCase{"1e3 x", ProcString::Done, 1000.0f, "e3 x"},
                                         FloatCase{"1.2.3 x", ProcString::Done, 1.2f, "x"},
                                         FloatCase{"+0.5", ProcString::Done, 0.5f, "+0.5"},
                                         FloatCase{".25\t\n", ProcString::Done, 0.25f, "\n"},
                                         FloatCase{"0.1", ProcString::Done, 0.1f, ""},
                                         FloatCase{"", ProcString::Failed, 9.0f, ""}));

TEST(ProcStringTest, HugeFloatIsInfinityNotFailure) {
    ProcString s("1e99", 0);
    float value = 0;
    EXPECT_EQ(s.CMoveReadFloat(value, 0), ProcString::Done);
    EXPECT_TRUE(std::isinf(value));
}

TEST(ProcStringTest, SignedAndPrefixFloats) {
    float value = 5;
    ProcString plus("+0.25", 0);
    EXPECT_EQ(plus.CMoveReadSignedFloat(value), ProcString::Done);
    EXPECT_EQ(value, 0.25f);
    ProcString minus("-2 x", 0);
    EXPECT_EQ(minus.CMoveReadSignedFloat(value), ProcString::Done);
    EXPECT_EQ(value, -2.0f);
    EXPECT_EQ(Rest(minus), "x");

    value = 5;
    ProcString unsignedText("0.25", 0);
    EXPECT_EQ(unsignedText.CMoveReadSignedFloat(value), ProcString::Failed);
    EXPECT_EQ(value, 5.0f);
    ProcString signOnly("+x", 0);
    EXPECT_EQ(signOnly.CMoveReadSignedFloat(value), ProcString::Failed);
    EXPECT_EQ(signOnly.GetCursorOffset(), 0);

    ProcString prefixed("r0.5 g", 0);
    EXPECT_EQ(prefixed.CMoveReadPrefixFloat('g', value, 7.0f), ProcString::Failed);
    EXPECT_EQ(value, 7.0f);
    EXPECT_EQ(prefixed.CMoveReadPrefixFloat('r', value, 7.0f), ProcString::Done);
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(Rest(prefixed), "g");
    ProcString noNumber("rx", 0);
    EXPECT_EQ(noNumber.CMoveReadPrefixFloat('r', value, 7.0f), ProcString::Failed);
    EXPECT_EQ(value, 7.0f);
    EXPECT_EQ(Rest(noNumber), "x");
}
