#include "link/link_description.h"

#include <cmath>
#include <stdexcept>

#include "llr/constellation_reader.h"
#include "llr/llr_table.h"

namespace tpc::link {

LinkGeometry GeometryOf(const LinkDescription& description) {
    LinkGeometry g;
    g.infoBits = description.code.K();
    g.codeBits = description.code.N();
    g.bitsPerSymbol = description.constellation.empty() ? 1 : BitsPerSymbol(description.points);
    return g;
}

double EsN0DbFromEbN0Db(double ebN0Db, double codeRate, int bitsPerSymbol) {
    return ebN0Db + 10 * std::log10(codeRate * bitsPerSymbol);
}

double EbN0DbFromEsN0Db(double esN0Db, double codeRate, int bitsPerSymbol) {
    return esN0Db - 10 * std::log10(codeRate * bitsPerSymbol);
}

double NoiseSigma(double esN0Db, double symbolEnergy) {
    const double n0 = symbolEnergy / std::pow(10.0, esN0Db / 10);
    return std::sqrt(n0 / 2);
}

Constellation Constellation::Read(const std::string& path, int points) {
    const bool usable = points >= 2 && points <= kMaxConstellationPoints;
    Constellation c;
    c.i.assign(kMaxConstellationPoints, 0.0);
    c.q.assign(kMaxConstellationPoints, 0.0);
    int32_t openFailed = 0;
    const int32_t read = ReadConstellation(c.i.data(), c.q.data(), usable ? points : 0, path.c_str(), &openFailed);
    if (openFailed == kConstellationFileTooLong) {
        throw std::runtime_error("constellation file " + path + " is longer than " +
                                 std::to_string(kMaxConstellationFileBytes) + " bytes");
    }
    if (openFailed != 0) throw std::runtime_error("cannot open constellation file " + path);
    if (!usable || read < points) {
        throw std::runtime_error("constellation file " + path + " does not hold " + std::to_string(points) +
                                 " points");
    }
    c.i.resize(static_cast<size_t>(points));
    c.q.resize(static_cast<size_t>(points));
    c.bitsPerSymbol = BitsPerSymbol(points);
    return c;
}

double Constellation::averageEnergy() const {
    double sum = 0;
    for (size_t s = 0; s < i.size(); ++s) sum += i[s] * i[s] + q[s] * q[s];
    return i.empty() ? 0 : sum / static_cast<double>(i.size());
}

void RefuseParameters(const char* node, const Status& status) {
    throw std::runtime_error(std::string(node) + " refused its parameters (code " + std::to_string(status.code) +
                             "): " + status.message);
}

const char kLinkMisaligned[] =
    "the decoder does not return the source bits on a noiseless channel: check that "
    "encoder and decoder use the same code and interleaving";

PreparedLink PrepareLink(LinkDescription description) {
    PreparedLink p;
    p.description = std::move(description);
    LinkDescription& s = p.description;
    p.geometry = GeometryOf(s);
    const bool symbols = !s.constellation.empty();
    if (symbols) {
        p.constellation = Constellation::Read(s.constellation, s.points);
        p.symbolEnergy = p.constellation.averageEnergy();
    }
    const double esN0Db = EsN0DbFromEbN0Db(s.ebN0Db, p.geometry.codeRate(), p.geometry.bitsPerSymbol);
    p.sigma = s.noiseless ? 0.0 : NoiseSigma(esN0Db, p.symbolEnergy);
    if (symbols && s.llrEsNoFromChannel) {
        s.llrEsNo = p.symbolEnergy > 0 ? std::pow(10.0, esN0Db / 10) / p.symbolEnergy : 1;
    }
    // The mapper holds m - 1 bits before it emits a symbol: the decoder
    // starts that many samples later, on the first bit of the first block.
    if (symbols && s.decoderOffset == 0) s.decoderOffset = p.geometry.bitsPerSymbol - 1;
    return p;
}

}  // namespace tpc::link
