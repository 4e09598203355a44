// Brings the library's process-wide state back to "just loaded" between tests.
#pragma once

#include <gtest/gtest.h>

namespace mdsp_test {

// Unloads and reloads the library's internals around each test.
class FreshLibrary : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace mdsp_test
