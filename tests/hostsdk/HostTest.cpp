#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "hostsdk/fmx.h"

namespace {

// Every test starts from a new host: the host is process-wide.
class HostTest : public testing::Test {
protected:
    void SetUp() override { hostsim::Host::instance().reset(); }
    void TearDown() override { hostsim::Host::instance().reset(); }
    hostsim::Host& host() { return hostsim::Host::instance(); }
};

FMX_ErrorCode entry_a(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&) { return 0; }
FMX_ErrorCode entry_b(FMX_Int16, const fmx::ExprEnv&, const fmx::DataVect&, fmx::Data&) { return 0; }

const fmx::QuadChar kPlugin("Tst1");

TEST_F(HostTest, RegistrationFillsAndEmptiesTheTables) {
    EXPECT_EQ(fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, fmx::Text("Tst_Add"), fmx::Text("Tst_Add(a; b)"),
                                                     2, 2, fmx::ExprEnv::kMayEvaluateOnServer, entry_a),
              0);
    EXPECT_EQ(fmx::ExprEnv::RegisterExternalFunctionEx(kPlugin, 2, fmx::Text("Tst_Any"), fmx::Text("Tst_Any(...)"),
                                                       fmx::Text("any count"), 0, -1, 0, entry_b),
              0);
    EXPECT_EQ(fmx::ExprEnv::RegisterScriptStep(kPlugin, 3, fmx::Text("Tst Step"), fmx::Text("<PluginStep/>"),
                                               fmx::Text("a step"), fmx::ExprEnv::kAllowedOnServer, entry_a),
              0);

    const auto functions = host().functions();
    ASSERT_EQ(functions.size(), 2u);
    EXPECT_EQ(functions[0].plugin_id, kPlugin);
    EXPECT_EQ(functions[0].name, "Tst_Add");
    EXPECT_EQ(functions[0].prototype, "Tst_Add(a; b)");
    EXPECT_EQ(functions[0].min_args, 2);
    EXPECT_EQ(functions[0].flags, fmx::ExprEnv::kMayEvaluateOnServer);
    EXPECT_EQ(functions[0].entry, &entry_a);
    EXPECT_EQ(functions[1].description, "any count");
    EXPECT_EQ(functions[1].max_args, -1);
    ASSERT_TRUE(host().find_function("tst_any"));
    EXPECT_EQ(host().find_function("tst_any")->function_id, 2);

    const auto steps = host().script_steps();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].definition, "<PluginStep/>");
    EXPECT_EQ(steps[0].description, "a step");

    EXPECT_EQ(fmx::ExprEnv::UnRegisterExternalFunction(kPlugin, 1), 0);
    EXPECT_EQ(fmx::ExprEnv::UnRegisterExternalFunction(kPlugin, 1), fmx::kErrNotFound);
    EXPECT_EQ(fmx::ExprEnv::UnRegisterExternalFunction(fmx::QuadChar("Othr"), 2), fmx::kErrNotFound);
    EXPECT_EQ(fmx::ExprEnv::UnRegisterScriptStep(kPlugin, 3), 0);
    EXPECT_EQ(host().functions().size(), 1u);
    EXPECT_TRUE(host().script_steps().empty());
}

TEST_F(HostTest, RegisteringAnIdAgainReplacesTheEntry) {
    fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, fmx::Text("Old"), fmx::Text("Old"), 0, 0, 0, entry_a);
    EXPECT_EQ(fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, fmx::Text("New"), fmx::Text("New"), 0, 1, 0, entry_b),
              0);
    const auto functions = host().functions();
    ASSERT_EQ(functions.size(), 1u);
    EXPECT_EQ(functions[0].name, "New");
    EXPECT_EQ(functions[0].entry, &entry_b);
}

TEST_F(HostTest, InvalidRegistrationsAreRefused) {
    const fmx::Text name("F"), proto("F(x)");
    EXPECT_NE(fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, name, proto, 0, 1, 0, nullptr), 0);
    EXPECT_NE(fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, fmx::Text(""), proto, 0, 1, 0, entry_a), 0);
    EXPECT_NE(fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, name, proto, 3, 1, 0, entry_a), 0);
    EXPECT_NE(fmx::ExprEnv::RegisterExternalFunction(kPlugin, 1, name, proto, -1, 1, 0, entry_a), 0);
    EXPECT_NE(fmx::ExprEnv::RegisterScriptStep(kPlugin, 1, name, proto, proto, 0, nullptr), 0);
    EXPECT_TRUE(host().functions().empty());
    EXPECT_TRUE(host().script_steps().empty());
}

