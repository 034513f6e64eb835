// Reporting found printers: the lines as found, the results order, the final list in
// both styles, and the printer-list reader.
#include "hostsweep/printers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "hostsweep/adapters.h"
#include "tests/support/capture.h"
#include "tests/support/program.h"

namespace {

// Names only 10.0.2.4; every other address has none. Counts the look-ups.
class FakeNames : public HostNames {
 public:
  FakeNames() : HostNames(false) {}
  int lookups = 0;

 protected:
  std::optional<std::string> look_up(const std::string& address) override {
    ++lookups;
    if (address == "10.0.2.4") return "laser.example";
    return std::nullopt;
  }
};

std::string contents(FILE* file) {
  std::fflush(file);
  return read_all(fileno(file));
}

TEST(Printers, FoundPrintersAsFoundAndInTheFinalList) {
  for (bool colon : {false, true}) {
    OutputSettings settings{colon, false, "tessel", "secret"};
    FakeNames names;
    ResultsTable results;
    FILE* shown = std::tmpfile();
    FILE* output = std::tmpfile();
    PrinterReport report(settings, names, results, shown);
    report.set_output(output);
    report.report_printer("10.0.1.5", 2, 9, "Model X");
    report.report_printer("10.0.2.4", 1, ADAPTER_INTERNAL_ETHERNET, "");
    report.report_printer("10.0.1.5", 1, 0, "Old");
    report.report_printer("10.0.1.5", 1, 31, "New");  // the same address and port again
    report.report_printer("not-an-address", 1, 0, "ignored");
    EXPECT_EQ(names.lookups, 3);  // each address once
    if (colon) {
      EXPECT_EQ(contents(output), "00000");
      EXPECT_EQ(contents(shown),
                "10.0.1.5:10.0.1.5:Model X:Corvane NetPort 2P:2:2\n"
                "laser.example:10.0.2.4:Unknown Printer: Ethernet:1:0\n"
                "10.0.1.5:10.0.1.5:Old:UNKNOWN:1:0\n"
                "10.0.1.5:10.0.1.5:New:Corvane NetPort 4:1:4\n"
                "not-an-address:not-an-address:ignored:UNKNOWN:1:0\n");
    } else {
      std::string lines = contents(output);
      EXPECT_EQ(lines.substr(0, lines.find('\n') + 1),
                "10.0.1.5         2 tessel     secret     Corvane NetPort 2P   10.0.1.5       "
                "                     Model X\n");
      EXPECT_NE(contents(shown).find("10.0.2.4         1 tessel     secret      Ethernet        "
                                     "    laser.example                       \n"),
                std::string::npos);
    }
    FILE* list = std::tmpfile();
    report.write_printer_list(list);
    // The fourth octet orders first: 10.0.2.4 comes before 10.0.1.5.
    if (colon) {
      EXPECT_EQ(contents(list),
                "laser.example:10.0.2.4:Unknown Printer: Ethernet:1:0\n"
                "10.0.1.5:10.0.1.5:New:Corvane NetPort 4:1:4\n"
                "10.0.1.5:10.0.1.5:Model X:Corvane NetPort 2P:2:2\n");
    } else {
      EXPECT_EQ(contents(list),
                "10.0.2.4         1 tessel     secret      Ethernet            laser.example     "
                "                  \n"
                "10.0.1.5         1 tessel     secret     Corvane NetPort 4    10.0.1.5          "
                "                  New\n"
                "10.0.1.5         2 tessel     secret     Corvane NetPort 2P   10.0.1.5          "
                "                  Model X\n");
    }
    for (FILE* f : {shown, output, list}) std::fclose(f);
  }
}

TEST(Printers, PrinterListReaderSkipsBadLines) {
  TempTree tree;
  std::string path = tree.write("list",
                                "# a comment\n"
                                "\t \n"
                                "10.0.1.5 1 pub priv extra\n"
                                "10.0.1.6\n"
                                "10.0.1.7 12 pub priv\n"
                                "10.0.1.8 1\n"
                                "10.0.1.9 1 pub\n"
                                "10.0.2.4 3 a b\n");
  FakeNames names;
  ResultsTable results;
  StderrCapture err;
  EXPECT_EQ(read_printer_list(path, names, results), 0);
  EXPECT_EQ(err.text(),
            "Missing the printer port on line 4\n"
            "\nInvalid port specified on line 5\n"
            "Missing the community name on line 6\n"
            "Missing the set community name on line 7\n");
  ASSERT_EQ(results.records().size(), 2u);
  const FoundPrinter& first = *results.records()[0];
  EXPECT_EQ(first.address_text, "10.0.2.4");
  EXPECT_EQ(first.port, '3');
  EXPECT_EQ(first.model, "laser.example");
  EXPECT_STREQ(first.adapter_name, "UNKNOWN");
  EXPECT_EQ(results.records()[1]->read_community, "pub");

  StderrCapture missing;
  EXPECT_EQ(read_printer_list(tree.path("absent"), names, results), -1);
  EXPECT_EQ(missing.text(), "Could not open " + tree.path("absent") + "\n");
}

}  // namespace
