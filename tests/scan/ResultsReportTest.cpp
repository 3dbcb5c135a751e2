// The results' pure rules: the kinds' texts, the first order, sorting, the clipboard's text and the CSV bytes.
#include "scan/ResultsReport.h"
#include "platform/TextCompare.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::size_t>;

// Ties on Object and Threat that differ only in letter case (0 and 3), on Threat alone (1 and 5),
// and names whose order in the locale differs from their code order ("É" before "f", "trojan" before "Worm").
const std::vector<TFinding> kFindings{
    {L"C:\\b\\Zeta.exe", L"Trojan.B", TFindingKind::Infected, 0},
    {L"C:\\a\\alpha.exe", L"Adware.X", TFindingKind::Possible, 0},
    {L"C:\\locked.sys", L"Access is denied", TFindingKind::NotScanned, 5},
    {L"C:\\b\\zeta.exe", L"trojan.b", TFindingKind::Infected, 0},
    {L"C:\\a\\\u00C9mile.exe", L"Worm.\u00C9", TFindingKind::Possible, 0},
    {L"C:\\a\\fox.exe", L"Adware.X", TFindingKind::Infected, 0},
};

TEST(ResultsReportTest, KindsHaveTheirTexts)
{
    EXPECT_EQ(KindText(TFindingKind::Infected), L"Infected");
    EXPECT_EQ(KindText(TFindingKind::Possible), L"Possible threat");
    EXPECT_EQ(KindText(TFindingKind::NotScanned), L"Not scanned");
}

TEST(ResultsReportTest, FirstOrderIsScanOrderWithTheUnscannedLast)
{
    EXPECT_EQ(ScanOrderRows(kFindings), (Rows{0, 1, 3, 4, 5, 2}));
    EXPECT_EQ(ScanOrderRows({}), Rows{});
    const std::vector<TFinding> unscanned{{L"C:\\b", L"x", TFindingKind::NotScanned, 5},
        {L"C:\\a", L"y", TFindingKind::NotScanned, 32}, {L"C:\\c", L"z", TFindingKind::Possible, 0}};
    EXPECT_EQ(ScanOrderRows(unscanned), (Rows{2, 0, 1}));
}

TEST(ResultsReportTest, UserTextOrderIgnoresCaseAndFollowsTheLocale)
{
    EXPECT_EQ(CompareForUser(L"zeta", L"ZETA"), 0);
    EXPECT_LT(CompareForUser(L"alpha", L"Beta"), 0);
    EXPECT_LT(CompareForUser(L"\u00C9mile", L"fox"), 0);
    EXPECT_GT(CompareForUser(L"Worm", L"trojan"), 0);
    EXPECT_LT(CompareForUser(L"", L"a"), 0);
}

TEST(ResultsReportTest, SortingByEachColumnBothWaysKeepsTiesInScanOrder)
{
    struct Case {
        TResultsColumn column;
        bool descending;
        Rows expected;
    };
    const Case cases[] = {
        {TResultsColumn::Object, false, {1, 4, 5, 0, 3, 2}},
        {TResultsColumn::Object, true, {2, 0, 3, 5, 4, 1}},
        {TResultsColumn::Threat, false, {2, 1, 5, 0, 3, 4}},
        {TResultsColumn::Threat, true, {4, 0, 3, 1, 5, 2}},
        {TResultsColumn::Kind, false, {0, 3, 5, 1, 4, 2}},
        {TResultsColumn::Kind, true, {2, 1, 4, 0, 3, 5}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SortedRows(kFindings, c.column, c.descending), c.expected)
            << "column " << static_cast<int>(c.column) << (c.descending ? " descending" : " ascending");
    }
    EXPECT_EQ(SortedRows({}, TResultsColumn::Kind, false), Rows{});
}

TEST(ResultsReportTest, ClipboardTextIsTabSeparatedWithAHeaderAndCrLfAfterEveryLine)
{
    EXPECT_EQ(ClipboardText({}), L"Object\tThreat\tKind\tAction\r\n");
    const std::vector<TFinding> rows{
        {L"C:\\test\\eicar.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {L"C:\\a,b \"q\".exe", L"Line\r\nbreak\tand tab", TFindingKind::NotScanned, 5},
        {L"C:\\\u00E9t\u00E9.exe", L"Heur.Possible", TFindingKind::Possible, 0},
    };
    EXPECT_EQ(ClipboardText(rows), L"Object\tThreat\tKind\tAction\r\n"
                                   L"C:\\test\\eicar.com\tEicar-Test-Signature\tInfected\t\r\n"
                                   L"C:\\a,b \"q\".exe\tLine  break and tab\tNot scanned\t\r\n"
                                   L"C:\\\u00E9t\u00E9.exe\tHeur.Possible\tPossible threat\t\r\n");
}

