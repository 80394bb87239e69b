// A tpc library loaded by path, so that the development host always goes
// through the real exported entry points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/records.h"

namespace devhost {

using UsercodeFn = void (*)(LibraryDescriptor*);
using ParameterFn = int32_t (*)(int32_t, ParameterRequest*);
using NodeFn = int32_t (*)(SystemRecord*, NodeInstance*);

// What USERCODE said about one node, copied out of the host records.
struct NodeInfo {
    uint32_t kind = 0;
    std::string name;
    std::string shortName;
    std::string description;
    std::string iconFile;
    std::vector<std::string> inputNames;   // empty strings where none was stored
    std::vector<std::string> outputNames;
};

class Library {
public:
    // Loads the library at `path`; throws std::runtime_error when the file or
    // one of the five entry points is missing, or when USERCODE describes a
    // node other than the three whose entry points it exports.
    explicit Library(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const std::string& path() const { return path_; }
    uint32_t interfaceLevel() const { return interfaceLevel_; }
    const std::vector<NodeInfo>& nodes() const { return nodes_; }
    // Index of the node called `name`; throws when there is none.
    int32_t nodeIndex(const std::string& name) const;

    // PARAMETER action 0: the size of the node's parameter block.
    int32_t blockSize(int32_t node) const;
    // A block filled with the node's defaults (PARAMETER action -1; the
    // dialog that follows is not available here and its result is ignored).
    std::vector<uint8_t> defaultBlock(int32_t node) const;
    // PARAMETER action 2 on `block`.
    std::string describe(int32_t node, std::vector<uint8_t>& block) const;

    UsercodeFn usercode = nullptr;
    ParameterFn parameter = nullptr;
    NodeFn nodeEntry(int32_t node) const { return nodeEntries_[node]; }

private:
    void* handle_ = nullptr;
    std::string path_;
    uint32_t interfaceLevel_ = 0;
    std::vector<NodeInfo> nodes_;
    std::vector<NodeFn> nodeEntries_;
};

// The library the build made, or $TPC_LIBRARY when it is set.
std::string DefaultLibraryPath();

}  // namespace devhost
