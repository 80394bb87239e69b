#include "devhost/library.h"

#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace devhost {
namespace {

void* OpenLibrary(const std::string& path) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void CloseLibrary(void* handle) {
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

void* FindSymbol(void* handle, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

std::string LoadError() {
#if defined(_WIN32)
    return "error " + std::to_string(GetLastError());
#else
    const char* e = dlerror();
    return e != nullptr ? e : "unknown error";
#endif
}

std::string Text(const char* s) { return s != nullptr ? s : ""; }

}  // namespace

Library::Library(const std::string& path) : path_(path) {
    handle_ = OpenLibrary(path);
    if (handle_ == nullptr) {
        throw std::runtime_error("cannot load library " + path + ": " + LoadError());
    }
    auto symbol = [&](const char* name) {
        void* address = FindSymbol(handle_, name);
        if (address == nullptr) {
            CloseLibrary(handle_);
            throw std::runtime_error(path + " does not export " + name);
        }
        return address;
    };
    usercode = reinterpret_cast<UsercodeFn>(symbol("USERCODE"));
    parameter = reinterpret_cast<ParameterFn>(symbol("PARAMETER"));
    const NodeFn encoder = reinterpret_cast<NodeFn>(symbol("TPCENCODE"));
    const NodeFn decoder = reinterpret_cast<NodeFn>(symbol("TPCDECODE"));
    const NodeFn llr = reinterpret_cast<NodeFn>(symbol("LLRcalculator"));

    // Ask the library what it offers, with host-owned name arrays.
    NodeDescriptor descriptors[3] = {};
    const char* inputNames[3][4] = {};
    const char* outputNames[3][4] = {};
    for (int i = 0; i < 3; ++i) {
        descriptors[i].inputNames = inputNames[i];
        descriptors[i].outputNames = outputNames[i];
    }
    LibraryDescriptor library{};
    library.nodes = descriptors;
    usercode(&library);
    interfaceLevel_ = library.interfaceLevel;
    for (uint32_t i = 0; i < library.nodeCount && i < 3; ++i) {
        const NodeDescriptor& d = descriptors[i];
        NodeInfo info;
        info.kind = d.nodeKind;
        info.name = Text(d.nodeName);
        info.shortName = Text(d.shortName);
        info.description = Text(d.description);
        info.iconFile = Text(d.iconFile);
        for (uint32_t p = 0; p < d.inputCount && p < 4; ++p) {
            info.inputNames.push_back(Text(inputNames[i][p]));
        }
        for (uint32_t p = 0; p < d.outputCount && p < 4; ++p) {
            info.outputNames.push_back(Text(outputNames[i][p]));
        }
        NodeFn entry = nullptr;
        if (info.name == "TPCENCODE") entry = encoder;
        else if (info.name == "TPCDECODE") entry = decoder;
        else if (info.name == "LLRcalculator") entry = llr;
        else {
            CloseLibrary(handle_);
            throw std::runtime_error(path + " describes node '" + info.name +
                                     "', which has no entry point");
        }
        nodes_.push_back(info);
        nodeEntries_.push_back(entry);
    }
}

Library::~Library() {
    if (handle_ != nullptr) CloseLibrary(handle_);
}

int32_t Library::nodeIndex(const std::string& name) const {
    for (size_t i = 0; i < nodes_.size(); ++i) {
        if (nodes_[i].name == name) return static_cast<int32_t>(i);
    }
    throw std::runtime_error(path_ + " offers no node called " + name);
}

int32_t Library::blockSize(int32_t node) const {
    ParameterRequest request{};
    request.action = 0;
    return parameter(node, &request);
}

std::vector<uint8_t> Library::defaultBlock(int32_t node) const {
    std::vector<uint8_t> block(static_cast<size_t>(blockSize(node)), 0);
    ParameterRequest request{};
    request.action = -1;
    request.block = block.data();
    parameter(node, &request);
    return block;
}

std::string Library::describe(int32_t node, std::vector<uint8_t>& block) const {
    std::vector<char> text(4096, '\0');
    ParameterRequest request{};
    request.action = 2;
    request.block = block.data();
    request.text = text.data();
    parameter(node, &request);
    return text.data();
}

std::string DefaultLibraryPath() {
    if (const char* overridden = std::getenv("TPC_LIBRARY")) {
        if (*overridden != '\0') return overridden;
    }
#if defined(TPC_LIBRARY_PATH)
    return TPC_LIBRARY_PATH;
#else
    return "libtpc.so";
#endif
}

}  // namespace devhost
