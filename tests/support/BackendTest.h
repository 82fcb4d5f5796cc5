#pragma once

#include "support/TempDatabase.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace parlix::sql {
inline void PrintTo(Backend backend, std::ostream *os)
{
    *os << (backend == Backend::Postgres ? "Postgres" : "Sqlite");
}
} // namespace parlix::sql

namespace parlix::test {

// A suite that runs every test on SQLite and on PostgreSQL, each test on its own fresh
// database `t`. Declare tests with TEST_P(Suite, Name) on `class Suite : public BackendTest {}`
// and run them on both with PARLIX_ON_BOTH_BACKENDS(Suite). Cannot start the PostgreSQL server:
// the PostgreSQL runs fail with the reason.
class BackendTest : public ::testing::TestWithParam<sql::Backend>
{
protected:
    void SetUp() override { ASSERT_TRUE(t.ptr()) << "no test database"; }
    bool onPostgres() const { return GetParam() == sql::Backend::Postgres; }

    TempDatabase t{GetParam()};
};

inline std::string backendName(const ::testing::TestParamInfo<sql::Backend> &info)
{
    return info.param == sql::Backend::Postgres ? "Postgres" : "Sqlite";
}

#define PARLIX_ON_BOTH_BACKENDS(Suite)                                                                                 \
    INSTANTIATE_TEST_SUITE_P(, Suite,                                                                                  \
                             ::testing::Values(::parlix::sql::Backend::Sqlite, ::parlix::sql::Backend::Postgres),      \
                             ::parlix::test::backendName)

} // namespace parlix::test
