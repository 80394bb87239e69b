// Between the public Code and the library's ProductCode.
#pragma once

#include "code/product_code.h"
#include "tpc/code.h"

namespace tpc {
namespace api {

::tpc::ProductCode InternalCode(const Code& code);
// Checks the code again (it throws as the constructor does).
Code PublicCode(const ::tpc::ProductCode& code);

}  // namespace api
}  // namespace tpc
