// Numeric pictures and the numeric edit's number reading.
#include "components/NumericPicture.h"

#include <gtest/gtest.h>

using namespace cwt;

TEST(NumericPicture, GroupsThousandsAndHidesOptionalDigits) {
    EXPECT_EQ(FormatNumericPicture(1234567, "#,###"), "1,234,567");
    EXPECT_EQ(FormatNumericPicture(10, "#,###"), "10");
    EXPECT_EQ(FormatNumericPicture(999, "#,###"), "999");
    EXPECT_EQ(FormatNumericPicture(1000, "#,###"), "1,000");
    EXPECT_EQ(FormatNumericPicture(-1234, "#,###"), "-1,234");
    // A picture without grouping writes the digits as they are, however many.
    EXPECT_EQ(FormatNumericPicture(1234567, "#"), "1234567");
    EXPECT_EQ(FormatNumericPicture(7, "000"), "007");
}

TEST(NumericPicture, ZeroIsEmptyUnlessAZeroPlaceholderAsksForIt) {
    EXPECT_EQ(FormatNumericPicture(0, "#,###"), "");
    EXPECT_EQ(FormatNumericPicture(0.4, "#,###"), "");   // rounds to nothing
    EXPECT_EQ(FormatNumericPicture(-0.4, "#,###"), "");  // and no lone minus sign
    EXPECT_EQ(FormatNumericPicture(0, "#,##0"), "0");
    EXPECT_EQ(FormatNumericPicture(0, "#,##0.00"), "0.00");
}

TEST(NumericPicture, DecimalsAreRoundedHalfAwayFromZero) {
    EXPECT_EQ(FormatNumericPicture(1234.567, "#,##0.00"), "1,234.57");
    EXPECT_EQ(FormatNumericPicture(0.125, "#,##0.00"), "0.13");
    EXPECT_EQ(FormatNumericPicture(2.675, "#,##0.00"), "2.68");
    EXPECT_EQ(FormatNumericPicture(-2.5, "#,###"), "-3");
    // Rounding carries into a new group.
    EXPECT_EQ(FormatNumericPicture(999.995, "#,##0.00"), "1,000.00");
    EXPECT_EQ(FormatNumericPicture(1.5, "#,##0.00"), "1.50");
    // '#' decimals drop trailing zeros, and the point with them.
    EXPECT_EQ(FormatNumericPicture(1.5, "0.##"), "1.5");
    EXPECT_EQ(FormatNumericPicture(2, "0.##"), "2");
    EXPECT_EQ(FormatNumericPicture(0.5, "#.##"), ".5");
}

TEST(NumericPicture, SectionsLiteralsAndTheEmptyPicture) {
    EXPECT_EQ(FormatNumericPicture(-1234, "#,###;(#,###);zero"), "(1,234)");
    EXPECT_EQ(FormatNumericPicture(0, "#,###;(#,###);zero"), "zero");
    EXPECT_EQ(FormatNumericPicture(5, "#,###;(#,###);zero"), "5");
    EXPECT_EQ(FormatNumericPicture(1234, "#,### 'Hz'"), "1,234 Hz");
    EXPECT_EQ(FormatNumericPicture(12.5, ""), "12.5");
    EXPECT_EQ(FormatNumericPicture(0, ""), "0");
}

TEST(NumericPicture, MaskDecimalCountCountsEverythingAfterTheFirstPoint) {
    EXPECT_EQ(MaskDecimalCount("#,##0.00"), 2);
    EXPECT_EQ(MaskDecimalCount("#,###"), 0);
    EXPECT_EQ(MaskDecimalCount(""), 0);
    EXPECT_EQ(MaskDecimalCount("  0.000  "), 3);  // trimmed first
    EXPECT_EQ(MaskDecimalCount("0.0.0"), 3);
}

TEST(NumericPicture, ReadEditNumberReadsPlainDecimalsOnly) {
    EXPECT_DOUBLE_EQ(ReadEditNumber("1,234,567"), 1234567);
    EXPECT_DOUBLE_EQ(ReadEditNumber("-12.5"), -12.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ReadEditNumber("5."), 5);
    EXPECT_DOUBLE_EQ(ReadEditNumber(",,,"), 0);  // nothing left after the commas go
    for (const char* unreadable : {"", "-", ".", "+5", "1 2", "abc", "1.2.3", ")(", "(12)", "12)",
                                   "(12", "1)2)", "1-2", "-.", "12a"})
        EXPECT_DOUBLE_EQ(ReadEditNumber(unreadable), 0) << unreadable;
}

TEST(NumericPicture, SignedIntegerText) {
    for (const char* yes : {"", "0", "123", "-5", "+5", "007"})
        EXPECT_TRUE(IsSignedIntegerText(yes)) << yes;
    for (const char* no : {"-", "+", "1,234", "1.5", "5-", "--5", " 5", "a"})
        EXPECT_FALSE(IsSignedIntegerText(no)) << no;
}
