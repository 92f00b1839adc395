#include "engine/list_claims.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

constexpr int64_t kNoEnd = -1;

struct ClaimsCase {
    const char* name;
    const char* comment;
    bool ok;
    const char* version;
    uint64_t serial;
    int64_t validUntil;  // kNoEnd: none
};

std::ostream& operator<<(std::ostream& os, const ClaimsCase& c) { return os << c.name; }

constexpr ClaimsCase kClaimsCases[] = {
    {"version_and_serial", "lksupdate version=V1 serial=1", true, "V1", 1, kNoEnd},
    {"with_end", "lksupdate version=V1 serial=7 valid-until=2031-02-28T23:59:59Z", true, "V1", 7,
     1930089599},
    {"epoch", "lksupdate version=2.0.1 serial=0 valid-until=1970-01-01T00:00:00Z", true, "2.0.1", 0,
     0},
    {"leap_day", "lksupdate version=V serial=2 valid-until=2024-02-29T12:00:00Z", true, "V", 2,
     1709208000},
    {"leap_day_of_2000", "lksupdate version=V serial=2 valid-until=2000-02-29T00:00:00Z", true, "V",
     2, 951782400},
    {"last_second", "lksupdate version=V serial=2 valid-until=9999-12-31T23:59:59Z", true, "V", 2,
     253402300799},
    {"largest_serial", "lksupdate version=V serial=18446744073709551615", true, "V",
     18446744073709551615u, kNoEnd},
    {"punctuation_in_version", "lksupdate version=office-7.2_beta+1 serial=3", true,
     "office-7.2_beta+1", 3, kNoEnd},

    {"minisign_default", "timestamp:1796904119\tfile:data.bin\thashed", false, "", 0, kNoEnd},
    {"empty", "", false, "", 0, kNoEnd},
    {"other_program", "lksupdater version=V1 serial=1", false, "", 0, kNoEnd},
    {"no_serial", "lksupdate version=V1", false, "", 0, kNoEnd},
    {"empty_version", "lksupdate version= serial=1", false, "", 0, kNoEnd},
    {"blank_in_version", "lksupdate version=V 1 serial=1", false, "", 0, kNoEnd},
    {"non_ascii_version", "lksupdate version=V\xb0\xe6 serial=1", false, "", 0, kNoEnd},
    {"fields_swapped", "lksupdate serial=1 version=V1", false, "", 0, kNoEnd},
    {"empty_serial", "lksupdate version=V1 serial=", false, "", 0, kNoEnd},
    {"negative_serial", "lksupdate version=V1 serial=-1", false, "", 0, kNoEnd},
    {"plus_serial", "lksupdate version=V1 serial=+1", false, "", 0, kNoEnd},
    {"leading_zero_serial", "lksupdate version=V1 serial=01", false, "", 0, kNoEnd},
    {"hex_serial", "lksupdate version=V1 serial=0x10", false, "", 0, kNoEnd},
    {"serial_over_64_bits", "lksupdate version=V1 serial=18446744073709551616", false, "", 0,
     kNoEnd},
    {"serial_with_letters", "lksupdate version=V1 serial=12a", false, "", 0, kNoEnd},
    {"trailing_blank", "lksupdate version=V1 serial=1 ", false, "", 0, kNoEnd},
    {"trailing_word", "lksupdate version=V1 serial=1 note=x", false, "", 0, kNoEnd},
    {"text_after_end", "lksupdate version=V1 serial=1 valid-until=2031-02-28T23:59:59Z x", false,
     "", 0, kNoEnd},
    {"two_blanks", "lksupdate version=V1 serial=1  valid-until=2031-02-28T23:59:59Z", false, "", 0,
     kNoEnd},
    {"leading_blank", " lksupdate version=V1 serial=1", false, "", 0, kNoEnd},
    {"upper_case_word", "LKSUPDATE version=V1 serial=1", false, "", 0, kNoEnd},
    {"no_zone", "lksupdate version=V1 serial=1 valid-until=2031-02-28T23:59:59", false, "", 0,
     kNoEnd},
    {"offset_zone", "lksupdate version=V1 serial=1 valid-until=2031-02-28T23:59:59+01:00", false,
     "", 0, kNoEnd},
    {"date_only", "lksupdate version=V1 serial=1 valid-until=2031-02-28", false, "", 0, kNoEnd},
    {"no_leap_day", "lksupdate version=V1 serial=1 valid-until=2023-02-29T00:00:00Z", false, "", 0,
     kNoEnd},
    {"no_leap_day_of_1900_rule", "lksupdate version=V1 serial=1 valid-until=2100-02-29T00:00:00Z",
     false, "", 0, kNoEnd},
    {"month_13", "lksupdate version=V1 serial=1 valid-until=2031-13-01T00:00:00Z", false, "", 0,
     kNoEnd},
    {"day_0", "lksupdate version=V1 serial=1 valid-until=2031-01-00T00:00:00Z", false, "", 0,
     kNoEnd},
    {"april_31", "lksupdate version=V1 serial=1 valid-until=2031-04-31T00:00:00Z", false, "", 0,
     kNoEnd},
    {"hour_24", "lksupdate version=V1 serial=1 valid-until=2031-01-01T24:00:00Z", false, "", 0,
     kNoEnd},
    {"leap_second", "lksupdate version=V1 serial=1 valid-until=2016-12-31T23:59:60Z", false, "", 0,
     kNoEnd},
    {"before_1970", "lksupdate version=V1 serial=1 valid-until=1969-12-31T23:59:59Z", false, "", 0,
     kNoEnd},
    {"sign_in_date", "lksupdate version=V1 serial=1 valid-until=+031-01-01T00:00:00Z", false, "", 0,
     kNoEnd},
    {"lower_case_t", "lksupdate version=V1 serial=1 valid-until=2031-01-01t00:00:00Z", false, "", 0,
     kNoEnd},
};

