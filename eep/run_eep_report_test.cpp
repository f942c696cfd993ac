// Tests of the EEP size report: the amounts (triple values count three times,
// wrapping at 32 bits), the percentages in the stream's current format, the
// zero-divisor lines and the failure messages.
#include "eep/run_eep_report.h"

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

#include "tests/test_support.h"

namespace {

std::string eep_source(const std::string& once_size, const std::string& triple_size,
                       const std::string& once_free, const std::string& triple_free) {
  return "; EEPROM project source\n"
         "_RuxEep_nOnceDataSize\n    " +
         once_size +
         ",\n"
         "_RuxEep_nTrippleDataSize\n    " +
         triple_size +
         ",\n"
         "_RuxEep_nOnceDataFree\n    " +
         once_free +
         ",\n"
         "_RuxEep_nTrippleDataFree\n    " +
         triple_free + ",\n";
}

struct report_result {
  bool ok = false;
  std::string output;
};

// The console as the memory report leaves it.
void set_report_format(std::ostream& out) {
  out << std::right << std::fixed << std::setprecision(2);
}

report_result report(const std::string& source_text, bool fixed_two_decimals) {
  test_support::scoped_temp_dir dir;
  const std::string path = dir.write("EepPrj.src", source_text);
  std::ostringstream out;
  if (fixed_two_decimals) {
    set_report_format(out);
  }
  report_result result;
  result.ok = run_eep_report(path, out);
  result.output = out.str();
  return result;
}

std::string expected_report(const std::string& overall_total, const std::string& overall_pct,
                            const std::string& overall_used, const std::string& overall_free,
                            const std::string& once_total, const std::string& once_pct,
                            const std::string& once_used, const std::string& once_free,
                            const std::string& triple_total, const std::string& triple_pct,
                            const std::string& triple_used, const std::string& triple_free) {
  return "\n"
         "EEP size analyze: \n"
         "\n"
         "  Total:     " +
         overall_total +
         "\n"
         "  Pct Used:  " +
         overall_pct +
         "%\n"
         "  used:      " +
         overall_used +
         "\n"
         "  Free:      " +
         overall_free +
         "\n"
         "\n"
         "Once Data: \n"
         "  Total:     " +
         once_total +
         "\n"
         "  Pct Used:  " +
         once_pct +
         "%\n"
         "  Used:      " +
         once_used +
         "\n"
         "  Free:      " +
         once_free +
         "\n"
         "\n"
         "Tripple Data:\n"
         "  Total:     " +
         triple_total +
         "\n"
         "  Pct Used:  " +
         triple_pct +
         "%\n"
         "  Used:      " +
         triple_used +
         "\n"
         "  Free:      " +
         triple_free +
         "\n"
         "\n";
}

}  // namespace

// ---- amounts and percentages -----------------------------------------------

TEST(EepReport, WorkedExampleAfterAPrintedMemoryReport) {
  const report_result result = report(eep_source("0x123", "0x10", "0x2DD", "0x30"), true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.output, expected_report("1216", "27.88", "339", "877",  //
                                           "1024", "28.42", "291", "733",  //
                                           "192", "25.00", "48", "144"));
}

TEST(EepReport, WorkedExampleInTheInitialStreamFormat) {
  // No memory report printed before: general notation, six significant digits.
  const report_result result = report(eep_source("0x123", "0x10", "0x2DD", "0x30"), false);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.output, expected_report("1216", "27.8783", "339", "877",  //
                                           "1024", "28.418", "291", "733",   //
                                           "192", "25", "48", "144"));
}

TEST(EepReport, TripleProductsWrapButTheTriplePercentageUsesTheValuesThemselves) {
  const report_result result = report(eep_source("0", "0x60000000", "0", "0"), true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.output, expected_report("536870912", "100.00", "536870912", "0",  //
                                           "0", "0.00", "0", "0",                    //
                                           "536870912", "100.00", "536870912", "0"));
}

TEST(EepReport, OnlyTripleFree) {
  const report_result result = report(eep_source("0", "0", "0", "0x100"), true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.output, expected_report("768", "0.00", "0", "768",  //
                                           "0", "0.00", "0", "0",      //
                                           "768", "0.00", "0", "768"));
}

TEST(EepReport, ZeroDivisorPrintsZeroOrInfInEitherFormat) {
  // 1 + 0xFFFFFFFF wraps to a total of 0 under a used amount of 1.
  const std::string source = eep_source("1", "1", "0xFFFFFFFF", "0xFFFFFFFF");
  const report_result fixed = report(source, true);
  EXPECT_TRUE(fixed.ok);
  EXPECT_EQ(fixed.output, expected_report("0", "inf", "4", "4294967292",  //
                                          "0", "inf", "1", "4294967295",  //
                                          "0", "inf", "3", "4294967293"));

  const report_result general = report(eep_source("0", "0", "0", "0"), false);
  EXPECT_TRUE(general.ok);
  EXPECT_EQ(general.output, expected_report("0", "0", "0", "0",  //
                                            "0", "0", "0", "0",  //
                                            "0", "0", "0", "0"));

  const report_result general_inf = report(source, false);
  EXPECT_NE(general_inf.output.find("  Pct Used:  inf%\n"), std::string::npos);
}

TEST(EepReport, TotalsWrapModulo2To32) {
  eep_sizes sizes;
  sizes.once_data_size = 0x80000000;
  sizes.once_data_free = 0x80000001;
  sizes.triple_data_size = 0x55555556;  // times 3 is 0x100000002
  sizes.triple_data_free = 1;
  const eep_totals totals = compute_eep_totals(sizes);
  EXPECT_EQ(totals.once_total, 1u);
  EXPECT_EQ(totals.triple_used, 2u);
  EXPECT_EQ(totals.triple_free, 3u);
  EXPECT_EQ(totals.triple_total, 5u);
  EXPECT_EQ(totals.overall_total, 6u);
  EXPECT_EQ(totals.overall_used, 0x80000002u);
  EXPECT_EQ(totals.overall_free, 0x80000004u);
}

// ---- failures --------------------------------------------------------------

TEST(EepReport, EmptyFileNameIsReported) {
  std::ostringstream out;
  EXPECT_FALSE(run_eep_report("", out));
  EXPECT_EQ(out.str(), "Vemora:\tNo eep file name.\n");
}

TEST(EepReport, FileThatCannotBeOpenedIsReported) {
  test_support::scoped_temp_dir dir;
  std::ostringstream missing;
  EXPECT_FALSE(run_eep_report(dir.file("missing.src"), missing));
  EXPECT_EQ(missing.str(), "Vemora:\tInvalid eep file.\n");

  std::ostringstream directory;
  EXPECT_FALSE(run_eep_report(dir.path(), directory));
  EXPECT_EQ(directory.str(), "Vemora:\tInvalid eep file.\n");
}

TEST(EepReport, FailedScanPrintsFileEndThenTheErrorAndNoReport) {
  const report_result result = report(
      "heading\n_RuxEep_nOnceDataSize\n    0x123,\n_RuxEep_nTrippleDataSize\n    0x1,\n", true);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, "File end\nerror in the analyze EEP size: \n");
}
