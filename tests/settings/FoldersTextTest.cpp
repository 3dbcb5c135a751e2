// The stored text of the folder table: what the writer produces and how stored texts are read.
#include "settings/FoldersText.h"

#include <gtest/gtest.h>

namespace {

struct WriterCase {
    const char* name;
    std::vector<FolderEntry> folders;
    std::wstring text;
};

const WriterCase kWriterCases[] = {
    {"EmptyTable", {}, L""},
    {"DelimiterQuoted", {{L"C:\\", true}, {L"E:\\My;Data", false}}, L"C:\\=1;\"E:\\My;Data=0\""},
    {"SpaceQuoted", {{L"C:\\", true}, {L"D:\\", false}, {L"C:\\Program Files", true}},
        L"C:\\=1;D:\\=0;\"C:\\Program Files=1\""},
    {"InnerQuotesDoubled", {{L"C:\\Say \"Hi\"", true}}, L"\"C:\\Say \"\"Hi\"\"=1\""},
    {"ControlCharacterQuoted", {{L"C:\\a\tb", false}, {L"C:\\\x1f", true}}, L"\"C:\\a\tb=0\";\"C:\\\x1f=1\""},
    {"HighCharactersBare", {{L"C:\\\x7f\xa0\x65e5\x672c", true}}, L"C:\\\x7f\xa0\x65e5\x672c=1"},
    {"CaseVariantsMergeAtFirstPosition", {{L"C:\\Data", true}, {L"D:\\", true}, {L"c:\\data", false}},
        L"c:\\data=0;D:\\=1"},
    {"NonAsciiCaseVariantsMerge", {{L"C:\\\xc4rger", true}, {L"C:\\\xe4rger", false}}, L"C:\\\xe4rger=0"},
    {"PathsWithEqualsSignKeptApart", {{L"C:\\a=b", true}, {L"C:\\A=c", false}}, L"C:\\a=b=1;C:\\A=c=0"},
    {"SameNameBeforeEqualsSignKeptApart", {{L"C:\\a", true}, {L"C:\\a=b", false}}, L"C:\\a=1;C:\\a=b=0"},
};

class FoldersTextWriter : public testing::TestWithParam<WriterCase> {};

TEST_P(FoldersTextWriter, WritesText)
{
    EXPECT_EQ(WriteFoldersText(GetParam().folders), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, FoldersTextWriter, testing::ValuesIn(kWriterCases),
    [](const auto& aInfo) { return std::string(aInfo.param.name); });

struct ReaderCase {
    const char* name;
    std::wstring text;
    std::vector<FolderEntry> entries;
};

const ReaderCase kReaderCases[] = {
    {"Empty", L"", {}},
    {"OnlyBlanks", L" \t\r\n\x01", {}},
    {"BareAndQuoted", L"C:\\=1;\"E:\\My;Data=0\"", {{L"C:\\", true}, {L"E:\\My;Data", false}}},
    {"DoubledQuotes", L"\"C:\\Say \"\"Hi\"\"=1\"", {{L"C:\\Say \"Hi\"", true}}},
    {"UnclosedQuoteRunsToEnd", L"C:\\=0;\"D:\\Open; x=1", {{L"C:\\", false}, {L"D:\\Open; x", true}}},
    {"QuoteInsideBareItemIsOrdinary", L"C:\\a\"b=1", {{L"C:\\a\"b", true}}},
    {"TextAfterClosingQuoteStartsItem", L"\"C:\\=1\"D:\\=0", {{L"C:\\", true}, {L"D:\\", false}}},
    {"TrailingDelimiterAddsEmptyEntry", L"C:\\=1;", {{L"C:\\", true}, {L"", false}}},
    {"DelimiterFollowedByBlanksAddsNothing", L"C:\\=1; ", {{L"C:\\", true}}},
    {"DoubleDelimiterAddsEmptyEntry", L"C:\\=1;;D:\\=1", {{L"C:\\", true}, {L"", false}, {L"D:\\", true}}},
    {"UnquotedSpaceSplitsItem", L"C:\\Program Files=1", {{L"", false}, {L"Files", true}}},
    {"BlanksAroundItemsSkipped", L"\t C:\\=1 \r\n; \x01" L"D:\\=0\x1f", {{L"C:\\", true}, {L"D:\\", false}}},
    {"ItemWithoutEqualsSign", L"C:\\;D:\\=1", {{L"", false}, {L"D:\\", true}}},
    {"OnlyOneCountsAsChecked", L"a=01;b=true;c=;d=0;e=1;f=1 ", {{L"a", false}, {L"b", false}, {L"c", false},
        {L"d", false}, {L"e", true}, {L"f", true}}},
    {"SplitAtLastEqualsSign", L"C:\\a=b=1;\"C:\\x y=z=0\"", {{L"C:\\a=b", true}, {L"C:\\x y=z", false}}},
    {"EmptyPath", L"=1", {{L"", true}}},
};

class FoldersTextReader : public testing::TestWithParam<ReaderCase> {};

TEST_P(FoldersTextReader, ReadsEntries)
{
    EXPECT_EQ(ReadFoldersText(GetParam().text), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(Cases, FoldersTextReader, testing::ValuesIn(kReaderCases),
    [](const auto& aInfo) { return std::string(aInfo.param.name); });

} // namespace
