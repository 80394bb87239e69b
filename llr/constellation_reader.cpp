#include "llr/constellation_reader.h"

#include <cstdio>
#include <cstdlib>

namespace tpc {

namespace {

// The file's text, NUL-terminated, in a buffer the caller frees; nullptr when
// it is longer than kMaxConstellationFileBytes (or no room can be had).
// Reading stops there, so that a device or a pipe that never ends cannot
// hold the reader.
char* ReadWholeFile(std::FILE* file) {
    char* text = static_cast<char*>(std::malloc(kMaxConstellationFileBytes + 1));
    if (text == nullptr) return nullptr;
    const size_t length = std::fread(text, 1, kMaxConstellationFileBytes + 1, file);
    if (length > kMaxConstellationFileBytes) {
        std::free(text);
        return nullptr;
    }
    text[length] = '\0';
    return text;
}

// One integer or one number at *at, which then moves past what the
// conversion read. A NUL in the file ends the text there, where a scan of
// the file itself would stop at it as at any other character no number
// holds.
bool ScanInteger(const char*& at, int* value) {
    int used = 0;
    if (std::sscanf(at, "%d%n", value, &used) != 1) return false;
    at += used;
    return true;
}

bool ScanNumber(const char*& at, double* value) {
    int used = 0;
    if (std::sscanf(at, "%lf%n", value, &used) != 1) return false;
    at += used;
    return true;
}

}  // namespace

int32_t ReadConstellation(double* pointI, double* pointQ, int32_t M, const char* fileName,
                          int32_t* openFailed) {
    std::FILE* file = fileName != nullptr ? std::fopen(fileName, "r") : nullptr;
    if (file == nullptr) {
        *openFailed = 1;
        return 0;
    }
    char* text = ReadWholeFile(file);
    std::fclose(file);
    if (text == nullptr) {
        *openFailed = kConstellationFileTooLong;
        return 0;
    }
    // The arrays end after 256 points whatever numsym says.
    const int32_t count = M < 0 ? 0 : (M > kMaxConstellationPoints ? kMaxConstellationPoints : M);

    // The first conversion that fails ends the read, so that a half-number
    // is never taken up by a later scan.
    const char* at = text;
    int unused = 0;
    int32_t complete = 0;
    if (ScanInteger(at, &unused)) {
        for (int32_t s = 0; s < count; ++s) {
            if (!ScanInteger(at, &unused)) break;
            if (!ScanNumber(at, &pointI[s])) break;
            if (!ScanNumber(at, &pointQ[s])) break;
            complete = s + 1;
        }
    }
    std::free(text);
    return complete;
}

}  // namespace tpc
