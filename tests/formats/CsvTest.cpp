#include "formats/Csv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using formats::CsvField;
using formats::ReadCsv;

std::vector<std::vector<std::string>> Fields(const formats::CsvRead& read) {
    std::vector<std::vector<std::string>> all;
    for (const auto& record : read.records) all.push_back(record.fields);
    return all;
}

TEST(CsvWriter, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvField("Pikachu"), "Pikachu");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("Farfetch'd"), "Farfetch'd");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvField("cr\r"), "\"cr\r\"");
    // Surrounding spaces are kept by quoting, since spreadsheets drop them otherwise.
    EXPECT_EQ(CsvField("Girafarig "), "\"Girafarig \"");
    EXPECT_EQ(CsvField(" x"), "\" x\"");
    const std::vector<std::string> record{"1", "a,b", ""};
    EXPECT_EQ(formats::CsvRecordLine(record), "1,\"a,b\",\r\n");
}

TEST(CsvReader, ReadsWhatTheWriterWrites) {
    const std::vector<std::vector<std::string>> records = {
        {"plain", "", "a,b", "q\"uote", "\"", "line\r\nbreak", " spaced ", "lf\nonly"},
        {"", ""},
        {"last"},
    };
    std::string text;
    for (const auto& record : records) text += formats::CsvRecordLine(record);
    const formats::CsvRead read = ReadCsv(text);
    ASSERT_FALSE(read.error) << read.error->message;
    EXPECT_EQ(Fields(read), records);
    // The third record starts on line 5: the quoted line breaks count.
    EXPECT_EQ(read.records[0].line, 1);
    EXPECT_EQ(read.records[1].line, 4);
    EXPECT_EQ(read.records[2].line, 5);
    EXPECT_EQ(read.records[0].fieldLines[7], 2);
}

TEST(CsvReader, AcceptsEveryLineEndAMarkAndNoFinalBreak) {
    const std::vector<std::vector<std::string>> expected = {{"a", "b"}, {"c", "d"}, {"e", ""}};
    for (const char* text : {"a,b\nc,d\ne,", "a,b\r\nc,d\r\ne,\r\n", "a,b\rc,d\re,\r", "\xEF\xBB\xBF" "a,b\nc,d\ne,\n"}) {
        const formats::CsvRead read = ReadCsv(text);
        ASSERT_FALSE(read.error) << text;
        EXPECT_EQ(Fields(read), expected) << text;
    }
    // Empty lines are no records, but they count.
    const formats::CsvRead read = ReadCsv("\n\na\n\n\"\"\n");
    ASSERT_FALSE(read.error);
    EXPECT_EQ(Fields(read), (std::vector<std::vector<std::string>>{{"a"}, {""}}));
    EXPECT_EQ(read.records[0].line, 3);
    EXPECT_EQ(read.records[1].line, 5);
    EXPECT_TRUE(ReadCsv("").records.empty());
}

TEST(CsvReader, RefusesBadQuotingWithItsPlace) {
    struct Case {
        const char* text;
        int line;
        int column;
    };
    const Case cases[] = {
        {"a,b\nc,\"open\n\nstill open", 2, 2},  // never closed: where it opened
        {"a,\"b\"x,c", 1, 2},                   // text after the closing quote
        {"a,b\nc,d\"e", 2, 2},                  // a quote inside an unquoted field
        {"\"x\"\"", 1, 1},                      // a doubled quote, then the end
    };
    for (const Case& c : cases) {
        const formats::CsvRead read = ReadCsv(c.text);
        ASSERT_TRUE(read.error) << c.text;
        EXPECT_EQ(read.error->line, c.line) << c.text;
        EXPECT_EQ(read.error->column, c.column) << c.text;
        EXPECT_FALSE(read.error->message.empty());
    }
}

// The bounds stop the reading at the first record or field past them, so
// that millions of commas or lines are never all kept.
TEST(CsvReader, StopsAtItsBoundsWithThePlace) {
    const formats::CsvLimits limits{3, 4};
    const formats::CsvRead fits = ReadCsv("a,b,c,d\n1\n2\n", limits);
    EXPECT_FALSE(fits.error);
    EXPECT_EQ(fits.records.size(), 3u);

    const formats::CsvRead records = ReadCsv("a\n\nb\nc\nd\ne\n", limits);
    ASSERT_TRUE(records.error);
    EXPECT_EQ(records.error->stop, formats::CsvStop::TooManyRecords);
    EXPECT_EQ(records.error->line, 5);
    EXPECT_EQ(records.records.size(), 3u);

    for (const std::string& text : {std::string("a\n1,2,3,4,5,6"), std::string("a\n1,2,3,4,"),
                                    std::string("a\n1,2,3,4,\"5\"\n") + std::string(1 << 20, ',')}) {
        const formats::CsvRead fields = ReadCsv(text, limits);
        ASSERT_TRUE(fields.error) << text.substr(0, 20);
        EXPECT_EQ(fields.error->stop, formats::CsvStop::TooManyFields);
        EXPECT_EQ(fields.error->line, 2);
        EXPECT_EQ(fields.error->column, 5);
    }
    // A quoting error is told from a bound.
    EXPECT_EQ(ReadCsv("\"a", limits).error->stop, formats::CsvStop::Quoting);
}

}  // namespace

namespace {

TEST(CsvReader, TakesTheSeparatorTheHeaderLineUses) {
    EXPECT_EQ(formats::DetectSeparator("Position,Species,HP\r\n"), ',');
    EXPECT_EQ(formats::DetectSeparator("\xEF\xBB\xBFPosition;Species;HP\r\n1,5;x;2\r\n"), ';');
    EXPECT_EQ(formats::DetectSeparator("Position\tSpecies\tHP"), '\t');
    // Separators inside quotes, or on later lines, do not count.
    EXPECT_EQ(formats::DetectSeparator("\"a;b;c\",d\r\n;;;;"), ',');
    EXPECT_EQ(formats::DetectSeparator("Position"), ',');
    EXPECT_EQ(formats::DetectSeparator(""), ',');

    const formats::CsvRead read = formats::ReadCsv("a;\"b;c\";d\r\n1,5;2;\r\n", {}, ';');
    ASSERT_FALSE(read.error);
    ASSERT_EQ(read.records.size(), 2u);
    EXPECT_EQ(read.records[0].fields, (std::vector<std::string>{"a", "b;c", "d"}));
    EXPECT_EQ(read.records[1].fields, (std::vector<std::string>{"1,5", "2", ""}));
}

}  // namespace
