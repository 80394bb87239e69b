#include "llr/constellation_reader.h"

#include <cstdio>

namespace tpc {

int32_t ReadConstellation(double* pointI, double* pointQ, int32_t M, const char* fileName,
                          int32_t* openFailed) {
    std::FILE* file = fileName != nullptr ? std::fopen(fileName, "r") : nullptr;
    if (file == nullptr) {
        *openFailed = 1;
        return 0;
    }
    // The arrays end after 256 points whatever numsym says.
    const int32_t count = M < 0 ? 0 : (M > kMaxConstellationPoints ? kMaxConstellationPoints : M);

    // A failed scan leaves the file at the offending character, where every
    // later scan would fail as well; stopping at the first failure says so
    // directly and keeps a half-number from being taken up by a later scan.
    int unused = 0;
    int32_t complete = 0;
    if (std::fscanf(file, "%d", &unused) == 1) {
        for (int32_t s = 0; s < count; ++s) {
            if (std::fscanf(file, "%d", &unused) != 1) break;
            if (std::fscanf(file, "%lf", &pointI[s]) != 1) break;
            if (std::fscanf(file, "%lf", &pointQ[s]) != 1) break;
            complete = s + 1;
        }
    }
    std::fclose(file);
    return complete;
}

}  // namespace tpc
