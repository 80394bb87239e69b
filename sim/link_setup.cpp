#include "sim/link_setup.h"


namespace tpcsim {

devhost::LinkConfig MakeLinkConfig(const SimOptions& o, const devhost::LinkConfig& defaults,
                                   double ebN0Db) {
    devhost::LinkConfig c = defaults;
    EncoderParams& e = c.encoder;
    DecoderParams& d = c.decoder;
    e.nx = d.nx = o.nx;
    e.ny = d.ny = o.ny;
    e.nz = d.nz = o.nz;
    e.kx = d.kx = o.kx;
    e.ky = d.ky = o.ky;
    e.kz = d.kz = o.kz;
    // Offsets are counted in bits: the flag pair says so.
    e.inBits = d.inBits = 1;
    e.inSeconds = d.inSeconds = 0;
    e.delay = o.encoderOffset;
    e.threshold = o.threshold;
    e.interleave = o.interleave ? 1 : 0;
    d.deinter = o.interleave ? 1 : 0;
    d.iterations = o.iterations;
    d.NUMX = o.weights[0];
    d.NUMY = o.weights[1];
    d.NUMZ = o.weights[2];
    d.selectstp = o.selectiveStop ? 1 : 0;
    d.resolution = o.resolution;
    d.quantLimit = o.quantLimit;
    d.delay = o.offset;
    // The link picks BPSK or higher-order input from the constellation.
    d.bpsk = 1;
    d.higherOrderMod = 0;
    c.constellation = o.constellation;
    if (!o.constellation.empty()) {
        c.llr.numsym = o.points;
        c.llr.quantLimit = o.llrLimit;
        c.llr.res = o.llrResolution;
        c.llrEsNoFromChannel = !o.llrEsNoFixed;
        if (o.llrEsNoFixed) c.llr.esno = o.llrEsNo;
    }
    c.ebN0Db = ebN0Db;
    c.noiseless = false;
    return c;
}

std::unique_ptr<UnitRunner> MakeRunner(const SimOptions& options, const devhost::Library& library,
                                       const devhost::LinkConfig& config) {
    if (options.engine == "nodes") return std::make_unique<LinkRunner>(library, config);
    return std::make_unique<BlockRunner>(config);
}

devhost::LinkGeometry GeometryOfOptions(const SimOptions& options) {
    return devhost::GeometryOf(MakeLinkConfig(options, devhost::LinkConfig{}, 0));
}

std::vector<double> SweepEbN0(const SimOptions& options) {
    std::vector<double> points = ParseSweep(options.sweep);
    if (options.sweepIsEsN0) {
        const devhost::LinkGeometry g = GeometryOfOptions(options);
        for (double& p : points) p = devhost::EbN0DbFromEsN0Db(p, g.codeRate(), g.bitsPerSymbol);
    }
    return points;
}

}  // namespace tpcsim