TEST(ResultsReportTest, CsvCellsAreQuotedAndGuardedAsNeeded)
{
    struct Case {
        std::wstring object;
        std::string expected;
    };
    const Case cases[] = {
        {L"C:\\plain.exe", "C:\\plain.exe"},
        {L"C:\\a,b.exe", "\"C:\\a,b.exe\""},
        {L"C:\\say \"hi\".exe", "\"C:\\say \"\"hi\"\".exe\""},
        {L"two\nlines", "\"two\nlines\""},
        {L"carriage\rreturn", "\"carriage\rreturn\""},
        {L"=cmd|' /C calc'!A0", "'=cmd|' /C calc'!A0"},
        {L"+1", "'+1"},
        {L"-2", "'-2"},
        {L"@SUM(A1)", "'@SUM(A1)"},
        {L"=a,\"b\"", "\"'=a,\"\"b\"\"\""},
        {L"a=b", "a=b"},
        {L"", ""},
        {L"C:\\\u00E9\u0444\U0001F600.exe", "C:\\\xC3\xA9\xD1\x84\xF0\x9F\x98\x80.exe"},
        {std::wstring(L"C:\\") + wchar_t(0xD800) + L"x", "C:\\\xEF\xBF\xBDx"},
    };
    for (const Case& c : cases) {
        const std::string report = CsvReport({{c.object, L"T", TFindingKind::Infected, 0}});
        const std::string prefix = "\xEF\xBB\xBFObject,Threat,Kind,Action\r\n";
        ASSERT_TRUE(report.starts_with(prefix));
        EXPECT_EQ(report.substr(prefix.size()), c.expected + ",T,Infected,\r\n") << testing::PrintToString(c.object);
    }
}

TEST(ResultsReportTest, CsvReportIsTheExactBytesOfAllRows)
{
    EXPECT_EQ(CsvReport({}), "\xEF\xBB\xBFObject,Threat,Kind,Action\r\n");
    const std::vector<TFinding> rows{
        {L"C:\\test\\eicar.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {L"C:\\Users\\J\u00FCrgen\\a, b.exe", L"-Heur \"gen\"", TFindingKind::Possible, 0},
        {L"C:\\pagefile.sys", L"The process cannot access the file\r\nbecause it is being used", TFindingKind::NotScanned, 32},
    };
    EXPECT_EQ(CsvReport(rows), "\xEF\xBB\xBF"
                               "Object,Threat,Kind,Action\r\n"
                               "C:\\test\\eicar.com,Eicar-Test-Signature,Infected,\r\n"
                               "\"C:\\Users\\J\xC3\xBCrgen\\a, b.exe\",\"'-Heur \"\"gen\"\"\",Possible threat,\r\n"
                               "C:\\pagefile.sys,\"The process cannot access the file\r\nbecause it is being used\",Not scanned,\r\n");
}

TEST(ResultsReportTest, TheActionColumnHoldsEachRowsOutcomeAndIsGuardedLikeTheOthers)
{
    const std::vector<TFinding> rows{
        {L"C:\\a.exe", L"Trojan.A", TFindingKind::Infected, 0},
        {L"C:\\b.zip->b.exe", L"Trojan.B", TFindingKind::Possible, 0},
        {L"C:\\c.exe", L"Trojan.C", TFindingKind::Infected, 0},
    };
    const std::vector<std::wstring> actions{L"Quarantined", L"Failed: Access is denied.\r\nTry, again"};
    EXPECT_EQ(ClipboardText(rows, actions), L"Object\tThreat\tKind\tAction\r\n"
                                            L"C:\\a.exe\tTrojan.A\tInfected\tQuarantined\r\n"
                                            L"C:\\b.zip->b.exe\tTrojan.B\tPossible threat\tFailed: Access is denied.  Try, again\r\n"
                                            L"C:\\c.exe\tTrojan.C\tInfected\t\r\n");
    EXPECT_EQ(CsvReport(rows, actions), "\xEF\xBB\xBF"
                                        "Object,Threat,Kind,Action\r\n"
                                        "C:\\a.exe,Trojan.A,Infected,Quarantined\r\n"
                                        "C:\\b.zip->b.exe,Trojan.B,Possible threat,\"Failed: Access is denied.\r\nTry, again\"\r\n"
                                        "C:\\c.exe,Trojan.C,Infected,\r\n");
}

} // namespace

TEST(ResultsReportTest, SkippedSummaryNamesTheNonZeroCountsInTheSingularForOne)
{
    const struct {
        TSkippedCounts Counts;
        const wchar_t* Summary;
    } cases[] = {
        {{0, 0, 0}, L""},
        {{1, 0, 0}, L"Also skipped: 1 process whose modules could not be read."},
        {{0, 2, 0}, L"Also skipped: 2 registered files that do not exist."},
        {{0, 0, 1}, L"Also skipped: 1 file that vanished during the scan."},
        {{3, 1, 0}, L"Also skipped: 3 processes whose modules could not be read; 1 registered file that does not exist."},
        {{2, 0, 5}, L"Also skipped: 2 processes whose modules could not be read; 5 files that vanished during the scan."},
        {{1, 1, 1}, L"Also skipped: 1 process whose modules could not be read; 1 registered file that does not exist; "
                    L"1 file that vanished during the scan."},
        {{0, 12, 40}, L"Also skipped: 12 registered files that do not exist; 40 files that vanished during the scan."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SkippedSummary(c.Counts), c.Summary) << c.Summary;
}
