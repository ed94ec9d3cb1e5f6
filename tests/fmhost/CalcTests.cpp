// The calculation language on its own: expressions evaluated through the
// host's evaluate_expression, with plug-in functions registered directly in
// the host's tables.
#include "hostsdk/fmx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

struct Outcome {
    FMX_ErrorCode error = 0;
    std::string text;
    fmx::Data::DataType kind = fmx::Data::kDTInvalid;
};

Outcome evaluate(const std::string& expression) {
    fmx::Data result;
    Outcome outcome;
    outcome.error = hostsim::evaluate_expression(fmx::Text(expression.c_str()), fmx::ExprEnv(), result);
    outcome.text = result.GetAsText().GetUTF8();
    outcome.kind = result.GetNativeType();
    return outcome;
}

struct ValueCase {
    const char* expression;
    const char* text;
    fmx::Data::DataType kind;
};

class CalcValues : public testing::TestWithParam<ValueCase> {};

TEST_P(CalcValues, EvaluatesTo) {
    const ValueCase& c = GetParam();
    const Outcome outcome = evaluate(c.expression);
    EXPECT_EQ(outcome.error, 0) << c.expression;
    EXPECT_EQ(outcome.text, c.text) << c.expression;
    EXPECT_EQ(outcome.kind, c.kind) << c.expression;
}

constexpr auto kNumber = fmx::Data::kDTNumber;
constexpr auto kText = fmx::Data::kDTText;

INSTANTIATE_TEST_SUITE_P(
    Expressions, CalcValues,
    testing::Values(
        ValueCase{"1+2*3", "7", kNumber}, ValueCase{"(1+2)*3", "9", kNumber}, ValueCase{"10-4-3", "3", kNumber},
        ValueCase{"8/4/2", "1", kNumber}, ValueCase{"7/2", "3.5", kNumber}, ValueCase{"0.1+0.2", "0.3", kNumber},
        ValueCase{".5*2", "1", kNumber}, ValueCase{"-3+5", "2", kNumber}, ValueCase{"2*-3", "-6", kNumber},
        ValueCase{"- -3", "3", kNumber}, ValueCase{" 1 +\n\t2 ", "3", kNumber},
        ValueCase{"\"a\" & \"b\"", "ab", kText}, ValueCase{"\"n=\" & 1+2", "n=3", kText},
        ValueCase{"1 & 2 + 3", "15", kText}, ValueCase{R"("say \"hi\"")", "say \"hi\"", kText},
        ValueCase{R"("back\\slash \n")", "back\\slash \\n", kText}, ValueCase{"\"\"", "", kText},
        ValueCase{"1 < 2", "1", kNumber}, ValueCase{"2 <> 2", "0", kNumber}, ValueCase{"1+1 = 2", "1", kNumber},
        ValueCase{"\"abc\" = \"ABC\"", "1", kNumber}, ValueCase{"\"b\" >= \"a\"", "1", kNumber},
        ValueCase{"Date(1;2;2020)", "1/2/2020", fmx::Data::kDTDate},
        ValueCase{"Date(13;1;2020)", "1/1/2021", fmx::Data::kDTDate},
        ValueCase{"Date(1;31;2020) + 1", "2/1/2020", fmx::Data::kDTDate},
        ValueCase{"Date(3;1;2020) - Date(2;1;2020)", "29", kNumber},
        ValueCase{"Date(1;2;2020) < Date(1;3;2020)", "1", kNumber},
        ValueCase{"Time(13;4;5)", "1:04:05 PM", fmx::Data::kDTTime},
        ValueCase{"Timestamp(Date(1;2;2020); Time(3;4;5))", "1/2/2020 3:04:05 AM", fmx::Data::kDTTimeStamp},
        ValueCase{"Timestamp(Date(12;31;2020); Time(23;59;59)) + 1", "1/1/2021 12:00:00 AM", fmx::Data::kDTTimeStamp},
        ValueCase{"Container(\"a.txt\"; \"hello\")", "a.txt", fmx::Data::kDTBinary},
        ValueCase{"Length(\"h\xC3\xA9llo \xF0\x9F\x98\x80\")", "7", kNumber},
        ValueCase{"Upper(\"abc\")", "ABC", kText}, ValueCase{"lower(\"AbC\") & Length(\"\")", "abc0", kText}));

struct ErrorCase {
    const char* expression;
    FMX_ErrorCode error;
};

class CalcErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(CalcErrors, FailsWith) {
    const ErrorCase& c = GetParam();
    EXPECT_EQ(evaluate(c.expression).error, c.error) << c.expression;
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, CalcErrors,
    testing::Values(
        // syntax
        ErrorCase{"", 1203}, ErrorCase{"1+", 1203}, ErrorCase{"(1+2", 1207}, ErrorCase{"1+2)", 1207},
        ErrorCase{"Date(1;2;3", 1207}, ErrorCase{")", 1207}, ErrorCase{"1 2", 1208}, ErrorCase{"(1 2)", 1208},
        ErrorCase{"\"abc", 1206}, ErrorCase{"\"abc\\\"", 1206}, ErrorCase{"1 # 2", 1204}, ErrorCase{"*3", 1204},
        ErrorCase{"Date(1;;3)", 1204},
        // names and argument counts
        ErrorCase{"Nope(1)", 1208}, ErrorCase{"Nope", 1208}, ErrorCase{"Date(1;2)", 1201},
        ErrorCase{"Date(1;2;3;4)", 1202}, ErrorCase{"Upper()", 1201},
        // kinds and ranges
        ErrorCase{"\"a\" * 2", 1200}, ErrorCase{"1 + \"2\"", 1200}, ErrorCase{"-\"a\"", 1200}, ErrorCase{"1/0", 1200},
        ErrorCase{"Date(1;1;40000)", 1200}, ErrorCase{"Date(\"x\";1;2000)", 1200}, ErrorCase{"Timestamp(1;2)", 1200},
        ErrorCase{"Date(1;1;1) - 1", 1200}, ErrorCase{"Date(1;1;2000) * 2", 1200},
        ErrorCase{"Date(1;1;2000) - Time(1;0;0)", 1200}, ErrorCase{"Container(\"\"; \"x\")", 1200}));

