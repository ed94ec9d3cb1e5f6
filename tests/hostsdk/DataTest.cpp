#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "hostsdk/fmx.h"

namespace {

fmx::FixPt number(long double value) {
    fmx::FixPt fixpt;
    fixpt.SetValue(value);
    return fixpt;
}

TEST(FixPt, TextFormIsExactForIntegersAndTrimmedForFractions) {
    struct Case {
        long double value;
        const char* expected;
    };
    const Case cases[] = {
        {3, "3"},
        {-12, "-12"},
        {0, "0"},
        {-0.0L, "0"},
        {1e17L, "100000000000000000"},
        {0.5L, "0.5"},
        {-2.25L, "-2.25"},
        {1.0L / 3, "0.3333333333333333"},
        {0.1L + 0.2L, "0.3"},
    };
    for (const auto& c : cases) EXPECT_EQ(number(c.value).AsText(), c.expected) << static_cast<double>(c.value);
}

TEST(FixPt, ArithmeticOnIntegersStaysExact) {
    const fmx::FixPt a(7), b(2);
    EXPECT_EQ((a + b).AsText(), "9");
    EXPECT_EQ((a - b).AsText(), "5");
    EXPECT_EQ((a * b).AsText(), "14");
    EXPECT_EQ((a / b).AsText(), "3.5");
    EXPECT_EQ((fmx::FixPt(6) / fmx::FixPt(3)).AsText(), "2");
    EXPECT_TRUE(a > b);
    EXPECT_EQ(-a, fmx::FixPt(-7));
}

TEST(FixPt, DivisionByZeroIsAnErrorNotAValue) {
    fmx::FixPt result(42);
    EXPECT_EQ(fmx::FixPt(1).Divide(fmx::FixPt(0), result), fmx::kErrInvalidArgument);
    EXPECT_EQ(result, fmx::FixPt(42));
    EXPECT_THROW(fmx::FixPt(1) / fmx::FixPt(0), std::domain_error);
}

TEST(FixPt, AsLongTruncatesAndSaturates) {
    struct Case {
        long double value;
        FMX_Int32 expected;
    };
    const Case cases[] = {
        {-1, -1},
        {2.9L, 2},
        {-2.9L, -2},
        {4294967296.0L, std::numeric_limits<FMX_Int32>::max()},
        {-1e30L, std::numeric_limits<FMX_Int32>::min()},
        {std::numeric_limits<long double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(number(c.value).AsLong(), c.expected) << static_cast<double>(c.value);
}

TEST(FixPt, DoublesKeepTheirDecimalForm) {
    fmx::FixPt value;
    value.AssignDouble(1234567.1);
    EXPECT_EQ(value.AsText(), "1234567.1");
    EXPECT_EQ(value.AsFloat(), 1234567.1);
    value.AssignDouble(1.5);
    std::uint64_t bits = 0;
    const double as_float = value.AsFloat();
    std::memcpy(&bits, &as_float, sizeof bits);
    EXPECT_EQ(bits, 0x3FF8000000000000u);
}

TEST(FixPt, ReadsDecimalTextStrictly) {
    struct Case {
        const char* text;
        bool ok;
        const char* value;
    };
    const Case cases[] = {
        {"12", true, "12"},   {" -3.5 ", true, "-3.5"}, {"+4", true, "4"},   {"1e3", true, "1000"},
        {".5", true, "0.5"},  {"", false, ""},          {"12abc", false, ""}, {"+-1", false, ""},
        {"inf", false, ""},   {"nan", false, ""},       {"0x10", false, ""},
    };
    for (const auto& c : cases) {
        fmx::FixPt value(99);
        EXPECT_EQ(value.AssignText(c.text), c.ok) << c.text;
        EXPECT_EQ(value.AsText(), c.ok ? c.value : "99") << c.text;
    }
}

class DataKinds : public testing::Test {
protected:
    fmx::Data data_;
};

TEST_F(DataKinds, NewValueIsEmptyAndInvalid) {
    EXPECT_TRUE(data_.IsEmpty());
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTInvalid);
    EXPECT_EQ(data_.GetAsText().GetSize(), 0u);
    EXPECT_EQ(data_.GetBinaryData().GetCount(), 0);
}

TEST_F(DataKinds, TextRoundTripsWithStylesAndReadsAsNumber) {
    fmx::Text text("abc12.5x");
    text.SetStyle(fmx::CharacterStyle(1, fmx::CharacterStyle::kFace_Bold, 10), 0, 2);
    data_.SetAsText(text, fmx::Locale());
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTText);
    EXPECT_FALSE(data_.IsEmpty());
    EXPECT_EQ(data_.GetAsText(), text);
    EXPECT_EQ(data_.GetAsText().GetStyleRuns().size(), 1u);
    EXPECT_EQ(data_.GetAsNumber().AsText(), "12.5");
}

TEST_F(DataKinds, TextToNumberFollowsTheHostReading) {
    struct Case {
        const char* text;
        const char* number;
    };
    const Case cases[] = {{"42", "42"}, {"-7.25", "-7.25"}, {"abc", "0"}, {"a-1b2", "-12"}, {"1.2.3", "1.23"}};
    for (const auto& c : cases) {
        data_.SetAsText(fmx::Text(c.text), fmx::Locale());
        EXPECT_EQ(data_.GetAsNumber().AsText(), c.number) << c.text;
    }
}

TEST_F(DataKinds, EmptyTextIsEmpty) {
    data_.SetAsText(fmx::Text(""), data_.GetLocale(), fmx::Data::kDTText);
    EXPECT_TRUE(data_.IsEmpty());
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTText);
}

