// The translation of graph operations into XNNPACK nodes, one function per operator family.
// Used while a Model is being built, by one thread.
#pragma once

#include "platform/nn/internal_only.h"

#include "platform/nn/execution/segment_values.h"
#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// Adds `op` to the segment: its output value and the node or nodes that compute it. The graph has
// been prepared (prepareGraph), so shapes and operands are known to fit. Fails with
// ModelError::engineFailed when XNNPACK refuses a value or a node, naming the operation.
Result<void> defineOperation(SegmentValues& values, const Operation& op);

}  // namespace platform::nn