TEST(CalcLimits, DeepInputIsRefusedWithoutExhaustingTheStack) {
    const std::size_t deep = 100000;
    EXPECT_EQ(evaluate(std::string(deep, '(') + "1" + std::string(deep, ')')).error, 1200);
    EXPECT_EQ(evaluate(std::string(deep, '-') + "1").error, 1200);
    EXPECT_EQ(evaluate(std::string(deep, '(')).error, 1200);

    // Moderate nesting still works, and a long flat chain adds no depth.
    EXPECT_EQ(evaluate(std::string(150, '(') + "4" + std::string(150, ')')).text, "4");
    std::string chain = "1";
    for (int i = 1; i < 50000; ++i) chain += "+1";
    EXPECT_EQ(evaluate(chain).text, "50000");
}

// Plug-in functions registered in the host's tables.
class CalcPluginFunctions : public testing::Test {
protected:
    static inline std::atomic<int> calls{0};

    static FMX_ErrorCode sum(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
        ++calls;
        fmx::FixPt total;
        for (FMX_UInt32 i = 0; i < args.Size(); ++i) total = total + args.At(i).GetAsNumber();
        result.SetAsNumber(total);
        return 0;
    }
    static FMX_ErrorCode fail(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&) { return 42; }
    static FMX_ErrorCode echo(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect& args, fmx::Data& result) {
        result = args.At(0);
        return 0;
    }
    static FMX_ErrorCode recurse(FMX_Int16, const fmx::ExprEnv& env, const fmx::DataVect&, fmx::Data& result) {
        return env.Evaluate(fmx::Text("Fake_Recurse"), result);
    }
    static FMX_ErrorCode throws(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&) {
        throw std::runtime_error("plug-in bug");
    }

    void SetUp() override {
        hostsim::Host::instance().reset();
        calls = 0;
        add("Fake_Sum", 1, 1, 3, sum);
        add("Fake_Any", 2, 0, -1, sum);
        add("Fake_Fail", 3, 0, 0, fail);
        add("Fake_Echo", 4, 1, 1, echo);
        add("Length", 5, 1, 1, fail);
        add("Fake_Recurse", 6, 0, 0, recurse);
        add("Fake_Throw", 7, 0, 0, throws);
    }
    void TearDown() override { hostsim::Host::instance().reset(); }

    static void add(const char* name, FMX_Int16 id, FMX_Int16 min_args, FMX_Int16 max_args, fmx::ExtPluginType entry) {
        ASSERT_EQ(fmx::ExprEnv::RegisterExternalFunction(fmx::QuadChar("FAKE"), id, fmx::Text(name), fmx::Text(name),
                                                         min_args, max_args, 0, entry),
                  0);
    }
};

TEST_F(CalcPluginFunctions, ResolveBeforeBuiltinsAndCheckArgumentCounts) {
    EXPECT_EQ(evaluate("Fake_Sum(1; 2*3; 4) + 1").text, "12");
    EXPECT_EQ(evaluate("fake_sum(5)").text, "5");
    EXPECT_EQ(evaluate("Fake_Any").text, "0");
    EXPECT_EQ(evaluate("Fake_Any(1;1;1;1;1;1;1;1;1;1)").text, "10");
    EXPECT_EQ(evaluate("Length(\"abc\")").error, 42);  // the plug-in's function shadows the built-in
    EXPECT_EQ(calls.load(), 4);

    // A wrong count is refused before the function or its arguments run.
    EXPECT_EQ(evaluate("Fake_Sum()").error, 1201);
    EXPECT_EQ(evaluate("Fake_Sum(Fake_Sum(1); 2; 3; 4)").error, 1202);
    EXPECT_EQ(calls.load(), 4);
}

TEST_F(CalcPluginFunctions, ResultsAndErrorsOfTheEntryComeThrough) {
    EXPECT_EQ(evaluate("Fake_Fail").error, 42);
    EXPECT_EQ(evaluate("1 + Fake_Fail").error, 42);
    EXPECT_EQ(evaluate("Fake_Throw").error, 1200);

    const Outcome echoed = evaluate("Fake_Echo(Container(\"a.txt\"; \"hello\"))");
    EXPECT_EQ(echoed.kind, fmx::Data::kDTBinary);
    EXPECT_EQ(echoed.text, "a.txt");
}

TEST_F(CalcPluginFunctions, EvaluationThroughPluginsIsBounded) {
    EXPECT_EQ(evaluate("Fake_Recurse").error, 1200);
}

}  // namespace