class ParseListClaimsTest : public testing::TestWithParam<ClaimsCase> {};

TEST_P(ParseListClaimsTest, Reads) {
    const ClaimsCase& c = GetParam();
    ListClaims claims;
    claims.version = "unchanged";
    ASSERT_EQ(ParseListClaims(c.comment, &claims), c.ok);
    if (!c.ok) {
        EXPECT_EQ(claims.version, "unchanged");
        return;
    }
    EXPECT_EQ(claims.version, c.version);
    EXPECT_EQ(claims.serial, c.serial);
    EXPECT_EQ(claims.validUntil.has_value(), c.validUntil != kNoEnd);
    if (claims.validUntil) {
        EXPECT_EQ(*claims.validUntil, c.validUntil);
    }
    // Written back, the claims give the very comment.
    EXPECT_EQ(FormatListClaims(claims), c.comment);
}

INSTANTIATE_TEST_SUITE_P(ListClaimsTest, ParseListClaimsTest, testing::ValuesIn(kClaimsCases),
                         [](const testing::TestParamInfo<ClaimsCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(ListClaimsTest, LongCommentsAreRefused) {
    std::string head = "lksupdate version=";
    std::string tail = " serial=1";
    ListClaims claims;
    std::string longest = head + std::string(kMaxListClaimsText - head.size() - tail.size(), 'v');
    EXPECT_TRUE(ParseListClaims(longest + tail, &claims));
    EXPECT_FALSE(ParseListClaims(longest + "v" + tail, &claims));
}

TEST(ListClaimsTest, UtcTimeRoundTripsOverManyDays) {
    // Every 7th day and odd second from 1970 to past 2400: both directions agree.
    for (int64_t t = 0; t < 14000000000; t += 7 * 86400 + 3601) {
        std::string text = FormatUtcTime(t);
        ListClaims claims;
        ASSERT_TRUE(ParseListClaims("lksupdate version=V serial=1 valid-until=" + text, &claims))
            << text;
        ASSERT_EQ(*claims.validUntil, t) << text;
    }
}

struct VerdictCase {
    const char* name;
    const char* version;
    bool hasLast;
    uint64_t last;
    int64_t now;
    ClaimsVerdict expected;
};

std::ostream& operator<<(std::ostream& os, const VerdictCase& c) { return os << c.name; }

// Claims: version V1, serial 7, valid until 2031-02-28T23:59:59Z (1930089599).
constexpr VerdictCase kVerdictCases[] = {
    {"first_update", "V1", false, 0, 1930089599, ClaimsVerdict::Accepted},
    {"newer", "V1", true, 6, 1900000000, ClaimsVerdict::Accepted},
    {"same_serial_again", "V1", true, 7, 1900000000, ClaimsVerdict::Accepted},
    {"older_than_installed", "V1", true, 8, 1900000000, ClaimsVerdict::Rollback},
    {"much_older", "V1", true, UINT64_MAX, 1900000000, ClaimsVerdict::Rollback},
    {"other_version", "V2", true, 6, 1900000000, ClaimsVerdict::WrongVersion},
    {"version_case_counts", "v1", false, 0, 1900000000, ClaimsVerdict::WrongVersion},
    {"version_prefix_only", "V", false, 0, 1900000000, ClaimsVerdict::WrongVersion},
    {"one_second_late", "V1", true, 6, 1930089600, ClaimsVerdict::Expired},
    {"at_the_last_second", "V1", true, 6, 1930089599, ClaimsVerdict::Accepted},
};

class CheckListClaimsTest : public testing::TestWithParam<VerdictCase> {};

TEST_P(CheckListClaimsTest, Verdict) {
    const VerdictCase& c = GetParam();
    ListClaims claims;
    ASSERT_TRUE(
        ParseListClaims("lksupdate version=V1 serial=7 valid-until=2031-02-28T23:59:59Z", &claims));
    std::optional<uint64_t> last;
    if (c.hasLast) {
        last = c.last;
    }
    EXPECT_STREQ(ClaimsVerdictName(CheckListClaims(claims, c.version, last, c.now)),
                 ClaimsVerdictName(c.expected));
}

INSTANTIATE_TEST_SUITE_P(ListClaimsTest, CheckListClaimsTest, testing::ValuesIn(kVerdictCases),
                         [](const testing::TestParamInfo<VerdictCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(ListClaimsTest, NoEndNeverExpires) {
    ListClaims claims;
    ASSERT_TRUE(ParseListClaims("lksupdate version=V1 serial=7", &claims));
    EXPECT_EQ(CheckListClaims(claims, "V1", std::nullopt, INT64_MAX), ClaimsVerdict::Accepted);
}

}  // namespace