TEST_F(DataKinds, NumberRendersExactlyAndReadsBack) {
    data_.SetAsNumber(fmx::FixPt(3));
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTNumber);
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "3");
    EXPECT_EQ(data_.GetAsNumber().AsLong(), 3);
    data_.SetAsNumber(fmx::FixPt(-1));
    EXPECT_EQ(data_.GetAsNumber().AsLong(), -1);
}

TEST_F(DataKinds, TextWithANumberNativeTypeIsANumber) {
    data_.SetAsText(fmx::Text("2.50"), fmx::Locale(), fmx::Data::kDTNumber);
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTNumber);
    EXPECT_EQ(data_.GetAsNumber().AsFloat(), 2.5);
}

TEST_F(DataKinds, DateTimeKindsKeepTheirPartsAndForms) {
    fmx::DateTime stamp;
    ASSERT_EQ(stamp.SetNormalizedDate(12, 9, 2026), 0);
    ASSERT_EQ(stamp.SetNormalizedTime(1, 12, 6), 0);
    struct Case {
        fmx::Data::DataType type;
        const char* text;
        FMX_Int32 days;
        long double secs;
    };
    const Case cases[] = {
        {fmx::Data::kDTTimeStamp, "12/9/2026 1:12:06 AM", 739959, 4326},
        {fmx::Data::kDTDate, "12/9/2026", 739959, 0},
        {fmx::Data::kDTTime, "1:12:06 AM", 0, 4326},
    };
    for (const auto& c : cases) {
        data_.SetDateTime(stamp, c.type, c.type);
        EXPECT_EQ(data_.GetNativeType(), c.type);
        EXPECT_EQ(data_.GetAsText().GetUTF8(), c.text);
        const fmx::DateTime& back = data_.GetAsTimeStamp();
        EXPECT_EQ(back.GetDaysSinceEpoch(), c.days) << c.text;
        fmx::FixPt secs;
        back.GetSecsSinceMidnight(secs);
        EXPECT_EQ(secs.GetValue(), c.secs) << c.text;
    }
}

TEST_F(DataKinds, TimestampNumberIsSecondsSinceTheEpoch) {
    fmx::DateTime stamp;
    stamp.SetNormalizedDate(1, 2, 1);
    stamp.SetNormalizedTime(0, 0, 5);
    data_.SetDateTime(stamp, fmx::Data::kDTTimeStamp, fmx::Data::kDTTimeStamp);
    EXPECT_EQ(data_.GetAsNumber().AsText(), "86405");
}

TEST_F(DataKinds, TextParsesAsTimestamp) {
    data_.SetAsText(fmx::Text("2026-12-09 13:00:00"), fmx::Locale(), fmx::Data::kDTTimeStamp);
    EXPECT_EQ(data_.GetAsTimeStamp().GetDaysSinceEpoch(), 739959);
    EXPECT_EQ(data_.GetAsTimeStamp().GetHour(), 13);
}

