#include <gtest/gtest.h>

#include <string>

#include "Report.h"
#include "Samples.h"

namespace bench {
namespace {

TEST(Samples, PercentilesTakeTheNearestRank) {
    struct Case {
        std::vector<double> values;
        double fraction;
        double expected;
    };
    const Case cases[] = {
        {{}, 0.5, 0},
        {{7}, 0.99, 7},
        {{5, 1, 3}, 0.5, 3},
        {{1, 2, 3, 4}, 0.5, 3},  // rank 1.5 rounds up
        {{10, 1, 9, 2, 8, 3, 7, 4, 6, 5}, 0.99, 10},
        {{10, 1, 9, 2, 8, 3, 7, 4, 6, 5}, 0.0, 1},
    };
    for (const Case& c : cases) {
        Samples samples;
        for (double value : c.values) samples.add(value);
        EXPECT_EQ(samples.percentile(c.fraction), c.expected) << c.values.size() << " values at " << c.fraction;
    }
}

TEST(Report, JsonHoldsEveryFigureWithItsVerdictAndEscapedTexts) {
    Report report;
    report.note("load \"now\"", "1.0\t2.0");
    report.add({"trivial call p50", 120.5, "us", 100.0, 1.205, "<= 1.3x bare", Verdict::met});
    report.add({"p99 / p50", 4, "", std::nullopt, std::nullopt, "<= 3", Verdict::missed});
    report.add({"child RSS", 45.25, "MiB", std::nullopt, std::nullopt, "", Verdict::info});

    const std::string json = report.json();
    EXPECT_NE(json.find(R"("load \"now\"": "1.0\u00092.0")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"({"name": "trivial call p50", "value": 120.5, "unit": "us", "bare_floor": 100, )"
                        R"("ratio": 1.205, "target": "<= 1.3x bare", "status": "met"})"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("bare_floor": null, "ratio": null, "target": "<= 3", "status": "missed")"), std::string::npos)
        << json;
    EXPECT_NE(json.find(R"("target": null, "status": null)"), std::string::npos) << json;
    EXPECT_EQ(report.missed_count(), 1);

    const std::string table = report.table();
    EXPECT_NE(table.find("MISSED"), std::string::npos);
    EXPECT_NE(table.find("1.21x"), std::string::npos);
}

}  // namespace
}  // namespace bench
