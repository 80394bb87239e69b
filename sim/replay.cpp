#include "sim/replay.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "sim/link_setup.h"
#include "sim/npy_file.h"
#include "sim/plot_script.h"
#include "sim/result_store.h"
#include "sim/text_format.h"

namespace tpcsim {

namespace fs = std::filesystem;

namespace {

constexpr char kUsage[] =
    "usage: tpcsim replay DIR --point EBN0 --failure N [--iterations P] [--out DIR2]\n"
    "  regenerates the N-th failing block (from 1) that a run with --keep-failures kept at the point\n"
    "  EBN0 (dB) of DIR, prints its summary and writes its bits, values and error picture into DIR2\n"
    "  (default DIR/replay-EBN0-N); --iterations picks the pass count of a run of several\n";

std::string PointList(const std::vector<PointRecord>& points) {
    std::string list;
    for (const PointRecord& p : points) list += (list.empty() ? "" : ", ") + Format("%.2f", p.ebN0Db);
    return list.empty() ? "none" : list;
}

std::string CountList(const std::vector<int32_t>& counts) {
    std::string list;
    for (const int32_t c : counts) list += (list.empty() ? "" : ",") + std::to_string(c);
    return list;
}

std::string TitleOf(const ReplayedFailure& r) {
    return Format("failure %d at Eb/N0 %.2f dB, code %s: %lld information bit errors, %s, %d passes", r.failure,
                  r.ebN0Db, r.code.ToString().c_str(), static_cast<long long>(r.bitErrors()),
                  r.detected() ? "detected" : "undetected", r.trace.passes);
}

int64_t Count(const std::vector<uint8_t>& flags) {
    int64_t count = 0;
    for (uint8_t flag : flags) count += flag;
    return count;
}

// Layer z of `errors` as a gnuplot data block, rows of x.
std::string DataBlock(const std::string& name, const tpc::ProductCode& code, const std::vector<uint8_t>& errors,
                      int32_t z) {
    std::string block = "$" + name + " << EOD\n";
    for (int32_t y = 0; y < code.ny; ++y) {
        for (int32_t x = 0; x < code.nx; ++x) {
            block += errors[static_cast<size_t>(code.PlaneSize() * z + code.nx * y + x)] ? "1" : "0";
            block += x + 1 < code.nx ? " " : "\n";
        }
    }
    return block + "EOD\n";
}

int64_t LayerCount(const tpc::ProductCode& code, const std::vector<uint8_t>& errors, int32_t z) {
    int64_t count = 0;
    for (int32_t e = 0; e < code.PlaneSize(); ++e) count += errors[static_cast<size_t>(code.PlaneSize() * z + e)];
    return count;
}

// One pair of panels per Z layer: the errors left after decoding, and the
// channel's hard-decision errors that the decoder started from. Dashed
// lines part the information bits (left, above) from the parity.
std::string ErrorPatternScript(const ReplayedFailure& r) {
    const tpc::ProductCode& code = r.code;
    const int32_t layers = code.nz;
    const int pairsPerRow = layers > 1 ? 2 : 1;
    const int rows = (layers + pairsPerRow - 1) / pairsPerRow;
    const int panel = layers > 1 ? 320 : 460;
    std::string script = "# Made by tpcsim replay; run `gnuplot error_pattern.gp` in this directory to redraw.\n";
    script += Format("set terminal pngcairo size %d,%d font 'sans,10'\nset output 'error_pattern.png'\n",
                     2 * pairsPerRow * panel, rows * panel + 90);
    for (int32_t z = 0; z < layers; ++z) {
        script += DataBlock(Format("decoded%d", z), code, r.decodingErrors, z);
        script += DataBlock(Format("channel%d", z), code, r.channelErrors, z);
    }
    script += Format("set multiplot layout %d,%d title '%s' font ',11'\n", rows, 2 * pairsPerRow, TitleOf(r).c_str());
    script += "unset colorbox\nset cbrange [0:1]\nset size ratio -1\nset tics out font ',8'\n";
    script += Format("set xrange [-0.5:%d.5]\nset yrange [%d.5:-0.5]\n", code.nx - 1, code.ny - 1);
    script += "set xlabel 'x'\nset ylabel 'y'\nset key below horizontal font ',9'\n";
    script += Format("set arrow 1 from first %d.5, graph 0 to first %d.5, graph 1 nohead dt 2 lc rgb 'gray50' front\n",
                     code.kx - 1, code.kx - 1);
    script += Format("set arrow 2 from graph 0, first %d.5 to graph 1, first %d.5 nohead dt 2 lc rgb 'gray50' front\n",
                     code.ky - 1, code.ky - 1);
    struct Panel {
        const char* data;
        const char* colour;
        const char* legend;
        const char* counted;
        const char* countedShort;  // beside a layer's name, in a narrower panel
        const std::vector<uint8_t>* errors;
    };
    const Panel panels[] = {
        {"decoded", "#c01010", "error after decoding", "errors after decoding", "after decoding", &r.decodingErrors},
        {"channel", "#1040a0", "channel hard-decision error", "channel hard-decision errors", "in the channel",
         &r.channelErrors}};
    for (int32_t z = 0; z < layers; ++z) {
        const std::string layer =
            code.ThreeDimensional() ? Format("z = %d%s: ", z, z >= code.kz ? " (parity)" : "") : "";
        for (const Panel& p : panels) {
            script += Format("set palette defined (0 'white', 1 '%s')\n", p.colour);
            script += Format("set title '%s%lld %s'\n", layer.c_str(),
                             static_cast<long long>(LayerCount(code, *p.errors, z)),
                             code.ThreeDimensional() ? p.countedShort : p.counted);
            script += Format("plot $%s%d matrix with image notitle, NaN with boxes fs solid lc rgb '%s' title '%s'\n",
                             p.data, z, p.colour, p.legend);
        }
    }
    return script + "unset multiplot\n";
}

std::string BlockCsv(const ReplayedFailure& r) {
    const tpc::ProductCode& code = r.code;
    std::string csv = "x,y,z,code_bit,decoder_input,decision,decoding_error,channel_error\n";
    for (int32_t e = 0; e < code.N(); ++e) {
        const size_t i = static_cast<size_t>(e);
        csv += Format("%d,%d,%d,%d,%d,%d,%d,%d\n", e % code.nx, e / code.nx % code.ny, e / code.PlaneSize(),
                      r.trace.codeBits[i], r.trace.decoderInput[i], r.trace.decisions[i], r.decodingErrors[i],
                      r.channelErrors[i]);
    }
    return csv;
}

std::string InformationCsv(const ReplayedFailure& r) {
    const tpc::ProductCode& code = r.code;
    std::string csv = "x,y,z,bit\n";
    for (int32_t t = 0; t < code.K(); ++t) {
        csv += Format("%d,%d,%d,%d\n", t % code.kx, t / code.kx % code.ky, t / (code.kx * code.ky),
                      r.trace.informationBits[static_cast<size_t>(t)]);
    }
    return csv;
}

// The channel's output in the order it was sent: BPSK amplitudes beside the
// code bits they carry, or the received points of the symbols.
std::string ReceivedCsv(const ReplayedFailure& r) {
    const tpc::link::BlockTrace& t = r.trace;
    const bool bpsk = t.receivedQ.empty();
    std::string csv = bpsk ? "index,sent_bit,amplitude\n" : "index,i,q\n";
    for (size_t s = 0; s < t.receivedI.size(); ++s) {
        csv += bpsk ? Format("%zu,%d,%.17g\n", s, t.sentBits[s], t.receivedI[s])
                    : Format("%zu,%.17g,%.17g\n", s, t.receivedI[s], t.receivedQ[s]);
    }
    return csv;
}

}  // namespace

std::vector<int64_t> BlockShape(const tpc::ProductCode& code, bool information) {
    const int64_t x = information ? code.kx : code.nx, y = information ? code.ky : code.ny;
    const int64_t z = information ? code.kz : code.nz;
    if (!code.ThreeDimensional()) return {y, x};
    return {z, y, x};
}

bool ReplayedFailure::matchesRecord() const {
    return bitErrors() == recorded.block.bitErrors && detected() == !recorded.block.undetected &&
           trace.passes == recorded.block.passes;
}

ReplayedFailure ReplayFailure(const std::string& dir, double ebN0Db, int failure, int64_t iterations) {
    StoredRun stored;
    SimOptions options;
    try {
        stored = ReadStoredRun(dir);
        options = OptionsOfRun(dir);
    } catch (const std::exception& e) {
        throw ReplayRefused(e.what());
    }
    if (stored.seeds.size() > 1) {
        throw ReplayRefused(dir + " pools runs of seeds " + SeedList(stored.seeds) +
                            ": its blocks come from several seeds; replay one of the runs");
    }
    const PointRecord* point = nullptr;
    // An Es/N0 sweep's points are also found by the value they were swept at.
    const bool severalCounts = options.iterations.size() > 1;
    if (severalCounts && iterations < 0) {
        throw ReplayRefused(Format("%s ran pass counts %s: name one with --iterations", dir.c_str(),
                                   CountList(options.iterations).c_str()));
    }
    for (const PointRecord& p : stored.points) {
        if (iterations >= 0 && p.iterations != iterations) continue;
        if (PointKey(p.ebN0Db) == PointKey(ebN0Db) || PointKey(SweptValue(p, options.sweepIsEsN0)) == PointKey(ebN0Db)) {
            point = &p;
        }
    }
    if (point == nullptr && iterations >= 0 &&
        std::find(options.iterations.begin(), options.iterations.end(), iterations) == options.iterations.end()) {
        throw ReplayRefused(Format("--iterations %lld: %s ran pass counts %s", static_cast<long long>(iterations),
                                   dir.c_str(), CountList(options.iterations).c_str()));
    }
    if (point == nullptr) {
        throw ReplayRefused(Format("no point at %.2f dB in %s (its points: %s dB)", ebN0Db, dir.c_str(),
                                   PointList(stored.points).c_str()));
    }
    const int kept = static_cast<int>(point->failures.size());
    if (kept == 0) {
        throw ReplayRefused(Format("the point at %.2f dB in %s kept no failing block (run it with --keep-failures N)",
                                   point->ebN0Db, dir.c_str()));
    }
    if (failure < 1 || failure > kept) {
        throw ReplayRefused(Format("--failure %d: the point at %.2f dB kept %d failing block%s (1 ... %d)", failure,
                                   point->ebN0Db, kept, kept == 1 ? "" : "s", kept));
    }
    ReplayedFailure r;
    r.ebN0Db = point->ebN0Db;
    r.esN0Db = point->esN0Db;
    r.failure = failure;
    r.recorded = point->failures[static_cast<size_t>(failure - 1)];
    if (r.recorded.unit < 0 || r.recorded.block.block < 0 || r.recorded.block.block >= options.batch) {
        throw ReplayRefused(Format("failure %d of the point at %.2f dB names block %lld of unit %lld, which a run of "
                                   "%lld blocks a unit does not have",
                                   failure, point->ebN0Db, static_cast<long long>(r.recorded.block.block),
                                   static_cast<long long>(r.recorded.unit), static_cast<long long>(options.batch)));
    }
    r.unitSeed =
        UnitSeed(options.seed, PointKey(SweptValue(*point, options.sweepIsEsN0)), static_cast<uint64_t>(r.recorded.unit));
    try {
        // The block engine regenerates a run of either engine: they draw the same streams.
        tpc::link::BlockEngine engine(MakeLinkDescription(options, point->ebN0Db, static_cast<int32_t>(point->iterations)));
        r.code = engine.description().code;
        r.trace = engine.trace(r.unitSeed, r.recorded.block.block);
    } catch (const std::exception& e) {
        throw ReplayRefused(std::string("the run's link: ") + e.what());
    }
    const size_t n = static_cast<size_t>(r.code.N());
    r.decodingErrors.resize(n);
    r.channelErrors.resize(n);
    for (size_t e = 0; e < n; ++e) {
        r.decodingErrors[e] = (r.trace.decisions[e] != 0) != (r.trace.codeBits[e] != 0);
        r.channelErrors[e] = (r.trace.decoderInput[e] > 0) != (r.trace.codeBits[e] != 0);
    }
    return r;
}

int64_t LinesInError(const tpc::ProductCode& code, const std::vector<uint8_t>& errors, int axis) {
    const int32_t extent[3] = {code.nx, code.ny, code.nz};
    const int32_t stride[3] = {1, code.nx, code.PlaneSize()};
    // The two other axes span the lines.
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    int64_t lines = 0;
    for (int32_t i = 0; i < extent[a]; ++i) {
        for (int32_t j = 0; j < extent[b]; ++j) {
            bool wrong = false;
            for (int32_t k = 0; k < extent[axis] && !wrong; ++k) {
                wrong = errors[static_cast<size_t>(i * stride[a] + j * stride[b] + k * stride[axis])] != 0;
            }
            lines += wrong;
        }
    }
    return lines;
}

std::string ReplaySummary(const ReplayedFailure& r) {
    const tpc::ProductCode& code = r.code;
    const KeptFailure& kept = r.recorded;
    std::string text = Format("failure %d at Eb/N0 %.2f dB (Es/N0 %.2f dB): unit %lld, block %lld, unit seed %llu\n",
                              r.failure, r.ebN0Db, r.esN0Db, static_cast<long long>(kept.unit),
                              static_cast<long long>(kept.block.block), static_cast<unsigned long long>(r.unitSeed));
    text += Format("code %s: K = %d, N = %d\n", code.ToString().c_str(), code.K(), code.N());
    text += Format("information bit errors   %6lld of %d   (recorded %lld)\n", static_cast<long long>(r.bitErrors()),
                   code.K(), static_cast<long long>(kept.block.bitErrors));
    const int64_t rows = LinesInError(code, r.decodingErrors, 0);
    const int64_t columns = LinesInError(code, r.decodingErrors, 1);
    text += Format("code bits wrong, decoded %6lld of %d   in %lld of %d rows (x), %lld of %d columns (y)",
                   static_cast<long long>(Count(r.decodingErrors)), code.N(), static_cast<long long>(rows),
                   code.ny * code.nz, static_cast<long long>(columns), code.nx * code.nz);
    if (code.ThreeDimensional()) {
        text += Format(", %lld of %d z lines", static_cast<long long>(LinesInError(code, r.decodingErrors, 2)),
                       code.PlaneSize());
    }
    text += Format("\ncode bits wrong, channel %6lld of %d   (hard decisions on the decoder's input)\n",
                   static_cast<long long>(Count(r.channelErrors)), code.N());
    text += Format("detected                 %6s          (recorded %s)%s\n", r.detected() ? "yes" : "no",
                   kept.block.undetected ? "no" : "yes",
                   r.detected() ? "" : ": the decisions form another code word");
    text += Format("decoder passes           %6d          (recorded %d)\n", r.trace.passes, kept.block.passes);
    text += r.matchesRecord() ? "regenerated as recorded\n"
                              : "NOT as recorded: the link or the library changed since the run\n";
    return text;
}

std::string WriteReplay(const ReplayedFailure& r, const std::string& dir) {
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) throw std::runtime_error("cannot create " + dir);
    const fs::path d(dir);
    const tpc::link::BlockTrace& t = r.trace;
    ReplaceFile(d / "summary.txt", ReplaySummary(r));
    ReplaceFile(d / "information_bits.csv", InformationCsv(r));
    ReplaceFile(d / "block.csv", BlockCsv(r));
    ReplaceFile(d / "received.csv", ReceivedCsv(r));
    const std::vector<int64_t> block = BlockShape(r.code, false);
    WriteNpy((d / "information_bits.npy").string(), BlockShape(r.code, true), t.informationBits.data());
    WriteNpy((d / "code_bits.npy").string(), block, t.codeBits.data());
    WriteNpy((d / "decoder_input.npy").string(), block, t.decoderInput.data());
    WriteNpy((d / "decisions.npy").string(), block, t.decisions.data());
    const int64_t received = static_cast<int64_t>(t.receivedI.size());
    if (t.receivedQ.empty()) {
        WriteNpy((d / "received.npy").string(), {received}, t.receivedI.data());
    } else {
        std::vector<double> points;
        for (size_t s = 0; s < t.receivedI.size(); ++s) {
            points.push_back(t.receivedI[s]);
            points.push_back(t.receivedQ[s]);
        }
        WriteNpy((d / "received.npy").string(), {received, 2}, points.data());
    }
    ReplaceFile(d / "error_pattern.gp", ErrorPatternScript(r));
    return RunGnuplot(dir, "error_pattern.gp", "gnuplot.log");
}

