// The peer tools the tests compare our files with: mdbtools (mdb-export,
// mdb-schema, mdb-prop, mdb-tables), mdb-reader on node, wine, strace.
//
// scripts/install-deps.sh installs every one of them, so a missing tool is a
// machine set up wrong, and a native test that needs it fails rather than
// passing without its comparison. The Windows build's tests run under Wine,
// where a Windows program cannot start them: the native build runs the same
// engine code against them, so there the comparison is skipped.
#pragma once

#include <gtest/gtest.h>

#include "tests/db/host_file.h"

#ifdef _WIN32
#define ACT_REQUIRE_TOOL(name) GTEST_SKIP() << (name) << " is compared with in the native build"
#else
#define ACT_REQUIRE_TOOL(name)                            \
  ASSERT_TRUE(::act::db::testing::HaveTool(name))         \
      << (name) << " is missing: scripts/install-deps.sh installs it"
#endif