TEST_F(HostTest, StartScriptEntryRecordsDeclaredScriptsOnly) {
    host().declare_script("Greet");
    const FMX_StartScriptCall start = hostsim::Host::start_script_entry();
    const fmx::Text file("Main"), greet("greet"), missing("Nope");
    fmx::Data parameter;
    parameter.SetAsNumber(fmx::FixPt(12));

    EXPECT_EQ(start(&file, &missing, kFMXT_Resume, &parameter), fmx::kErrScriptMissing);
    EXPECT_TRUE(host().triggered_scripts().empty());

    EXPECT_EQ(start(&file, &greet, kFMXT_Resume, &parameter), 0);
    EXPECT_EQ(start(&file, &greet, kFMXT_Halt, nullptr), 0);
    const auto runs = host().triggered_scripts();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].file, "Main");
    EXPECT_EQ(runs[0].script, "greet");
    EXPECT_EQ(runs[0].control, kFMXT_Resume);
    EXPECT_TRUE(runs[0].has_parameter);
    EXPECT_EQ(runs[0].parameter, "12");
    EXPECT_FALSE(runs[1].has_parameter);
    EXPECT_EQ(start(&file, nullptr, kFMXT_Halt, nullptr), fmx::kErrScriptMissing);
}

TEST_F(HostTest, NewEnvironmentsAreTheHostsCurrentOne) {
    host().set_session_id(77);
    host().attach_file("Main", "/nonexistent/main.sqlite");
    const FMX_PtrType second = host().attach_file("Other", "/nonexistent/other.sqlite");
    EXPECT_EQ(host().attach_file("main", "/nonexistent/again.sqlite"), 1u) << "same name, same id";
    EXPECT_EQ(second, 2u);

    fmx::ExprEnvUniquePtr env;
    EXPECT_EQ(env->SessionID(), 77u);
    EXPECT_EQ(env->FileID(), 1u);

    fmx::ExprEnv filled(0, 0);
    EXPECT_EQ(hostsim::Host::current_env_entry()(&filled), 0);
    EXPECT_EQ(filled.SessionID(), 77u);
    EXPECT_EQ(filled.FileID(), 1u);
    EXPECT_NE(hostsim::Host::current_env_entry()(nullptr), 0);
}

// SQL against a small SQLite file attached as the host file "Main".
class FileSqlTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        path_ = testing::TempDir() + fmt::format("hostsdk_sql_{}.sqlite", ::testing::UnitTest::GetInstance()->random_seed());
        std::remove(path_.c_str());
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        const char* setup =
            "CREATE TABLE people(name TEXT, age INTEGER, score REAL, photo BLOB, note TEXT);"
            "INSERT INTO people VALUES('Ann', 31, 2.5, x'0102', NULL);"
            "INSERT INTO people VALUES('Bob', 42, 0.1, NULL, 'b');"
            "INSERT INTO people VALUES('Cy\xC3\xA9', 7, -1, NULL, NULL);";
        char* error = nullptr;
        const int result = sqlite3_exec(db, setup, nullptr, nullptr, &error);
        sqlite3_free(error);
        sqlite3_close(db);
        ASSERT_EQ(result, SQLITE_OK);
        host().attach_file("Main", path_);
    }
    void TearDown() override {
        std::remove(path_.c_str());
        HostTest::TearDown();
    }

    static fmx::DataVect parameters(std::initializer_list<const char*> texts) {
        fmx::DataVect values;
        for (const char* text : texts) {
            fmx::Data value;
            value.SetAsText(fmx::Text(text), fmx::Locale());
            values.PushBack(value);
        }
        return values;
    }

    std::string path_;
    const fmx::ExprEnv env_{0, 1};
};

TEST_F(FileSqlTest, RowsCarryTypedValues) {
    fmx::RowVect rows;
    ASSERT_EQ(env_.ExecuteFileSQL(fmx::Text("SELECT name, age, score, photo, note FROM people ORDER BY age"),
                                  fmx::Text(""), fmx::DataVect(), rows),
              0);
    ASSERT_EQ(rows.Size(), 3u);
    const fmx::DataVect& ann = rows.At(1);
    ASSERT_EQ(ann.Size(), 5u);
    EXPECT_EQ(ann.AtAsText(0).GetUTF8(), "Ann");
    EXPECT_EQ(ann.At(1).GetNativeType(), fmx::Data::kDTNumber);
    EXPECT_EQ(ann.AtAsText(1).GetUTF8(), "31");
    EXPECT_EQ(ann.AtAsText(2).GetUTF8(), "2.5");
    EXPECT_EQ(ann.At(3).GetNativeType(), fmx::Data::kDTBinary);
    EXPECT_EQ(ann.At(3).GetBinaryData().GetSize(0), 2u);
    EXPECT_TRUE(ann.At(4).IsEmpty());
    EXPECT_EQ(rows.At(0).AtAsText(0).GetUTF8(), "Cy\xC3\xA9");
    EXPECT_EQ(rows.At(2).AtAsText(2).GetUTF8(), "0.1");
}

