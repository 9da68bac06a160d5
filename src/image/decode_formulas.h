#pragma once

#include <cstdint>

// The arithmetic that turns stored values into the decoded values of the tables. Decode uses
// it for every cell, and the value search of the map editor asks it what a candidate stored
// value would show, so both always agree to the last bit.
namespace decode_formulas {

// Air flow in the units the grid shows, rounded half up.
inline uint16_t RoundedAirFlow(uint16_t raw) {
    return static_cast<uint16_t>(static_cast<int32_t>(raw * 8.0 / 9.0 + 0.5));
}

// Injection time of a main-map cell from its code, the raw load of its column and the base.
inline double TauValue(uint8_t code, uint16_t pRaw, uint16_t tauBase) {
    const int32_t sum = code + pRaw - tauBase - 48;
    return sum * 0.02;
}

// Ignition angle (main map and correction coefficient): half a degree per step.
inline double HalfDegreeValue(uint8_t raw) {
    return raw * 0.5;
}

// A fraction stored in 1/256 steps (fuel correction coefficient, Rcod).
inline double Fraction256Value(uint8_t raw) {
    return raw / 256.0;
}

inline double DrmaxValue(uint8_t raw) {
    return (raw * 100 - 4800) / 142.0;
}

// A zero divisor gives an IEEE infinity or NaN, shown as such by the windows. The product is
// formed left to right: folding gain and ratio first changes last bits.
inline double LambdaValue(uint16_t p, double tau, double offset, double gain, double ratio) {
    return p / ((tau - offset) * gain * ratio);
}

inline double CorUozValue(double fullLoadUoz, double coefCorUoz) {
    return fullLoadUoz - coefCorUoz;
}

inline double CorTauValue(double fullLoadTau, double coefCorTau) {
    return (coefCorTau + 1) * fullLoadTau;
}

} // namespace decode_formulas
