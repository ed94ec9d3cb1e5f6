#include <gtest/gtest.h>

#include "TokenTable.h"

namespace corvane {
namespace {

const TypedToken rows{0x1000, TokenType::row_vect};
const TypedToken row{0x2000, TokenType::data_vect};
const TypedToken item{0x3000, TokenType::data};
const TypedToken item_text{0x4000, TokenType::text};

TEST(TokenTable, ReleasingAScopeReleasesEverythingReachedThroughIt) {
    TokenTable table;
    const auto call = table.add_call_scope({rows});
    table.add_derived(rows, row);
    table.add_derived(row, item);
    table.add_derived(row, item);  // reached twice, listed once
    table.add_derived(item, item_text);
    EXPECT_TRUE(table.is_live(item_text));
    EXPECT_FALSE(table.is_live({item_text.token, TokenType::data})) << "the type is part of the token";

    table.release_call_scope(call);
    EXPECT_EQ(table.live_count(), 0u);
    table.add_derived(rows, row);
    EXPECT_FALSE(table.is_live(row)) << "nothing is reached through a dead token";
}

TEST(TokenTable, ATokenInSeveralScopesLivesUntilTheLastEnds) {
    TokenTable table;
    table.add_held(5, item);
    table.add_held(9, item_text);
    const auto call = table.add_call_scope({item});
    table.add_derived(item, row);

    table.release_thread(5);
    EXPECT_TRUE(table.is_live(item));
    EXPECT_TRUE(table.is_live(item_text)) << "another thread's objects stay";
    table.release_call_scope(call);
    EXPECT_FALSE(table.is_live(item));
    EXPECT_FALSE(table.is_live(row));

    table.release_thread(5);  // nothing left: harmless
    table.release_all_held();
    EXPECT_EQ(table.live_count(), 0u);
}

}  // namespace
}  // namespace corvane
