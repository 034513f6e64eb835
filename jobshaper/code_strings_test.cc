// Tests of code string expansion and writing: choice of the code string by node
// kind, job information, dependency flags, expressions, byte escapes, listings.
#include "jobshaper/code_strings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/debug_trace.h"
#include "jobshaper/byte_escapes.h"
#include "pdd/createmem.h"
#include "pdd/definitions.h"
#include "tests/support/capture.h"

namespace {

using namespace std::string_literals;
using Items = std::vector<std::pair<const char*, const char*>>;  // value, printer code

// Builds a top menu the way the PDD reader does, and frees it.
class TestPdd {
 public:
  ~TestPdd() {
    top();
    free_pdd(top_);
  }

  void sclist(const char* tag, int32_t default_item, const Items& items) {
    SclistNode* list =
        create_sclist_node("", "", tag, "", default_item, static_cast<int32_t>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
      set_sclist_item(list, static_cast<int32_t>(i), "", "", items[i].first, items[i].second,
                      nullptr);
    }
    add(NodeKind::SCLIST, list, tag);
  }
  void string(const char* tag) {
    add(NodeKind::STRING,
        create_string_node("", "", tag, "", nullptr, " ", VALID_DIGITS, "", "", 40, "", "P"), tag);
  }
  void number(const char* tag, const char* code, int32_t type) {
    add(NodeKind::NUMBER, create_number_node("", "", tag, "", nullptr, 0, 0, 0, 99, "", code, type),
        tag);
  }
  void pdd(const char* tag) {
    add(NodeKind::PDD,
        create_pdd_node(copy_text(tag), copy_text("init"), copy_text("banner_init"),
                        copy_text("ds_init"), copy_text("ds_end"), copy_text("s1"), copy_text("s2"),
                        copy_text("s3"), 'a', 'b', 'c'),
        tag);
  }
  void ddd(const char* tag) { add(NodeKind::DDD, create_ddd_node(tag, "network"), tag); }

  const NodePtr* top() {
    if (!top_) {
      MenuNode* menu = create_menu_node(TOP_MENU_NAME, "", "", "", nullptr,
                                        static_cast<int32_t>(refs_.size()), refs_.data());
      top_ = create_node_ptr(NodeKind::MENU, menu, TOP_MENU_NAME);
    }
    return top_;
  }

 private:
  void add(NodeKind kind, void* node, const char* tag) {
    ASSERT_NE(node, nullptr) << tag;
    refs_.push_back(create_node_ptr(kind, node, tag));
  }

  std::vector<NodePtr*> refs_;
  NodePtr* top_ = nullptr;
};

class CodeStringsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clear_definitions();
    saved_trace_ = debug_trace();
  }
  void TearDown() override {
    clear_definitions();
    if (listing_) std::fclose(listing_);
    debug_trace() = saved_trace_;
    code_state() = CodeState();
  }

  void start_listing(int level) {
    listing_ = std::tmpfile();
    debug_trace().level = level;
    debug_trace().file = listing_;
  }
  std::string listing() {
    std::string out(8192, '\0');
    std::fflush(listing_);
    out.resize(static_cast<size_t>(pread(fileno(listing_), out.data(), out.size(), 0)));
    return out;
  }

  std::string code(const char* name, const char* value, const char* title = nullptr,
                   const char* user = nullptr, const char* host = nullptr, int kind = 2) {
    return get_code_string(name, value, pdd_.top(), kind, title, user, host, state_);
  }
  std::string converted(const std::string& list, const char* user = nullptr) {
    return get_converted_strings(list, pdd_.top(), ',', "\"T\"", user, nullptr, state_);
  }

  TestPdd pdd_;
  CodeState state_;
  DebugTrace saved_trace_;
  FILE* listing_ = nullptr;
};

