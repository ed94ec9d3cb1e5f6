#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "CodeToParent.h"
#include "FakeChild.h"
#include "PipeParent.h"
#include "exception/TobrinException.h"
#include "util/TestLogging.h"

namespace corvane {
namespace {

TEST(BridgeObject, StartsWithNothingLaunchedOrOpen) {
    const PipeParent parent;
    EXPECT_FALSE(parent.is_init());
    EXPECT_FALSE(parent.is_alive());
    EXPECT_EQ(parent.get_child_process_id(), 0);
    EXPECT_TRUE(parent.window_management_enabled);
    EXPECT_EQ(parent.pipe_parent_version, 0.75);
    EXPECT_EQ(parent.parent_read_fp, nullptr);
    EXPECT_EQ(parent.parent_write_fp, nullptr);
    EXPECT_EQ(parent.parent_err_fp, nullptr);
    EXPECT_EQ(parent.parent_read_fp_ref_ct + parent.parent_write_fp_ref_ct + parent.parent_err_fp_ref_ct, 0);
    EXPECT_EQ(parent.get_thread_id_for_last_msg(), 0);
    EXPECT_FALSE(parent.is_channel_broken());
}

TEST(BridgeObject, ClosingPipesTwiceIsHarmless) {
    testing::ScopedTestLog log;
    PipeParent parent;
    testing::FakeChild child(parent);
    EXPECT_EQ(parent.parent_read_fp_ref_ct, 1);
    EXPECT_EQ(parent.parent_write_fp_ref_ct, 1);
    parent.close_pipes();
    parent.close_pipes();
    EXPECT_EQ(parent.parent_read_fp, nullptr);
    EXPECT_EQ(parent.parent_write_fp, nullptr);
    EXPECT_EQ(parent.parent_read_fp_ref_ct + parent.parent_write_fp_ref_ct, 0);
}

TEST(BridgeObject, CommandsWithoutAChildFailCleanly) {
    testing::ScopedTestLog log;
    PipeParent parent;
    const fmx::ExprEnv environment(0, 0);
    EXPECT_THROW(parent.send_cmd(CodeToChild::do_idle, "Abcd", PipeMessageSource(), true, 5, 0, 0, environment),
                 tobrin_exception);
    EXPECT_THROW(parent.consume_separator(), tobrin_exception);
}

TEST(BridgeObject, HostKinds) {
    struct Case {
        FMX_Application type;
        const char* text;
        bool server;
    };
    const Case cases[] = {
        {kFMXT_Developer, "FMAdvanced", false}, {kFMXT_Pro, "FMPro", false},  {kFMXT_Runtime, "Runtime", false},
        {kFMXT_Server, "Server", true},         {kFMXT_Web, "Web32", true},   {kFMXT_Mobile, "", false},
        {kFMXT_XDBC, "", false},                {kFMXT_SASE, "Server", true}, {kFMXT_IWP, "Web32", true},
        {kFMXT_FMDAPI, "", false},
    };
    for (const Case& c : cases) {
        PipeParent parent;
        parent.init_params.application_type = c.type;
        EXPECT_EQ(parent.get_application_type_string(), c.text) << int(c.type);
        EXPECT_EQ(PipeParent::is_server(c.type), c.server) << int(c.type);
    }
}

TEST(BridgeObject, VersionStringStopsAtItsEndAndToleratesNone) {
    FMInitParams params;
    EXPECT_EQ(params.get_version_string(), "");
    const char16_t version[] = u"Pro 21.0\u00e9";
    params.version_string = reinterpret_cast<FMX_PtrType>(version);
    EXPECT_EQ(params.get_version_string(), "Pro 21.0\xc3\xa9");
}

TEST(CodeToParentPrinting, EveryCodeHasItsOwnQualifiedNameAndOthersNone) {
    std::set<std::string> names;
    for (int32_t value = 0; value < 80; ++value) {
        std::ostringstream printed;
        printed << static_cast<CodeToParent>(value);
        ASSERT_EQ(printed.str().rfind("CodeToParent::", 0), 0u) << value;
        names.insert(printed.str());
    }
    EXPECT_EQ(names.size(), 80u);
    EXPECT_EQ(to_string(CodeToParent::finished), "CodeToParent::finished");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(7)), "CodeToParent::get_clipboard_data");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(57)), "CodeToParent::read_bytes_from_fm_text");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(77)), "CodeToParent::disable_window_management");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(78)), "CodeToParent::register_scroll_event");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(79)), "CodeToParent::unused");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(80)), "");
    EXPECT_EQ(to_string(static_cast<CodeToParent>(-1)), "");
}

}  // namespace
}  // namespace corvane
