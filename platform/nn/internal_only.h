// Included first by every header of the runtime's rooms (graph/, formats/, kernels/, execution/,
// reference/, testing/). Those headers are the runtime's own business and compile only in targets
// that link a room: CMake gives them PLATFORM_NN_INTERNALS. Programs and services use the public
// headers beside this one (model.h, shared_model.h, sized_model_pool.h, model_files.h and
// model_errors.h); tests, benchmarks, fuzzers and tools that look inside the runtime link
// platform_nn_internals.
#ifndef PLATFORM_NN_INTERNALS
#error "a header internal to the neural-network runtime: include platform/nn/model.h and its public neighbours"
#endif
