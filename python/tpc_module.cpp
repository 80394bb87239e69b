// The _tpc extension module: the codec API over NumPy arrays. It takes arrays
// of exactly the dtype and layout it needs (tpc/__init__.py converts) and
// works on them in place, with the GIL released while it encodes, decodes or
// looks up. Bad dtypes raise TypeError, bad shapes and parameters ValueError.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <complex>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "api/llr_settings.h"
#include "link/fading.h"
#include "sim/option_table.h"
#include "sim/point_columns.h"
#include "sim/kept_failures.h"
#include "sim/replay.h"
#include "sim/simulate.h"
#include "tpc/tpc.h"

namespace py = pybind11;
using tpc::api::Code;
using tpc::api::Codec;
using tpc::api::DecodeOptions;
using tpc::api::DecoderPath;
using tpc::api::LlrTable;

namespace {

template <class T>
using CArray = py::array_t<T, py::array::c_style>;

// The array as T, C-contiguous, of `dims` dimensions whose last is `width`
// (any width when negative).
template <class T>
CArray<T> Checked(const py::array& array, const char* what, py::ssize_t dims, py::ssize_t width) {
    if (!py::isinstance<CArray<T>>(array)) {
        throw py::type_error(std::string(what) + ": expected a C-contiguous array of " +
                             py::str(py::dtype::of<T>()).cast<std::string>() + ", got " +
                             py::str(array.dtype()).cast<std::string>());
    }
    if (array.ndim() != dims || (width >= 0 && array.shape(dims - 1) != width)) {
        std::string shape;
        for (py::ssize_t d = 0; d < array.ndim(); ++d) {
            shape += (d ? ", " : "") + std::to_string(array.shape(d));
        }
        throw py::value_error(std::string(what) + ": expected " + std::to_string(dims) +
                              " dimensions" +
                              (width >= 0 ? ", the last of " + std::to_string(width) : "") +
                              ", got shape (" + shape + ")");
    }
    return py::reinterpret_borrow<CArray<T>>(array);
}

DecoderPath PathNamed(const std::string& name) {
    for (int32_t p = 0; p <= static_cast<int32_t>(DecoderPath::kFastest); ++p) {
        if (name == tpc::api::DecoderPathName(static_cast<DecoderPath>(p))) {
            return static_cast<DecoderPath>(p);
        }
    }
    throw py::value_error("unknown decoder path '" + name +
                          "'; paths: plain, portable, sse2, avx2, avx512, fastest");
}

// A code with its codec. Python threads may share one object: the lock
// serialises their calls, since a Codec serves one thread at a time.
struct PyCodec {
    explicit PyCodec(const Code& c) : code(c), codec(c) {}
    Code code;
    Codec codec;
    std::mutex lock;
};

py::array_t<uint8_t> Encode(PyCodec& self, const py::array& bits, bool interleave,
                            int32_t threads) {
    const auto info = Checked<uint8_t>(bits, "bits", 2, self.code.K());
    const py::ssize_t blocks = info.shape(0);
    py::array_t<uint8_t> out({blocks, static_cast<py::ssize_t>(self.code.N())});
    const uint8_t* in = info.data();
    uint8_t* code = out.mutable_data();
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> hold(self.lock);
        self.codec.Encode(in, static_cast<size_t>(blocks), code, interleave, threads);
    }
    return out;
}

// (decisions, info, passes) of a batch; decode(codec, values, blocks, targets)
// runs with the GIL released.
template <class T, class DecodeFn>
py::tuple Decode(PyCodec& self, const py::array& values, const DecodeFn& decode) {
    const auto in = Checked<T>(values, "received values", 2, self.code.N());
    const py::ssize_t blocks = in.shape(0);
    py::array_t<uint8_t> decisions({blocks, static_cast<py::ssize_t>(self.code.N())});
    py::array_t<uint8_t> info({blocks, static_cast<py::ssize_t>(self.code.K())});
    py::array_t<int32_t> passes(blocks);
    const tpc::api::DecodeTargets targets{decisions.mutable_data(), info.mutable_data(),
                                          passes.mutable_data()};
    const T* data = in.data();
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> hold(self.lock);
        decode(self.codec, data, static_cast<size_t>(blocks), targets);
    }
    return py::make_tuple(decisions, info, passes);
}

