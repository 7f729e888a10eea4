#pragma once

// The check of the copied sales against their lines: a bill whose header disagrees with the sum of
// its lines, or that has no line at all, is put back to 'Wait' in the store and deleted in the ERP
// (lines first), so that the next pass copies it again. Leaves the two findings in the form.

#include "transfer/context.h"

namespace lumvik::transfer {

void verifyAndRecollect(RunContext& run);

}  // namespace lumvik::transfer
