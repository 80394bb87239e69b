#include "llr/constellation_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tpc {

namespace {

// The file's text, NUL-terminated, in a buffer the caller frees; nullptr when
// it is longer than kMaxConstellationFileBytes (or no room can be had).
// Reading stops there, so that a device or a pipe that never ends cannot
// hold the reader. The buffer grows with the text: a file of 256 points
// takes a few kilobytes, far from the limit.
char* ReadWholeFile(std::FILE* file) {
    size_t capacity = 4096;  // bytes of text the buffer holds, its NUL aside
    size_t length = 0;
    char* text = static_cast<char*>(std::malloc(capacity + 1));
    while (text != nullptr) {
        // Asking for one byte more than the room left tells whether the text
        // goes on.
        length += std::fread(text + length, 1, capacity + 1 - length, file);
        if (length > kMaxConstellationFileBytes) break;
        if (length <= capacity) {
            text[length] = '\0';
            return text;
        }
        capacity = std::min(2 * capacity, kMaxConstellationFileBytes);
        char* larger = static_cast<char*>(std::realloc(text, capacity + 1));
        if (larger == nullptr) break;
        text = larger;
    }
    std::free(text);
    return nullptr;
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
