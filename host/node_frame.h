// What the three nodes share: the call phases, the time tolerance, the
// offset conversion, error reports and the state record's lifetime.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "code/status.h"
#include "host/allocation.h"
#include "host/records.h"

namespace tpc {

enum class CallPhase { kInit, kFinal, kRun };

// The init flag wins over the final flag: a call with both is an init call.
inline CallPhase PhaseOf(const SystemRecord& system) {
    if (system.isInitCall != 0) return CallPhase::kInit;
    if (system.isFinalCall != 0) return CallPhase::kFinal;
    return CallPhase::kRun;
}

// Every time comparison of a node allows a 1/1024 of a system step.
inline double TimeTolerance(const SystemRecord& system) { return system.timeStep / 1024; }

// True once the event time `t` counts as reached (equality included).
inline bool TimeReached(double t, const SystemRecord& system) {
    return t - TimeTolerance(system) <= system.currentTime;
}

// A start offset in seconds: given in bits it is scaled by the input period.
inline double OffsetInSeconds(double offset, uint32_t inBits, double inputRate) {
    return inBits != 0 ? offset * (1 / inputRate) : offset;
}

// Copies a failure's message with its terminating zero into the host's error
// buffer and returns its code. Every message fits the buffer (see Failure).
inline int32_t ReportError(const SystemRecord& system, const Status& failure) {
    std::strcpy(system.errorText, failure.message);
    return failure.code;
}

// Timing no parameter check covers: a host may hand over a time step, a rate or
// an offset that is not a number, infinite, zero or negative. Every node
// checks these last in its initialisation call, so that each failure of its
// parameter checks keeps its own message and code, and then refuses the run
// with one of these texts rather than running with periods and time stamps
// that mean nothing.
inline constexpr char kTimeStepError[] = "System time step must be a positive finite number";
inline constexpr char kSystemRateError[] = "System rate must be a positive finite number";
inline constexpr char kInputRateError[] = "Input sample rate must be a positive finite number";
inline constexpr char kOffsetError[] =
    "Offset (delay) must be finite, also when converted from bits to seconds";

inline bool IsPositiveFinite(double x) { return std::isfinite(x) && x > 0; }

// A rate whose period is a positive finite number too: rates so small that
// 1 / rate overflows count as zero.
inline bool HasUsablePeriod(double rate) { return IsPositiveFinite(rate) && std::isfinite(1 / rate); }

// The checks every node shares: the system time step and the rate of input
// port 0. A failure carries the node's code for unusable timing.
inline Status CheckTiming(const SystemRecord& system, double inputRate, int32_t code) {
    if (!IsPositiveFinite(system.timeStep)) return Failure(code, kTimeStepError);
    if (!HasUsablePeriod(inputRate)) return Failure(code, kInputRateError);
    return kOk;
}

inline void CopyPortInfo(const PortRecord& from, PortRecord& to) {
    to.portInfo[0] = from.portInfo[0];
    to.portInfo[1] = from.portInfo[1];
    to.portInfo[2] = from.portInfo[2];
}

// Puts one sample on an output port, stamped `time`, with the signal data of
// the input that brought it about.
inline void EmitSample(PortRecord& port, double value, double time, const PortRecord& input) {
    port.value = value;
    port.noSample = 0;
    port.time = time;
    CopyPortInfo(input, port);
}

// Puts `value` on `port` as its sample number `emitted` (from 0), stamped
// emitted * period + phase, and counts it.
inline void EmitNext(PortRecord& port, double value, const PortRecord& input, double& emitted,
                     double period, double phase = 0.0) {
    EmitSample(port, value, emitted * period + phase, input);
    emitted += 1;
}

// Whether `port` takes its next sample in this run call: once the stamp of
// its previous sample is reached, if the node has one `available`. A port
// that takes none is marked as holding no sample.
inline bool TakesSample(PortRecord& port, const SystemRecord& system, bool available = true) {
    if (TimeReached(port.time, system) && available) return true;
    port.noSample = 1;
    return false;
}

inline constexpr char kStateAllocationError[] = "Memory (mem_) allocation error";
inline constexpr char kBufferAllocationError[] = "Memory allocation error";

// The instance's state record: allocated zero-filled on the first init call,
// reused unchanged when the host still holds one. Null when allocation fails.
template <class State>
State* AcquireState(NodeInstance& instance) {
    if (instance.state == nullptr) instance.state = AllocateZeroed(1, sizeof(State));
    return static_cast<State*>(instance.state);
}

// Frees the state record itself (its buffers are the node's to free first).
inline void ReleaseState(NodeInstance& instance) {
    ReleaseAllocation(instance.state);
    instance.state = nullptr;
}

// One node's three phases, each handed the instance's state record.
// `releaseBuffers` frees what the record points to; the frame frees the
// record itself.
template <class State>
struct NodePhases {
    int32_t allocationFailure;  // the node's code when memory runs out
    int32_t (*initialise)(const SystemRecord& system, NodeInstance& instance, State& state);
    void (*run)(const SystemRecord& system, NodeInstance& instance, State& state);
    void (*releaseBuffers)(State& state);
};

// The body of every entry point: init (tested first), final, else run. An
// init call first acquires the state record; run and final calls always
// succeed, and a final call without a state does nothing.
template <class State>
int32_t DispatchNodeCall(SystemRecord& system, NodeInstance& instance,
                         const NodePhases<State>& phases) {
    switch (PhaseOf(system)) {
        case CallPhase::kInit: {
            State* state = AcquireState<State>(instance);
            if (state == nullptr) {
                return ReportError(system,
                                   Failure(phases.allocationFailure, kStateAllocationError));
            }
            return phases.initialise(system, instance, *state);
        }
        case CallPhase::kFinal:
            if (instance.state != nullptr) {
                phases.releaseBuffers(*static_cast<State*>(instance.state));
                ReleaseState(instance);
            }
            return 0;
        case CallPhase::kRun:
            phases.run(system, instance, *static_cast<State*>(instance.state));
            return 0;
    }
    return 0;
}

}  // namespace tpc
