#pragma once

// The test-only step switch of the database layer. It exists only in a build configured with
// -DLUMVIK_TEST_SWITCHES=ON; elsewhere a step costs nothing and the environment is never read.

#include <string_view>

namespace lumvik::db {

// kTestSwitches tells whether this build has the switch.
#ifdef LUMVIK_TEST_SWITCHES
inline constexpr bool kTestSwitches = true;
// Counts one step, a statement run ("what" is its text) or a commit ("commit"), and kills, pauses or
// traces there as the LUMVIK_TEST_... variables of the environment ask.
void testStep(std::string_view what);
#else
inline constexpr bool kTestSwitches = false;
inline void testStep(std::string_view) {}
#endif

}  // namespace lumvik::db
