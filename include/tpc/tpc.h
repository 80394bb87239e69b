// The codec library's public interface: product codes, batch encoding and
// decoding, LLR tables. Link with tpc::codec (find_package(tpc)).
#pragma once

#include "tpc/code.h"
#include "tpc/codec.h"
#include "tpc/llr_table.h"