TEST(DecodeCodesTest, ByteEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"${27}E", "\033E"},
      {"${10}", "\n"},
      {"${0}${00}", "\0\0"s},
      {"${9}${09}${99}${100}${199}${249}${255}", "\t\tc\x64\xc7\xf9\xff"},
      {"${012}${099}${300}${256}${1000}${-1}${ 1}${}",
       "${012}${099}${300}${256}${1000}${-1}${ 1}${}"},
      {"${1$${27}${${27}}", "${1$\033${\033}"},
      {"${36}{10}", "${10}"},
      {"", ""},
      {"${", "${"},
      {"a\nb\0c\x80\xff"s, "a\nb\0c\x80\xff"s},
  };
  for (const auto& [codes, bytes] : cases) {
    EXPECT_EQ(decode_codes(codes), bytes) << codes;
  }
}

TEST(DecodeCodesTest, PiecesFedToTheScannerNeverSplitAnEscape) {
  std::string codes;
  const char* const parts[] = {"${27}", "${255}", "x", "${1", "$", "${012}", "yz", "${5}"};
  for (int i = 0; i < 400; ++i) codes += parts[(i * 7 + i / 3) % 8];
  std::string whole = decode_codes(codes);
  for (size_t limit = 1; limit <= 40; ++limit) {
    std::string pieces;
    decode_byte_escapes(codes, limit, pieces);
    EXPECT_EQ(pieces, whole) << limit;
  }
}

TEST(WriteCodesTest, WritesTheBytesOrFails) {
  FILE* file = std::tmpfile();
  int fd = fileno(file);
  EXPECT_EQ(write_codes("${27}E", fd), 0);
  EXPECT_EQ(write_codes("", fd), 0);
  EXPECT_EQ(write_codes("${0}x${300}", fd), 0);
  std::string out(64, '?');
  out.resize(static_cast<size_t>(pread(fd, out.data(), out.size(), 0)));
  EXPECT_EQ(out, "\033E\0x${300}"s);
  std::fclose(file);
  EXPECT_EQ(write_codes("x", -1), -1);
}

