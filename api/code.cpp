// tpc::api::Code on the library's ProductCode parser and checks.
#include "tpc/code.h"

#include <stdexcept>

#include "api/internal_code.h"

namespace tpc {
namespace api {

namespace {

void Check(const ::tpc::ProductCode& code) {
    const Status status = CheckProductCode(code);
    if (!status.ok()) {
        throw std::invalid_argument("product code " + code.ToString() + ": " + status.message);
    }
}

}  // namespace

Code::Code() = default;

Code::Code(const std::string& text) {
    ::tpc::ProductCode parsed;
    const Status status = ParseProductCode(text, parsed);
    if (!status.ok()) {
        throw std::invalid_argument("product code \"" + text + "\": " + status.message);
    }
    *this = PublicCode(parsed);
}

Code::Code(int32_t nx, int32_t kx, int32_t ny, int32_t ky, int32_t nz, int32_t kz)
    : nx_(nx), kx_(kx), ny_(ny), ky_(ky), nz_(nz), kz_(kz) {
    Check(InternalCode(*this));
}

std::string Code::ToString() const { return InternalCode(*this).ToString(); }

::tpc::ProductCode InternalCode(const Code& code) {
    return ::tpc::ProductCode{code.nx(), code.kx(), code.ny(), code.ky(), code.nz(), code.kz()};
}

Code PublicCode(const ::tpc::ProductCode& code) {
    return Code(code.nx, code.kx, code.ny, code.ky, code.nz, code.kz);
}

}  // namespace api
}  // namespace tpc
