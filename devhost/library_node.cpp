#include "devhost/library_node.h"

namespace devhost {

LibraryNode::LibraryNode(const Library& library, const std::string& nodeName)
    : Block(nodeName,
            static_cast<int>(library.nodes()[static_cast<size_t>(library.nodeIndex(nodeName))]
                                 .inputNames.size()),
            static_cast<int>(library.nodes()[static_cast<size_t>(library.nodeIndex(nodeName))]
                                 .outputNames.size())),
      library_(library),
      index_(library.nodeIndex(nodeName)),
      entry_(library.nodeEntry(index_)),
      block_(library.defaultBlock(index_)) {
    for (PortRecord& p : inputs_) inputPointers_.push_back(&p);
    instance_.inputs = inputPointers_.data();
    instance_.outputs = outputs_.data();
    instance_.params = block_.data();
}

LibraryNode::~LibraryNode() {
    // A node left initialised (a run that was abandoned) still owns memory.
    if (instance_.state != nullptr) {
        SystemRecord system{};
        char errorText[256] = {};
        system.errorText = errorText;
        system.isFinalCall = 1;
        entry_(&system, &instance_);
    }
}

InitStatus LibraryNode::init(SystemRecord& system) {
    instance_.params = block_.data();
    InitStatus status;
    status.code = entry_(&system, &instance_);
    if (status.code != 0) status.message = system.errorText;
    return status;
}

void LibraryNode::run(SystemRecord& system) { entry_(&system, &instance_); }

void LibraryNode::finish(SystemRecord& system) { entry_(&system, &instance_); }

}  // namespace devhost
