// Turns an ONNX model into a Graph for fixed input sizes. ONNX models often leave sizes open
// (a picture's width and height); the runtime builds for fixed shapes, so the caller names every
// input's shape and gets a graph for exactly those sizes. Computations on sizes (Shape, Cast,
// Slice and Concat of shapes, ...) are folded into constants here.
//
// Layout: ONNX lays pictures out as [n, c, h, w]; the runtime as [n, h, w, c]. Every 4-D input
// and output of the Graph is channels-last ([n, h, w, c] for ONNX's [n, c, h, w]); other ranks
// keep ONNX's layout. Inside, convolutions and what surrounds them stay channels-last, and a
// transposition is inserted only where an operation needs ONNX's own layout (reshapes, matrix
// products). Batch normalisation, per-channel scaling and shifting, and activations after a
// convolution are folded into it; hard-swish and layer normalisation, which the exporters spell
// out in several nodes, become single operations.
//
// Pure functions; safe from any thread.
#pragma once

#include "platform/nn/internal_only.h"

#include <string_view>
#include <vector>

#include "platform/nn/formats/onnx/onnx_reader.h"
#include "platform/nn/graph/graph.h"
#include "platform/result.h"

namespace platform::nn {

// The graph of `model` with its inputs of `inputShapes` (one per model input, in order, in ONNX's
// layout, e.g. {1, 3, 48, 320}). Fails with ModelError::invalidInputs when the shapes do not fit
// the declared ones, ModelError::unsupported for an operator or attribute outside the supported
// set (the error names it), and ModelError::malformed for a model that contradicts itself. The
// graph still needs prepareGraph() (buildModel in execution/model_runtime.h does it).
Result<Graph> translateOnnx(const OnnxModel& model, const std::vector<std::vector<int>>& inputShapes);

// Whether the translation takes nodes of the ONNX op type `opType` when their inputs are not all
// constants (those are folded at translation).
bool translatesOnnxOperator(std::string_view opType);

}  // namespace platform::nn
