// LLRcalculator: turns each received I/Q symbol into m soft bit values,
// looked up in a table built once per run from the constellation file, and
// emits them one per call at m times the symbol rate, bit 0 first.
#include <cstring>

#include "host/entry_points.h"
#include "host/node_frame.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"

namespace tpc {

namespace {

constexpr int32_t kAllocationFailure = 1;
constexpr int32_t kFileError = 8;
constexpr int32_t kUnusableTiming = 10;
constexpr int32_t kMaxPoints = 256;
constexpr int32_t kSymbolLlrEntries = 10;
constexpr Status kUnterminatedFileError =
    Failure(kFileError, "Constellation file name has no terminating zero within its 260 bytes");
constexpr Status kOpenError = Failure(kFileError, "Error opening constellation file");

struct LlrState {
    double* llrTable;
    double* pointI;
    double* pointQ;
    int32_t symbolCount;
    int32_t* symbolLlrs;
    int32_t bitsPerSymbol;
    int32_t gridBits;
    double esNo;
    double gridLimit;
    double emittedCount;
    double outputPeriod;
    int32_t nextLlr;
    double sampleI;
    double sampleQ;
    int32_t* cellRow;
    int32_t* cellColumn;
    const char* fileName;
    int32_t* openFailed;
};

void ReleaseBuffers(LlrState& s) {
    ReleaseBuffer(s.llrTable);
    ReleaseBuffer(s.pointI);
    ReleaseBuffer(s.pointQ);
    ReleaseBuffer(s.symbolLlrs);
    ReleaseBuffer(s.cellRow);
    ReleaseBuffer(s.cellColumn);
    ReleaseBuffer(s.openFailed);
}

int32_t Initialise(const SystemRecord& system, NodeInstance& instance, LlrState& s) {
    const LlrParams& p = *static_cast<const LlrParams*>(instance.params);
    const PortRecord& input = *instance.inputs[0];
    PortRecord& output = instance.outputs[0];

    s.symbolCount = p.numsym;
    s.esNo = p.esno;
    s.gridLimit = p.quantLimit;
    s.fileName = p.file;
    s.gridBits = kGridBits;

    // The table is sized by the constellation, so nonsense sizes are turned
    // away before anything is allocated.
    if (const Status usable = CheckLlrParameters(s.symbolCount, s.gridLimit); !usable.ok()) {
        return ReportError(system, usable);
    }
    s.bitsPerSymbol = BitsPerSymbol(s.symbolCount);

    // A record left from a run without a final call still holds buffers.
    ReleaseBuffers(s);
    if (!AllocateBuffer(s.llrTable, static_cast<size_t>(s.bitsPerSymbol) * kTableCells) ||
        !AllocateBuffer(s.pointI, kMaxPoints) || !AllocateBuffer(s.pointQ, kMaxPoints) ||
        !AllocateBuffer(s.symbolLlrs, kSymbolLlrEntries) || !AllocateBuffer(s.cellRow, 1) ||
        !AllocateBuffer(s.cellColumn, 1) || !AllocateBuffer(s.openFailed, 1)) {
        return ReportError(system, Failure(kAllocationFailure, kBufferAllocationError));
    }

    output.rate = input.rate * s.bitsPerSymbol;
    output.time = input.time;
    CopyPortInfo(input, output);
    s.outputPeriod = 1.0 / output.rate;
    s.nextLlr = 0;
    s.emittedCount = 0.0;
    *s.openFailed = 0;

    // The host's block may lack the terminating zero; the path is then not
    // read at all rather than read past the block.
    if (std::memchr(p.file, '\0', sizeof p.file) == nullptr) {
        return ReportError(system, kUnterminatedFileError);
    }
    ReadConstellation(s.pointI, s.pointQ, s.symbolCount, s.fileName, s.openFailed);
    if (*s.openFailed == 1) {
        return ReportError(system, kOpenError);
    }
    const Status table = BuildLlrTable(s.pointI, s.pointQ, s.llrTable, s.symbolCount,
                                       s.gridLimit, s.gridBits, s.esNo);
    if (!table.ok()) return ReportError(system, table);
    // Last, so that every failure above keeps its code: the values those
    // checks let through but no run can use (see host/node_frame.h).
    if (const Status timing = CheckTiming(system, input.rate, kUnusableTiming); !timing.ok()) {
        return ReportError(system, timing);
    }
    if (!HasUsablePeriod(output.rate)) {
        return ReportError(system, Failure(kUnusableTiming, kInputRateError));
    }
    return 0;
}

void Run(const SystemRecord& system, NodeInstance& instance, LlrState& s) {
    const PortRecord& inputI = *instance.inputs[0];
    const PortRecord& inputQ = *instance.inputs[1];
    PortRecord& output = instance.outputs[0];

    if (inputI.noSample == 0) {
        // I and Q travel together: Q's own flag is not consulted.
        s.sampleI = inputI.value;
        s.sampleQ = inputQ.value;
        LocateReceivedCell(s.sampleI, s.sampleQ, s.gridLimit, s.cellRow, s.cellColumn);
        FetchSymbolLlrs(s.bitsPerSymbol, *s.cellRow, *s.cellColumn, s.symbolLlrs, s.llrTable);
        s.nextLlr = 0;
    }

    if (TakesSample(output, system)) {
        // Past the ten stored values (more emissions than bits between two
        // symbols) the output carries 0.0, as the unused entries do.
        const double value = s.nextLlr < kSymbolLlrEntries ? s.symbolLlrs[s.nextLlr] : 0.0;
        if (s.nextLlr < kSymbolLlrEntries) ++s.nextLlr;
        EmitNext(output, value, inputI, s.emittedCount, s.outputPeriod);
    }
}

constexpr NodePhases<LlrState> kPhases{kAllocationFailure, Initialise, Run, ReleaseBuffers};

}  // namespace

}  // namespace tpc

extern "C" int32_t LLRcalculator(SystemRecord* system, NodeInstance* instance) {
    return tpc::DispatchNodeCall(*system, *instance, tpc::kPhases);
}
