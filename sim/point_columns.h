// The columns of a finished point, in the order of results.csv: one row
// each, from which the CSV and the JSON points are written, results.json is
// read back (--resume, merge), counts are exchanged between ranks and the
// Python result is keyed. A new column is one more row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/results.h"

namespace tpcsim {

struct PointColumn {
    const char* name;       // CSV header, JSON key, Python key
    const char* csvFormat;  // printf format of the CSV cell; nullptr: in results.json only
    // Exactly one of these says where the value lives: a count, a stored
    // number, flag or whole number (read back), or a value derived from them.
    int64_t LinkCounts::*count = nullptr;
    double PointRecord::*number = nullptr;
    bool PointRecord::*flag = nullptr;
    double (*derived)(const PointRecord&) = nullptr;
    // Known only where the block engine ran, which counts the decoder's
    // passes and sees its decisions (PointRecord::passesCounted): an empty
    // cell and null for the nodes engine.
    bool blockEngineOnly = false;
    int64_t PointRecord::*whole = nullptr;
    // In the files only for a run of several pass counts, so that a run of
    // one count writes what it always wrote.
    bool passListOnly = false;
};

const std::vector<PointColumn>& PointColumns();

// Whether the files of a run hold the column; `passList`: the run has
// several pass counts.
inline bool ColumnWritten(const PointColumn& column, bool passList) { return passList || !column.passListOnly; }

// The column's value of a point: a number, a whole number, a flag, or null.
nlohmann::ordered_json ColumnValue(const PointColumn& column, const PointRecord& point);
// The column's CSV cell of a point.
std::string ColumnCell(const PointColumn& column, const PointRecord& point);
// A point of results.json read back; missing counts are 0.
PointRecord PointFromJson(const nlohmann::ordered_json& json);

// The counts of a point as whole numbers in column order, and back: the
// exchange between ranks.
size_t CountColumns();
void PackCounts(const LinkCounts& counts, int64_t* out);
LinkCounts UnpackCounts(const int64_t* in);

}  // namespace tpcsim
