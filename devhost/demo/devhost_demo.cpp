// A short tour of the development host: the library's descriptors and
// default descriptions, then the nodes that exist running in a diagram.
#include <cstdio>
#include <exception>

#include "devhost/diagram.h"
#include "devhost/host_blocks.h"
#include "devhost/library.h"
#include "devhost/library_node.h"

int main(int argc, char** argv) {
    try {
        const std::string path = argc > 1 ? argv[1] : devhost::DefaultLibraryPath();
        devhost::Library library(path);
        std::printf("library %s, interface level %u\n\n", path.c_str(), library.interfaceLevel());
        for (size_t i = 0; i < library.nodes().size(); ++i) {
            const devhost::NodeInfo& node = library.nodes()[i];
            std::vector<uint8_t> block = library.defaultBlock(static_cast<int32_t>(i));
            std::printf("[%zu] %s (%s), icon %s, %zu in / %zu out, block of %d bytes\n", i,
                        node.name.c_str(), node.shortName.c_str(), node.iconFile.c_str(),
                        node.inputNames.size(), node.outputNames.size(),
                        library.blockSize(static_cast<int32_t>(i)));
            std::printf("    %s\n", node.description.c_str());
            std::printf("    defaults: %s\n\n",
                        library.describe(static_cast<int32_t>(i), block).c_str());
        }

        // Random bits -> TPCENCODE -> sink, one default block and a bit more.
        devhost::Diagram diagram;
        auto& source = diagram.add<devhost::RandomBitSource>(3249.0, 1);
        auto& encoder = diagram.add<devhost::LibraryNode>(library, "TPCENCODE");
        auto& sink = diagram.add<devhost::Sink>();
        diagram.connect(source, 0, encoder, 0);
        diagram.connect(encoder, 0, sink, 0);
        devhost::RunResult result = diagram.run(4096.0, 3 * 4096);
        if (!result.ok) {
            std::printf("%s failed to start: code %d, \"%s\"\n", result.failedName.c_str(),
                        result.code, result.message.c_str());
            return 1;
        }
        const auto& coded = sink.samples();
        size_t ones = 0;
        for (size_t i = 4096; i < coded.size() && i < 8192; ++i) ones += coded[i].value != 0;
        std::printf("TPCENCODE: %lld source bits in, %zu coded bits out at %.1f samples/s;\n"
                    "           the first block (after 4096 zeros) has %zu ones of 4096\n",
                    static_cast<long long>(source.emitted()), coded.size(),
                    sink.initialInput().rate, ones);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "devhost_demo: %s\n", e.what());
        return 1;
    }
}
