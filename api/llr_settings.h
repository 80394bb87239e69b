// The check of an LLR table's Es/N0 and limit, under the names the caller
// gives them (the C++ parameters, the Python arguments).
#pragma once

namespace tpc {
namespace api {

// Throws std::invalid_argument, in tpcsim's words for --llr-esno and
// --llr-limit, for an Es/N0 that is not a positive finite number or a limit
// not above 0.001.
void CheckLlrSettings(double esNo, double limit, const char* esNoName, const char* limitName);

}  // namespace api
}  // namespace tpc