TEST_F(CodeStringsTest, ChoiceByNodeKind) {
  pdd_.sclist("pcl_orientation", 1, {{"portrait", "P"}, {"landscape", "L"}, {"off", "none"}});
  pdd_.sclist("pcl_bad_default", 5, {{"a", "A"}});
  pdd_.string("pcl_form_text");
  pdd_.string("forms_style_name");
  pdd_.pdd("pcl");
  pdd_.ddd("device");
  const struct {
    const char* name;
    const char* value;
    int kind;
    const char* expected;
  } cases[] = {
      {"pcl_orientation", "portrait", 2, "P"},
      {"pcl_orientation", "sideways", 2, "L"},
      {"pcl_orientation", nullptr, 2, "L"},
      {"pcl_orientation", "off", 2, ""},
      {"pcl_bad_default", "b", 2, ""},
      {"no_such_tag", "a", 2, ""},
      {nullptr, "a", 2, ""},
      {"pcl_form_text", "abc", 2, ""},
      {"forms_style_name", "${27}S", 2, "${27}S"},
      {"pcl", nullptr, 0, ""},
      {"pcl", nullptr, 1, "ds_init"},
      {"pcl", nullptr, 2, "init"},
      {"pcl", nullptr, 3, "banner_init"},
      {"pcl", nullptr, 4, ""},
      {"pcl", nullptr, 5, "ds_end"},
      {"pcl", nullptr, 6, "s1"},
      {"pcl", nullptr, 7, "s2"},
      {"pcl", nullptr, 8, "s3"},
      {"pcl", nullptr, 9, ""},
      {"device", nullptr, 4, "network"},
      {"device", nullptr, 1, ""},
      {TOP_MENU_NAME, nullptr, 2, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(code(c.name, c.value, nullptr, nullptr, nullptr, c.kind), c.expected)
        << (c.name ? c.name : "(null)") << " " << c.kind;
  }
  EXPECT_EQ(get_code_string("pcl", nullptr, nullptr, 1, nullptr, nullptr, nullptr), "");
}

TEST_F(CodeStringsTest, PjlJobInformation) {
  pdd_.sclist("jobname", 0, {{"on", "@PJL SET JOBNAME = "}});
  pdd_.sclist("username", 0, {{"on", "@PJL SET USERNAME = "}});
  pdd_.sclist("ljobinfo", 0, {{"on", "@PJL SET USERNAME AND LJOBINFO"}});
  const struct {
    const char* tag;
    const char* title;
    const char* user;
    const char* host;
    const char* expected;
  } cases[] = {
      {"jobname", "\"My Job\"", "\"u\"", "\"h\"", "@PJL SET JOBNAME = \"My Job\"${10}"},
      {"jobname", nullptr, nullptr, nullptr, "@PJL SET JOBNAME = ${10}"},
      {"username", "\"t\"", "\"admin\"", nullptr, "@PJL SET USERNAME = \"admin\"${10}"},
      {"username", nullptr, nullptr, nullptr, "@PJL SET USERNAME = ${10}"},
      {"ljobinfo", nullptr, "\"admin\"", "\"localhost\"",
       "@PJL SET USERNAME = \"admin\"${10}"
       "@PJL LJOBINFO USERID = \"admin\" HOSTID = \"localhost\"${10}"},
      {"ljobinfo", nullptr, "\"admin\"", nullptr, "@PJL SET USERNAME AND LJOBINFO"},
      {"ljobinfo", nullptr, nullptr, "\"localhost\"", "@PJL SET USERNAME AND LJOBINFO"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(code(c.tag, "on", c.title, c.user, c.host), c.expected);
  }
  // A banner page passes no title: the line ends right after the "= ".
  EXPECT_EQ(decode_codes(code("jobname", "on")), "@PJL SET JOBNAME = \n");
}

TEST_F(CodeStringsTest, JobDataReachesThePrinterLiterally) {
  pdd_.sclist("jobname", 0, {{"on", "@PJL SET JOBNAME = "}});
  pdd_.sclist("ljobinfo", 0, {{"on", "@PJL SET USERNAME AND LJOBINFO"}});
  const std::pair<const char*, const char*> titles[] = {
      {"\"x\"${10}@PJL RESET\"", "\"x ${10}@PJL RESET\"\n"},
      {"\"$${27}\"", "\"$${27}\"\n"},
      {"\"a\rb\nc\td\033e\177f\"", "\"a b c d e f\"\n"},
      {"\"caf\xe9 \xe6\x97\xa5\x80\xff\"", "\"caf\xe9 \xe6\x97\xa5\x80\xff\"\n"},
      {"\"{}$\"", "\"{}$\"\n"},
      {"\"\"", "\"\"\n"},
      {"\"", " \n"},
      {"no\"quotes", "no quotes\n"},
  };
  for (const auto& [title, bytes] : titles) {
    EXPECT_EQ(decode_codes(code("jobname", "on", title)), "@PJL SET JOBNAME = "s + bytes);
  }
  EXPECT_EQ(code("jobname", "on", "\"a$b\""), "@PJL SET JOBNAME = \"a${36}b\"${10}");
  EXPECT_EQ(decode_codes(code("ljobinfo", "on", nullptr, "\"u\"\n@PJL X\"", "\"h${27}\"")),
            "@PJL SET USERNAME = \"u  @PJL X\"\n"
            "@PJL LJOBINFO USERID = \"u  @PJL X\" HOSTID = \"h${27}\"\n");
}

TEST_F(CodeStringsTest, FaxNumberFollowsFaxPageInTheSameRun) {
  pdd_.sclist("ps_fax_page", 0, {{"on", "FAXON"}, {"off", "FAXOFF"}});
  pdd_.string("ps_fax_no");
  put_definition("ps_fax_no", "555-1234");
  put_definition("ps_fax_page", "off");
  EXPECT_EQ(converted("ps_fax_page,ps_fax_no", "\"u\""), "");
  put_definition("ps_fax_page", "on");
  EXPECT_EQ(converted("ps_fax_no,ps_fax_page", "\"u\""), "");
  EXPECT_EQ(converted("ps_fax_no", "\"u\""),
            "@PJL LFAX PHONENUMBER = \"555-1234\" STATIONID = \"u\"${10}");
  EXPECT_EQ(code("ps_fax_no", "555"), "@PJL LFAX PHONENUMBER = \"555\" STATIONID = ${10}");
  EXPECT_EQ(decode_codes(code("ps_fax_no", "5\"${10}$${1}\r", nullptr, "\"a$\"\"")),
            "@PJL LFAX PHONENUMBER = \"5 ${10}$${1} \" STATIONID = \"a$ \"\n");
}

TEST_F(CodeStringsTest, Expressions) {
  put_definition("pcl_pitch", "12");
  put_definition("pin_no", "7");
  put_definition("long_pin_no", "12345");
  put_definition("x", "5");
  pdd_.number("pitch_byte", "${27}(s$${pcl_pitch}H", 1);
  pdd_.number("pitch_text", "${27}(s$${pcl_pitch}H", 2);
  pdd_.number("bad_byte", "${27}(s$${(}H", 1);
  pdd_.number("dollars", "$$${pcl_pitch}", 1);
  pdd_.sclist("codes", 0,
              {{"esc", "$${27}"},
               {"pin", "PIN$${pin_no}"},
               {"pins", "$${pin_no}:$${pin_no+1}:$${x}"},
               {"long_pin", "$${long_pin_no}"},
               {"twice", "$${x},$${x}"},
               {"open", "$${x"},
               {"bad", "a$${(}b"},
               {"nested", "$${$${x}}"}});
  const struct {
    const char* name;
    const char* value;
    std::string bytes;
    const char* errors;
  } cases[] = {
      {"pitch_byte", "1", "\033(s\014H", ""},
      {"pitch_text", "1", "\033(s12H", ""},
      {"bad_byte", "1", "\033(sH", "syntax error\n"},
      {"dollars", "1", "\014", ""},  // "$" + "${12}" is an expression again
      {"codes", "esc", "27", ""},
      {"codes", "pin", "PIN0007", ""},
      {"codes", "pins", "0007:0008:5", ""},
      {"codes", "long_pin", "12345", ""},
      {"codes", "twice", "5,5", ""},
      {"codes", "open", "$${x", ""},
      {"codes", "bad", "ab", "syntax error\n"},
      {"codes", "nested", "}", "syntax error\n"},
  };
  for (const auto& c : cases) {
    StderrCapture capture;
    EXPECT_EQ(decode_codes(code(c.name, c.value)), c.bytes) << c.value;
    EXPECT_EQ(capture.text(), c.errors) << c.value;
  }
}

TEST_F(CodeStringsTest, DependencyFlagsAffectOnlyLaterSettings) {
  const char* const settings[][3] = {
      // tag, value, code
      {"pcl_color_correction", "manual", "CM"},
      {"ps_color_correction", "auto", "CA"},
      {"pcl_rgb_image", "1", "RI"},
      {"pcl_rgb_text", "1", "RT"},
      {"pcl_rgb_graphics", "1", "RG"},
      {"pcl_cmyk_options", "1", "CO"},
      {"pcl_manual_balance", "yes", "MY"},
      {"ps_manual_balance", "no", "MN"},
      {"pcl_balance_cyan", "1", "BC"},
      {"pcl_balance_magenta", "1", "BM"},
      {"pcl_balance_yellow", "1", "BY"},
      {"pcl_balance_black", "1", "BK"},
      {"pcl_gray_correction", "no", "GN"},
      {"ps_gray_correction", "yes", "GY"},
      {"pcl_brightness", "1", "BR"},
  };
  for (const auto& s : settings) {
    pdd_.sclist(s[0], 0, {{s[1], s[2]}});
    put_definition(s[0], s[1]);
  }
  const char* const cases[][2] = {
      {"pcl_rgb_image,pcl_color_correction,pcl_rgb_image,pcl_rgb_text,pcl_rgb_graphics,"
       "pcl_cmyk_options",
       "CMRIRTRGCO"},
      {"ps_color_correction,pcl_rgb_image,pcl_cmyk_options", "CA"},
      {"pcl_balance_cyan,pcl_manual_balance,pcl_balance_cyan,pcl_balance_magenta,"
       "pcl_balance_yellow,pcl_balance_black",
       "MYBCBMBYBK"},
      {"ps_manual_balance,pcl_balance_cyan", "MN"},
      {"pcl_brightness,pcl_gray_correction,pcl_brightness", "BRGN"},
      {"ps_gray_correction,pcl_brightness", "GYBR"},
  };
  for (const auto& [list, expected] : cases) {
    state_ = CodeState();
    EXPECT_EQ(converted(list), expected) << list;
  }
  // The flags stay for the rest of the run.
  EXPECT_EQ(converted("pcl_gray_correction"), "GN");
  EXPECT_EQ(converted("pcl_brightness"), "");
}

TEST_F(CodeStringsTest, ConvertedStringsAndTheirListing) {
  pdd_.sclist("pcl_orientation", 0, {{"portrait", "${27}&l0O"}, {"landscape", "${27}&l1O"}});
  pdd_.sclist("jobname", 0, {{"on", "@PJL SET JOBNAME = "}});
  pdd_.number("pcl_copies", "${27}&l$${pcl_copies}X", 0);
  put_definition("pcl_orientation", "landscape");
  put_definition("jobname", "on");
  put_definition("pcl_copies", "3");
  start_listing(DEBUG_LISTING);
  EXPECT_EQ(converted(""), "");
  EXPECT_EQ(converted("jobname,,pcl_unset,pcl_orientation,pcl_copies"),
            "@PJL SET JOBNAME = \"T\"${10}${27}&l1O${27}&l3X");
  EXPECT_EQ(listing(),
            "jobname\t@PJL SET JOBNAME = \"T\"${10}\n"
            "pcl_unset\t@PJL SET JOBNAME = \"T\"${10}\n"
            "pcl_orientation\t@PJL SET JOBNAME = \"T\"${10}${27}&l1O\n"
            "pcl_copies\t@PJL SET JOBNAME = \"T\"${10}${27}&l1O${27}&l3X\n"
            "get_converted_strings called with: (jobname, ntp, ,)\n"
            "\tget_converted_strings is returning: "
            "(@PJL SET JOBNAME = \"T\"${10}${27}&l1O${27}&l3X)\n");
}

TEST_F(CodeStringsTest, RemoveStringSeparator) {
  start_listing(DEBUG_LISTING);
  EXPECT_EQ(remove_string_separator("${27}E,${27}&l1O,,x", ','), "${27}E${27}&l1Ox");
  EXPECT_EQ(remove_string_separator("", ','), "");
  EXPECT_EQ(listing(),
            "The get_converted_strings (${27}E,${27}&l1O,,x, ntp, ,)\n"
            "remove_string_separator() called with: (${27}E,${27}&l1O,,x,,)\n"
            "\tremove_string_separator() is returning: (${27}E${27}&l1Ox)\n"
            "The get_converted_strings (, ntp, ,)\n"
            "remove_string_separator() called with: (,,)\n"
            "\tremove_string_separator() is returning: ()\n");
}

TEST_F(CodeStringsTest, NoListingWithoutItsDebugBit) {
  pdd_.sclist("pcl_orientation", 0, {{"portrait", "P"}});
  put_definition("pcl_orientation", "portrait");
  start_listing(DEBUG_LIBRARY);
  EXPECT_EQ(converted("pcl_orientation"), "P");
  EXPECT_EQ(remove_string_separator("a,b", ','), "ab");
  EXPECT_EQ(listing(), "");
}

}  // namespace