TEST_F(FileSqlTest, ParametersBindInOrder) {
    fmx::RowVect rows;
    ASSERT_EQ(env_.ExecuteFileSQL(fmx::Text("SELECT name FROM people WHERE age > ? AND name <> ? ORDER BY name"),
                                  fmx::Text("main"), parameters({"10", "Bob"}), rows),
              0);
    ASSERT_EQ(rows.Size(), 1u);
    EXPECT_EQ(rows.At(0).AtAsText(0).GetUTF8(), "Ann");

    fmx::DataVect numeric;
    fmx::Data age;
    age.SetAsNumber(fmx::FixPt(42));
    numeric.PushBack(age);
    ASSERT_EQ(env_.ExecuteFileSQL(fmx::Text("SELECT name FROM people WHERE age = ?"), fmx::Text(""), numeric, rows), 0);
    ASSERT_EQ(rows.Size(), 1u);
    EXPECT_EQ(rows.At(0).AtAsText(0).GetUTF8(), "Bob");
}

TEST_F(FileSqlTest, TextResultJoinsColumnsAndRows) {
    fmx::Data result;
    ASSERT_EQ(env_.ExecuteFileSQLTextResult(fmx::Text("SELECT name, age FROM people ORDER BY age"), fmx::Text(""),
                                            fmx::DataVect(), result, '|', '\n'),
              0);
    EXPECT_EQ(result.GetNativeType(), fmx::Data::kDTText);
    EXPECT_EQ(result.GetAsText().GetUTF8(), "Cy\xC3\xA9|7\nAnn|31\nBob|42");

    ASSERT_EQ(env_.ExecuteFileSQLTextResult(fmx::Text("SELECT name FROM people WHERE age > 100"), fmx::Text(""),
                                            fmx::DataVect(), result, ',', ';'),
              0);
    EXPECT_TRUE(result.IsEmpty());
}

TEST_F(FileSqlTest, ErrorsComeBackAsHostErrorNumbers) {
    struct Case {
        const char* sql;
        const char* file;
        std::initializer_list<const char*> params;
        FMX_ErrorCode expected;
    };
    const Case cases[] = {
        {"SELEC name FROM people", "", {}, fmx::kErrSQL},
        {"SELECT nothing FROM people", "", {}, fmx::kErrSQL},
        {"SELECT name FROM people WHERE age = ?", "", {"1", "2"}, fmx::kErrSQL},
        {"SELECT 1; DROP TABLE people", "", {}, fmx::kErrSQL},
        {"", "", {}, fmx::kErrSQL},
        {"SELECT 1", "Elsewhere", {}, fmx::kErrFileMissing},
    };
    for (const auto& c : cases) {
        fmx::RowVect rows;
        rows.PushBack(fmx::DataVect());
        EXPECT_EQ(env_.ExecuteFileSQL(fmx::Text(c.sql), fmx::Text(c.file), parameters(c.params), rows), c.expected)
            << c.sql;
        EXPECT_TRUE(rows.IsEmpty()) << c.sql;
        fmx::Data text;
        EXPECT_EQ(env_.ExecuteFileSQLTextResult(fmx::Text(c.sql), fmx::Text(c.file), parameters(c.params), text, ',',
                                                '\n'),
                  c.expected)
            << c.sql;
    }
    fmx::RowVect rows;
    EXPECT_EQ(env_.ExecuteFileSQL(fmx::Text("SELECT count(*) FROM people"), fmx::Text(""), fmx::DataVect(), rows), 0);
    EXPECT_EQ(rows.At(0).AtAsText(0).GetUTF8(), "3") << "the rejected second statement did not run";
}

TEST_F(FileSqlTest, AFileThatCannotBeOpenedIsMissing) {
    host().attach_file("Gone", testing::TempDir() + "hostsdk_no_such_dir/none.sqlite");
    fmx::RowVect rows;
    EXPECT_EQ(env_.ExecuteFileSQL(fmx::Text("SELECT 1"), fmx::Text("Gone"), fmx::DataVect(), rows),
              fmx::kErrFileMissing);
}

TEST_F(FileSqlTest, ThreadsRunSqlAndRegisterAtOnce) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 20;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const fmx::ExprEnvUniquePtr env;
            for (int round = 0; round < kRounds; ++round) {
                fmx::Data result;
                if (env->ExecuteFileSQLTextResult(fmx::Text("SELECT count(*) FROM people"), fmx::Text(""),
                                                  fmx::DataVect(), result, ',', '\n') != 0 ||
                    result.GetAsText().GetUTF8() != "3") {
                    ++failures;
                }
                const auto id = static_cast<FMX_Int16>(t * kRounds + round);
                if (fmx::ExprEnv::RegisterExternalFunction(kPlugin, id, fmx::Text(fmt::format("F{}", id).c_str()),
                                                           fmx::Text("F"), 0, 0, 0, entry_a) != 0) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(host().functions().size(), static_cast<std::size_t>(kThreads * kRounds));
}

}  // namespace