DecodeOptions OptionsOf(int32_t passes, const std::vector<int32_t>& weights, bool selectiveStop,
                        bool deinterleave, int32_t resolution, double quantLimit, int32_t threads,
                        const std::string& path) {
    if (weights.size() != 3) {
        throw py::value_error("weights: expected three (X, Y, Z), got " +
                              std::to_string(weights.size()));
    }
    DecodeOptions o;
    o.passes = passes;
    for (int a = 0; a < 3; ++a) o.weights[a] = weights[a];
    o.selectiveStop = selectiveStop;
    o.deinterleave = deinterleave;
    o.resolution = resolution;
    o.quantLimit = quantLimit;
    o.threads = threads;
    o.path = PathNamed(path);
    return o;
}

// Soft values and LLRs pass no quantiser: its settings keep their defaults.
DecodeOptions SoftOptionsOf(int32_t passes, const std::vector<int32_t>& weights,
                            bool selectiveStop, bool deinterleave, int32_t threads,
                            const std::string& path) {
    const DecodeOptions defaults;
    return OptionsOf(passes, weights, selectiveStop, deinterleave, defaults.resolution,
                     defaults.quantLimit, threads, path);
}

}  // namespace

namespace {

// tpcsim's sweep with the GIL released: `progress` (None or a callable)
// gets a dict about every tenth of a second while a point runs, and a
// pending signal (Ctrl-C) or an exception of `progress` stops the sweep
// after the running work unit and is raised once the finished points are
// saved. Returns (rows, notes): a dict per finished point keyed by the point
// columns, and the sweep's notes for the user. Refusals raise ValueError.
py::tuple Simulate(const std::vector<std::pair<std::string, std::string>>& options, py::object progress) {
    const tpcsim::SimOptions parsed = tpcsim::OptionsFromPairs(options);
    std::atomic<bool> stop{false};
    std::optional<py::error_already_set> raised;
    std::vector<std::string> notes;
    tpcsim::SweepHooks hooks;
    hooks.stop = &stop;
    hooks.progressInterval = 0.1;
    hooks.note = [&notes](const std::string& text) { notes.push_back(text); };
    hooks.progress = [&](const tpcsim::SweepProgress& p) {
        py::gil_scoped_acquire gil;
        if (raised) return;
        try {
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            if (!progress.is_none()) {
                py::dict shown;
                shown["point"] = p.point;
                shown["points"] = p.pointCount;
                shown["ebn0_db"] = p.ebN0Db;
                shown["iterations"] = p.iterations;
                shown["blocks"] = p.progress.counts.blocks;
                shown["bit_errors"] = p.progress.counts.bitErrors;
                shown["block_errors"] = p.progress.counts.blockErrors;
                shown["seconds"] = p.progress.seconds;
                shown["point_seconds_left"] = p.pointSecondsLeft;
                shown["sweep_seconds_left"] = p.sweepSecondsLeft;
                progress(shown);
            }
        } catch (py::error_already_set& e) {
            raised.emplace(std::move(e));
            stop = true;
        }
    };
    tpcsim::RunRecord run;
    std::optional<tpcsim::SweepFailure> failure;
    {
        py::gil_scoped_release release;
        try {
            run = tpcsim::Simulate(parsed, hooks);
        } catch (const tpcsim::SweepFailure& e) {
            failure.emplace(e);
        }
    }
    if (raised) throw *raised;
    if (failure) {
        if (failure->exitCode() == tpcsim::kExitBadOptions) throw py::value_error(failure->what());
        throw std::runtime_error(failure->what());
    }
    py::list rows;
    for (const tpcsim::PointRecord& point : run.points) {
        py::dict row;
        for (const tpcsim::PointColumn& c : tpcsim::PointColumns()) {
            const nlohmann::ordered_json value = tpcsim::ColumnValue(c, point);
            const char* name = c.name;
            if (value.is_null()) {
                row[name] = py::none();
            } else if (value.is_boolean()) {
                row[name] = value.get<bool>();
            } else if (value.is_number_integer()) {
                row[name] = value.get<int64_t>();
            } else {
                row[name] = value.get<double>();
            }
        }
        // Keyed as results.json keys them.
        py::list failures;
        for (const auto& f : tpcsim::FailuresJson(point.failures)) {
            py::dict kept;
            for (const auto& [key, value] : f.items()) {
                kept[py::str(key)] = value.is_boolean() ? py::object(py::bool_(value.get<bool>()))
                                                        : py::object(py::int_(value.get<int64_t>()));
            }
            failures.append(kept);
        }
        row["failures"] = failures;
        rows.append(row);
    }
    return py::make_tuple(rows, notes);
}

template <class T>
py::array_t<T> ArrayOf(const std::vector<T>& values, const std::vector<int64_t>& shape) {
    std::vector<py::ssize_t> extents(shape.begin(), shape.end());
    py::array_t<T> array(extents);
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

// tpcsim replay: the block, what the link made of it, and the summary; the
// files and picture too when `out` is given (a note when the picture is not).
py::dict Replay(const std::string& dir, double ebN0Db, int failure, int64_t iterations, const std::string& out) {
    tpcsim::ReplayedFailure r;
    std::string note;
    try {
        py::gil_scoped_release release;
        r = tpcsim::ReplayFailure(dir, ebN0Db, failure, iterations);
        if (!out.empty()) note = tpcsim::WriteReplay(r, out);
    } catch (const tpcsim::ReplayRefused& e) {
        throw py::value_error(e.what());
    }
    const tpc::link::BlockTrace& t = r.trace;
    const std::vector<int64_t> block = tpcsim::BlockShape(r.code, false);
    py::dict d;
    d["ebn0_db"] = r.ebN0Db;
    d["esn0_db"] = r.esN0Db;
    d["failure"] = r.failure;
    d["unit"] = r.recorded.unit;
    d["block"] = r.recorded.block.block;
    d["unit_seed"] = r.unitSeed;
    d["code"] = r.code.ToString();
    d["information_bits"] = ArrayOf(t.informationBits, tpcsim::BlockShape(r.code, true));
    d["code_bits"] = ArrayOf(t.codeBits, block);
    d["sent_bits"] = ArrayOf(t.sentBits, {static_cast<int64_t>(t.sentBits.size())});
    const int64_t received = static_cast<int64_t>(t.receivedI.size());
    if (t.receivedQ.empty()) {
        d["received"] = ArrayOf(t.receivedI, {received});
    } else {
        py::array_t<std::complex<double>> points(received);
        for (int64_t s = 0; s < received; ++s) {
            points.mutable_data()[s] = {t.receivedI[static_cast<size_t>(s)], t.receivedQ[static_cast<size_t>(s)]};
        }
        d["received"] = points;
    }
    d["decoder_input"] = ArrayOf(t.decoderInput, block);
    d["decisions"] = ArrayOf(t.decisions, block);
    d["decoding_errors"] = ArrayOf(r.decodingErrors, block).attr("astype")("bool");
    d["channel_errors"] = ArrayOf(r.channelErrors, block).attr("astype")("bool");
    d["bit_errors"] = r.bitErrors();
    d["detected"] = r.detected();
    d["passes"] = t.passes;
    d["rows_in_error"] = tpcsim::LinesInError(r.code, r.decodingErrors, 0);
    d["columns_in_error"] = tpcsim::LinesInError(r.code, r.decodingErrors, 1);
    d["recorded"] = py::dict(py::arg("bit_errors") = r.recorded.block.bitErrors,
                             py::arg("detected") = !r.recorded.block.undetected,
                             py::arg("passes") = r.recorded.block.passes);
    d["matches_record"] = r.matchesRecord();
    d["summary"] = tpcsim::ReplaySummary(r);
    d["note"] = note;
    return d;
}

}  // namespace

PYBIND11_MODULE(_tpc, m) {
    m.doc() = "Turbo product codes: the compiled part of the tpc package.";
    m.attr("DEFAULT_LLR_SCALE") = tpc::api::kDefaultLlrScale;
    // C++ std::invalid_argument arrives as ValueError (pybind11's mapping).

    // The decoder's defaults, for the keyword defaults of tpc/__init__.py.
    const DecodeOptions defaults;
    py::dict decodeDefaults;
    decodeDefaults["passes"] = defaults.passes;
    decodeDefaults["weights"] =
        py::make_tuple(defaults.weights[0], defaults.weights[1], defaults.weights[2]);
    decodeDefaults["resolution"] = defaults.resolution;
    decodeDefaults["quant_limit"] = defaults.quantLimit;
    m.attr("decode_defaults") = decodeDefaults;

    py::class_<PyCodec>(m, "Codec")
        .def(py::init([](const std::string& text) { return new PyCodec(Code(text)); }),
             py::arg("text"))
        .def(py::init([](int32_t nx, int32_t kx, int32_t ny, int32_t ky, int32_t nz, int32_t kz) {
                 return new PyCodec(Code(nx, kx, ny, ky, nz, kz));
             }),
             py::arg("nx"), py::arg("kx"), py::arg("ny"), py::arg("ky"), py::arg("nz") = 1,
             py::arg("kz") = 1)
        .def_property_readonly("dims",
                               [](const PyCodec& s) {
                                   const Code& c = s.code;
                                   return py::make_tuple(c.nx(), c.kx(), c.ny(), c.ky(), c.nz(),
                                                         c.kz());
                               })
        .def_property_readonly("text", [](const PyCodec& s) { return s.code.ToString(); })
        .def_property_readonly("fastest_path",
                               [](const PyCodec& s) {
                                   return tpc::api::DecoderPathName(s.codec.FastestPath());
                               })
        .def("encode", &Encode, py::arg("bits"), py::arg("interleave"), py::arg("threads"))
        .def(
            "decode_amplitudes",
            [](PyCodec& self, const py::array& values, int32_t passes,
               const std::vector<int32_t>& weights, bool selectiveStop, bool deinterleave,
               int32_t resolution, double quantLimit, int32_t threads, const std::string& path) {
                const DecodeOptions options = OptionsOf(passes, weights, selectiveStop, deinterleave,
                                                        resolution, quantLimit, threads, path);
                return Decode<double>(self, values, [&](Codec& codec, const double* data,
                                                        size_t blocks, const auto& targets) {
                    codec.DecodeAmplitudes(data, blocks, options, targets);
                });
            },
            py::arg("values"), py::arg("passes"), py::arg("weights"), py::arg("selective_stop"),
            py::arg("deinterleave"), py::arg("resolution"), py::arg("quant_limit"),
            py::arg("threads"), py::arg("path"))
        .def(
            "decode_soft",
            [](PyCodec& self, const py::array& values, int32_t passes,
               const std::vector<int32_t>& weights, bool selectiveStop, bool deinterleave,
               int32_t threads, const std::string& path) {
                const DecodeOptions options =
                    SoftOptionsOf(passes, weights, selectiveStop, deinterleave, threads, path);
                return Decode<int32_t>(self, values, [&](Codec& codec, const int32_t* data,
                                                         size_t blocks, const auto& targets) {
                    codec.DecodeSoftValues(data, blocks, options, targets);
                });
            },
            py::arg("values"), py::arg("passes"), py::arg("weights"), py::arg("selective_stop"),
            py::arg("deinterleave"), py::arg("threads"), py::arg("path"))
        .def(
            "decode_llr",
            [](PyCodec& self, const py::array& values, double scale, int32_t passes,
               const std::vector<int32_t>& weights, bool selectiveStop, bool deinterleave,
               int32_t threads, const std::string& path) {
                const DecodeOptions options =
                    SoftOptionsOf(passes, weights, selectiveStop, deinterleave, threads, path);
                return Decode<double>(self, values, [&](Codec& codec, const double* data,
                                                        size_t blocks, const auto& targets) {
                    codec.DecodeLlrs(data, blocks, scale, options, targets);
                });
            },
            py::arg("values"), py::arg("scale"), py::arg("passes"), py::arg("weights"),
            py::arg("selective_stop"), py::arg("deinterleave"), py::arg("threads"),
            py::arg("path"));

    py::class_<LlrTable>(m, "LlrTable")
        .def(py::init([](const py::array& pointI, const py::array& pointQ, double esNo,
                         double limit) {
                 // Refused under the package's names for them.
                 tpc::api::CheckLlrSettings(esNo, limit, "esno", "limit");
                 const auto i = Checked<double>(pointI, "point I", 1, -1);
                 const auto q = Checked<double>(pointQ, "point Q", 1, -1);
                 tpc::api::Constellation c{std::vector<double>(i.data(), i.data() + i.size()),
                                           std::vector<double>(q.data(), q.data() + q.size())};
                 return new LlrTable(c, esNo, limit);
             }),
             py::arg("point_i"), py::arg("point_q"), py::arg("esno"), py::arg("limit"))
        .def_property_readonly("bits_per_symbol", &LlrTable::BitsPerSymbol)
        .def_property_readonly("esno", &LlrTable::EsNo)
        .def_property_readonly("limit", &LlrTable::Limit)
        .def_property_readonly("point_i",
                               [](const LlrTable& t) { return t.constellation().pointI; })
        .def_property_readonly("point_q",
                               [](const LlrTable& t) { return t.constellation().pointQ; })
        // A read-only view (256, 256, m) that keeps the table alive.
        .def_property_readonly("entries",
                               [](py::object self) {
                                   const LlrTable& t = self.cast<const LlrTable&>();
                                   const py::ssize_t m = t.BitsPerSymbol();
                                   py::array_t<double> view({py::ssize_t{256}, py::ssize_t{256}, m},
                                                            t.Entries().data(), self);
                                   py::detail::array_proxy(view.ptr())->flags &=
                                       ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
                                   return view;
                               })
        .def(
            "lookup",
            [](const LlrTable& t, const py::array& sampleI, const py::array& sampleQ) {
                const auto i = Checked<double>(sampleI, "samples I", 1, -1);
                const auto q = Checked<double>(sampleQ, "samples Q", 1, -1);
                if (i.size() != q.size()) {
                    throw py::value_error("samples: " + std::to_string(i.size()) +
                                          " I values but " + std::to_string(q.size()) + " Q");
                }
                const py::ssize_t count = i.size();
                py::array_t<int32_t> llrs({count, static_cast<py::ssize_t>(t.BitsPerSymbol())});
                const double* in = i.data();
                const double* iq = q.data();
                int32_t* out = llrs.mutable_data();
                {
                    py::gil_scoped_release released;
                    t.Lookup(in, iq, static_cast<size_t>(count), out);
                }
                return llrs;
            },
            py::arg("sample_i"), py::arg("sample_q"));

    m.def(
        "read_constellation",
        [](const std::string& path, int32_t points) {
            const tpc::api::Constellation c = tpc::api::ReadConstellationFile(path, points);
            return py::make_tuple(py::array_t<double>(c.pointI.size(), c.pointI.data()),
                                  py::array_t<double>(c.pointQ.size(), c.pointQ.data()));
        },
        py::arg("path"), py::arg("points"));

    // The columns of a finished point: (name, kind), kind "i" for a count or whole number,
    // "f" for a number, "b" for a flag.
    m.def("point_columns", [] {
        py::list columns;
        for (const tpcsim::PointColumn& c : tpcsim::PointColumns()) {
            columns.append(py::make_tuple(c.name, c.count || c.whole ? "i" : c.flag ? "b" : "f"));
        }
        return columns;
    });

    // tpcsim's option names, without the dashes, for the check of
    // tpc.simulate's keywords.
    m.def("simulate_option_names", [] {
        std::vector<std::string> names;
        for (const tpcsim::OptionRow& row : tpcsim::OptionTable()) names.emplace_back(row.name + 2);
        return names;
    });

    // A fading channel alone (link/fading.h): symbols, complex128 of one
    // dimension, to (gains, received).
    m.def(
        "fading_channel",
        [](const py::array& symbols, double esN0Db, const std::string& channel, double ricianK,
           const std::string& fading, int64_t block, uint64_t seed) {
            const auto x = Checked<std::complex<double>>(symbols, "symbols", 1, -1);
            tpc::link::ChannelModel model;
            model.fading = channel == "rayleigh" ? tpc::link::Fading::kRayleigh
                           : channel == "rician" ? tpc::link::Fading::kRician
                                                 : tpc::link::Fading::kNone;
            if (model.fading == tpc::link::Fading::kNone && channel != "awgn") {
                throw py::value_error("channel must be \"awgn\", \"rayleigh\" or \"rician\", got \"" + channel + "\"");
            }
            if (fading != "fast" && fading != "block") {
                throw py::value_error("fading must be \"fast\" or \"block\", got \"" + fading + "\"");
            }
            if (!(ricianK >= 0) || !std::isfinite(ricianK)) throw py::value_error("rician_k must be a number >= 0");
            if (!std::isfinite(esN0Db)) throw py::value_error("esn0_db must be a finite number");
            model.ricianK = ricianK;
            model.perBlock = fading == "block";
            if (model.perBlock && block < 1) throw py::value_error("block: symbols per gain, at least 1");
            const py::ssize_t count = x.size();
            double energy = 0;
            for (py::ssize_t s = 0; s < count; ++s) energy += std::norm(x.data()[s]);
            energy = energy > 0 ? energy / static_cast<double>(count) : 1.0;
            const double sigma = tpc::link::NoiseSigma(esN0Db, energy);
            CArray<std::complex<double>> gains(count), received(count);
            const double* in = reinterpret_cast<const double*>(x.data());
            double* g = reinterpret_cast<double*>(gains.mutable_data());
            double* y = reinterpret_cast<double*>(received.mutable_data());
            {
                py::gil_scoped_release released;
                tpc::link::ApplyChannel(model, block, sigma, seed, in, count, g, y);
            }
            return py::make_tuple(gains, received);
        },
        py::arg("symbols"), py::arg("esn0_db"), py::arg("channel"), py::arg("rician_k"), py::arg("fading"),
        py::arg("block"), py::arg("seed"));

    m.def("simulate", &Simulate, py::arg("options"), py::arg("progress"));
    m.def("replay", &Replay, py::arg("directory"), py::arg("ebn0_db"), py::arg("failure"), py::arg("iterations"), py::arg("out"));
    m.def("decoder_paths", [] {
        std::vector<std::string> names;
        for (int32_t p = 0; p <= static_cast<int32_t>(DecoderPath::kFastest); ++p) {
            if (tpc::api::DecoderPathAvailable(static_cast<DecoderPath>(p))) {
                names.push_back(tpc::api::DecoderPathName(static_cast<DecoderPath>(p)));
            }
        }
        return names;
    });
}
