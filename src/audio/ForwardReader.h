#pragma once

#include <cstdint>

// Hands out the mono values of two neighbouring frames of a source that is
// only ever read forwards.
class ForwardReader {
public:
    // Mono values of frames a and b (b = a - 1) into *outA and *outB.
    // 0: done; 1: the source ended before these frames (both read as silence);
    // -2: a frame lies behind what the reader still holds.
    virtual int readMonoPair(int64_t a, int64_t b, int16_t* outA, int16_t* outB) = 0;

protected:
    // Never deleted through this interface.
    ~ForwardReader() = default;
};