int RunReplayCommand(const std::vector<std::string>& args) {
    std::string dir, out, pointText, failureText, iterationsText;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") return std::fputs(kUsage, stdout) < 0;
        std::string* value = a == "--point"        ? &pointText
                             : a == "--failure"    ? &failureText
                             : a == "--iterations" ? &iterationsText
                             : a == "--out"        ? &out
                                                   : nullptr;
        if (value != nullptr && i + 1 < args.size()) {
            *value = args[++i];
        } else if (value == nullptr && dir.empty() && a.rfind("-", 0) != 0) {
            dir = a;
        } else {
            std::fprintf(stderr, "tpcsim replay: unexpected argument %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    char* pointEnd = nullptr;
    char* failureEnd = nullptr;
    const double ebN0Db = std::strtod(pointText.c_str(), &pointEnd);
    const long failure = std::strtol(failureText.c_str(), &failureEnd, 10);
    if (dir.empty() || pointText.empty() || *pointEnd != '\0' || failureText.empty() || *failureEnd != '\0') {
        std::fprintf(stderr, "tpcsim replay: give DIR, --point EBN0 and --failure N\n%s", kUsage);
        return 2;
    }
    char* iterationsEnd = nullptr;
    const long iterations = iterationsText.empty() ? -1 : std::strtol(iterationsText.c_str(), &iterationsEnd, 10);
    if (!iterationsText.empty() && (*iterationsEnd != '\0' || iterations < 0)) {
        std::fprintf(stderr, "tpcsim replay: --iterations takes a pass count of the run\n%s", kUsage);
        return 2;
    }
    ReplayedFailure replay;
    try {
        replay = ReplayFailure(dir, ebN0Db, static_cast<int>(failure), iterations);
    } catch (const ReplayRefused& e) {
        std::fprintf(stderr, "tpcsim replay: %s\n", e.what());
        return 2;
    }
    if (out.empty()) out = (fs::path(dir) / Format("replay-%.2f-%d", replay.ebN0Db, replay.failure)).string();
    std::fputs(ReplaySummary(replay).c_str(), stdout);
    try {
        const std::string note = WriteReplay(replay, out);
        if (!note.empty()) std::fprintf(stderr, "tpcsim replay: %s\n", note.c_str());
        std::printf("wrote %s: summary.txt, block.csv, information_bits.csv, received.csv, *.npy%s\n", out.c_str(),
                    note.empty() ? ", error_pattern.png" : "");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim replay: %s\n", e.what());
        return 1;
    }
    return replay.matchesRecord() ? 0 : 1;
}

}  // namespace tpcsim
