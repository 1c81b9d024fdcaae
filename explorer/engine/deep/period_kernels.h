// Whole periods of the reference crossed by many pixels at once in vector
// lanes: the table's run from Z_1 to the orbit's end, then the rebase and
// the step from Z_0, as the scalar path takes them, bit for bit. Pure
// functions of their inputs; any number of threads may call them.
#pragma once

#include <cstdint>

#include "explorer/engine/escape.h"

namespace explorer::deep {

// What every lane's period reads: Z_1, the orbit's last value, and the
// table's run over the whole orbit (dz <- a dz + b dc while |dz|^2 < r2).
struct PeriodConstants {
    double z1Re, z1Im, lastRe, lastIm, aRe, aIm, radius2;
};

// The lanes' pixels at the start of a period (at Z_1): dz, dc, b dc (as the
// scalar path rounds it), the periods crossed so far and how many the lane
// may cross before the iteration limit comes within reach (whole numbers).
struct PeriodLanes {
    static constexpr int Max = 32;
    alignas(64) double dzRe[Max], dzIm[Max], dcRe[Max], dcIm[Max];
    alignas(64) double bdcRe[Max], bdcIm[Max], periods[Max], periodLimit[Max];
};

// How many lanes each instruction set's kernel runs.
constexpr int PeriodLanesAvx512 = 32;
constexpr int PeriodLanesOther = 16;
int periodLaneCount(engine::Isa isa);

// Crosses whole periods in the lanes of `live` (bit i: lane i) until one of
// them stops or `looks` looks have passed; returns the lanes that stopped.
// A lane stops before a period it cannot cross as the scalar path would in
// one run (escape, rebase at Z_1, the run's radius, the period limit), and
// keeps its dz and periods as they were at that period's start.
std::uint64_t crossPeriods(engine::Isa isa, const PeriodConstants& k, PeriodLanes& lanes,
                           std::uint64_t live, int looks);

} // namespace explorer::deep
