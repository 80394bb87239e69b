#include "sim/link_setup.h"

#include "sim/option_table.h"

namespace tpcsim {

tpc::link::LinkDescription MakeLinkDescription(const SimOptions& o, double ebN0Db, int32_t passes) {
    tpc::link::LinkDescription s;
    s.code = tpc::ProductCode{o.nx, o.kx, o.ny, o.ky, o.nz, o.kz};
    s.threshold = o.threshold;
    s.interleave = o.interleave;
    s.encoderOffset = o.encoderOffset;
    s.decoderOffset = o.offset;
    s.decoder.iterations = passes;
    for (int axis = 0; axis < 3; ++axis) s.decoder.weights[axis] = o.weights[axis];
    s.decoder.selectiveStop = o.selectiveStop;
    s.resolution = o.resolution;
    s.quantLimit = o.quantLimit;
    s.constellation = o.constellation;
    if (!o.constellation.empty()) {
        s.points = o.points;
        s.llrLimit = o.llrLimit;
        s.llrResolution = o.llrResolution;
        s.llrEsNoFromChannel = !o.llrEsNoFixed;
        if (o.llrEsNoFixed) s.llrEsNo = o.llrEsNo;
    }
    s.channel.fading = o.channel == "rayleigh" ? tpc::link::Fading::kRayleigh
                       : o.channel == "rician" ? tpc::link::Fading::kRician
                                               : tpc::link::Fading::kNone;
    s.channel.ricianK = o.ricianK;
    s.channel.perBlock = o.fading == "block";
    s.channel.exactLlrs = o.llr == "exact";
    s.ebN0Db = ebN0Db;
    return s;
}

tpc::link::LinkGeometry GeometryOfOptions(const SimOptions& options) {
    return tpc::link::GeometryOf(MakeLinkDescription(options, 0, options.iterations.front()));
}

std::vector<double> SweepEbN0(const SimOptions& options) {
    std::vector<double> points = ParseSweep(options.sweep);
    if (options.sweepIsEsN0) {
        const tpc::link::LinkGeometry g = GeometryOfOptions(options);
        for (double& p : points) p = tpc::link::EbN0DbFromEsN0Db(p, g.codeRate(), g.bitsPerSymbol);
    }
    return points;
}

}  // namespace tpcsim