TEST_F(DataKinds, BooleanRendersAsOneOrZero) {
    data_.SetAsBoolean(true);
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTBoolean);
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "1");
    EXPECT_TRUE(data_.GetAsBoolean());
    data_.SetAsNumber(fmx::FixPt(0), fmx::Data::kDTBoolean);
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "0");
}

TEST_F(DataKinds, ContainerTextFollowsItsFileNameAlsoAfterInPlaceChanges) {
    char bytes[] = "payload";
    data_.SetBinaryData(fmx::BinaryData(fmx::Text("a.txt"), 7, bytes), true);
    EXPECT_EQ(data_.GetNativeType(), fmx::Data::kDTBinary);
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "a.txt");

    fmx::BinaryData& inside = data_.GetBinaryData();
    while (inside.Remove(fmx::QuadChar("FNAM"))) {
    }
    inside.AddFNAMData(fmx::Text("b.txt"));
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "b.txt");
    inside.RemoveAll();
    EXPECT_TRUE(data_.IsEmpty());
}

TEST_F(DataKinds, SettingFromItsOwnPartsKeepsTheValue) {
    data_.SetAsText(fmx::Text("self"), fmx::Locale());
    data_.SetAsText(data_.GetAsText(), data_.GetLocale(), fmx::Data::kDTText);
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "self");
    data_.SetAsNumber(fmx::FixPt(5));
    data_.SetAsNumber(data_.GetAsNumber());
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "5");
    data_.SetBinaryData(fmx::BinaryData(fmx::Text("c.bin"), 0, nullptr));
    data_.SetBinaryData(data_.GetBinaryData());
    EXPECT_EQ(data_.GetAsText().GetUTF8(), "c.bin");
}

TEST_F(DataKinds, ConstReadersOnSeveralThreadsShareOneContainerValue) {
    char bytes[] = "x";
    data_.SetBinaryData(fmx::BinaryData(fmx::Text("shared.bin"), 1, bytes));
    const fmx::Data& shared = data_;
    std::atomic<int> mismatches{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                if (shared.GetAsText().GetUTF8() != "shared.bin" || shared.IsEmpty()) ++mismatches;
            }
        });
    }
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(DataVectors, ElementsKeepTheirAddressesAndBoundsAreChecked) {
    fmx::DataVect values;
    fmx::Data item;
    item.SetAsNumber(fmx::FixPt(1));
    values.PushBack(item);
    const fmx::Data* first = &values.At(0);
    for (int i = 0; i < 100; ++i) values.PushBack(item);
    EXPECT_EQ(&values.At(0), first);
    EXPECT_EQ(values.Size(), 101u);
    values.At(0).SetAsText(fmx::Text("changed"), fmx::Locale());
    EXPECT_EQ(values.AtAsText(0).GetUTF8(), "changed");
    EXPECT_THROW(values.At(101), std::out_of_range);

    fmx::RowVect rows;
    EXPECT_TRUE(rows.IsEmpty());
    rows.PushBack(values);
    EXPECT_EQ(rows.At(0).Size(), 101u);
    EXPECT_EQ(rows.At(0).AtAsText(0).GetUTF8(), "changed");
    EXPECT_THROW(rows.At(1), std::out_of_range);
    values.Clear();
    EXPECT_EQ(rows.At(0).Size(), 101u) << "rows hold copies";
}

TEST(Holders, OwnNewObjectsAndGiveThemUp) {
    fmx::TextUniquePtr text;
    text->Assign("x");
    EXPECT_EQ((*text).GetSize(), 1u);
    fmx::QuadCharUniquePtr quad("FNAM");
    EXPECT_EQ(*quad, fmx::QuadChar("FNAM"));
    fmx::ColorUniquePtr color(1, 2, 3, 4);
    EXPECT_EQ(color->GetBlue(), 3);
    fmx::DataUniquePtr data;
    std::unique_ptr<fmx::Data> taken(data.release());
    EXPECT_EQ(data.get(), nullptr);
    EXPECT_TRUE(taken->IsEmpty());
    fmx::TextUniquePtr moved(std::move(text));
    EXPECT_EQ(moved->GetUTF8(), "x");
}

}  // namespace
