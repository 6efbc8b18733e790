// Date literals and Jet's numeric dates.
#include <gtest/gtest.h>

#include <limits>

#include "db/sql/date_literal.h"

namespace act::sql {
namespace {

TEST(DateLiteral, AcceptedForms) {
  const struct { const char* text; DateTime date; } cases[] = {
      {"2024-05-01", {2024, 5, 1, 0, 0, 0}},
      {"2024/5/1", {2024, 5, 1, 0, 0, 0}},
      {"5/1/2024", {2024, 5, 1, 0, 0, 0}},
      {" 2024-05-01  23:59:59 ", {2024, 5, 1, 23, 59, 59}},
      {"2/29/2000 12:00 AM", {2000, 2, 29, 0, 0, 0}},
      {"2/29/2000 12:00 pm", {2000, 2, 29, 12, 0, 0}},
      {"1:05 PM", {1899, 12, 30, 13, 5, 0}},
      {"10:30", {1899, 12, 30, 10, 30, 0}},
      {"0100-01-01", {100, 1, 1, 0, 0, 0}},
      {"12/31/9999 23:59:59", {9999, 12, 31, 23, 59, 59}},
  };
  for (const auto& c : cases) {
    auto d = ParseDateLiteral(c.text);
    ASSERT_TRUE(d) << c.text;
    EXPECT_EQ(*d, c.date) << c.text;
  }
}

TEST(DateLiteral, RefusedForms) {
  for (const char* text :
       {"", " ", "2023-02-29", "1900-02-29", "2024-13-01", "2024-00-10", "2024-04-31",
        "0099-12-31", "5/1/24", "5-1-2024", "24:00", "10:60", "10:30:60", "13:00 PM",
        "0:30 AM", "2024-05-01 10", "2024-05-01x", "10:30 XM", "yesterday", "2024-05-01 10:30:00 1",
        "99999-01-01", "2024-005-01"}) {
    EXPECT_FALSE(ParseDateLiteral(text)) << "'" << text << "'";
  }
}

TEST(DateLiteral, JetNumbers) {
  EXPECT_DOUBLE_EQ(ToJetDate({1899, 12, 30, 0, 0, 0}), 0.0);
  EXPECT_DOUBLE_EQ(ToJetDate({1899, 12, 31, 0, 0, 0}), 1.0);
  EXPECT_DOUBLE_EQ(ToJetDate({1900, 1, 1, 0, 0, 0}), 2.0);
  EXPECT_DOUBLE_EQ(ToJetDate({2000, 1, 1, 0, 0, 0}), 36526.0);
  EXPECT_DOUBLE_EQ(ToJetDate({2024, 5, 1, 18, 0, 0}), 45413.75);
  // Before day zero the fraction still runs forwards in the day.
  EXPECT_DOUBLE_EQ(ToJetDate({1899, 12, 29, 6, 0, 0}), -1.25);
  EXPECT_DOUBLE_EQ(ToJetDate({100, 1, 1, 0, 0, 0}), -657434.0);
  EXPECT_DOUBLE_EQ(ToJetDate({9999, 12, 31, 0, 0, 0}), 2958465.0);
}

TEST(DateLiteral, FromJetNumbers) {
  EXPECT_EQ(FromJetDate(0.0), (DateTime{1899, 12, 30, 0, 0, 0}));
  EXPECT_EQ(FromJetDate(45413.75), (DateTime{2024, 5, 1, 18, 0, 0}));
  EXPECT_EQ(FromJetDate(-1.25), (DateTime{1899, 12, 29, 6, 0, 0}));
  EXPECT_EQ(FromJetDate(29932.0), (DateTime{1981, 12, 12, 0, 0, 0}));
  // Rounded to the second; just before midnight rounds into the next day.
  EXPECT_EQ(FromJetDate(1.0 + 10.4 / 86400), (DateTime{1899, 12, 31, 0, 0, 10}));
  EXPECT_EQ(FromJetDate(1.0 + 86399.7 / 86400), (DateTime{1900, 1, 1, 0, 0, 0}));
  EXPECT_EQ(FromJetDate(-1.0 - 86399.7 / 86400), (DateTime{1899, 12, 30, 0, 0, 0}));
  EXPECT_FALSE(FromJetDate(1e300));
  EXPECT_FALSE(FromJetDate(-1e7));
  EXPECT_FALSE(FromJetDate(std::numeric_limits<double>::quiet_NaN()));
  // Every day of Jet's range converts both ways.
  for (double day = -657434; day <= 2958465; day += 97) {
    double noon = day < 0 ? day - 0.5 : day + 0.5;
    auto d = FromJetDate(noon);
    ASSERT_TRUE(d) << day;
    EXPECT_EQ(d->hour, 12);
    EXPECT_DOUBLE_EQ(ToJetDate(*d), noon) << day;
  }
}

TEST(DateLiteral, DaysInMonth) {
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
}

}  // namespace
}  // namespace act::sql
