#pragma once

#include <cstdint>
#include <optional>
#include <string>

class FirmwareImage;
struct ConstantRecord;
struct VectorRecord;

// Storage rules of the parameter database: how a constant's or a vector point's raw integer
// lies in the image, how a physical value is rounded for display, and how a value computed by
// an output formula becomes the integer that is stored.

// Rounds x half away from zero to d decimal places (2.5 -> 3, -2.5 -> -3 for d = 0).
double RoundToDecimals(double x, int d);

// The integer stored for an output-formula result y: y + 0.5 truncated toward zero (so -2.6
// gives -2). Throws std::range_error for a result that is not finite or too large to store,
// so such a value never reaches the image.
int64_t EncodeRaw(double y);

// Constants: Type 0 = bits 7-4 of the byte, 1 = bits 2-0, 2 = the byte, 3 = little-endian
// word; any other type reads 0 and writes nothing.
bool ConstantTypeStores(int type);
// The largest raw number the type holds (15, 7, 255, 65535; the smallest is 0), -1 for a type
// that stores nothing.
int64_t ConstantRawMax(int type);
// True when every byte the type touches at address lies inside the image.
bool ConstantInRange(int32_t address, int type);
// Raw value; 0 for another type or an address outside the image.
uint32_t ReadConstantRaw(const FirmwareImage& image, int32_t address, int type);
// Stores n by the type. Types 0 and 1 keep the other bits of the byte. Writes nothing for
// another type or an address outside the image.
void WriteConstantRaw(FirmwareImage& image, int32_t address, int type, int64_t n);

// Vectors. Values (TypePar): 0 = low byte of 2-byte elements, 1 = high byte, 2 = packed bytes,
// 3 = little-endian words. Arguments (TypeArg): 0 = bytes, 1 = little-endian words.
constexpr int MaxVectorPoints = 256;

bool VectorValueTypeStores(int typePar);
// The largest raw value the type holds (255, or 65535 for words), -1 for a type that stores
// nothing.
int64_t VectorValueRawMax(int typePar);
bool VectorArgTypeStores(int typeArg);
// Address of point i's value (first byte for a word) or of its argument.
int64_t VectorValueAddress(int32_t base, int typePar, int i);
int64_t VectorArgAddress(int32_t base, int typeArg, int i);
// Raw value or argument of point i; 0 for another type (nothing is read) or outside the image.
uint32_t ReadVectorValueRaw(const FirmwareImage& image, int32_t base, int typePar, int i);
uint32_t ReadVectorArgRaw(const FirmwareImage& image, int32_t base, int typeArg, int i);
// Stores n for point i; nothing for another type or outside the image.
void WriteVectorValueRaw(FirmwareImage& image, int32_t base, int typePar, int i, int64_t n);

// Why a record cannot be used, or nothing when it can: a numeric field is not a number, its
// bytes reach outside the image, or (vectors) its Count lies outside 1..256. The text is
// Russian, for the window's report.
std::optional<std::string> ConstantProblem(const ConstantRecord& rec);
std::optional<std::string> VectorProblem(const VectorRecord& rec);

// The argument formula that is replaced by the point index: point i gets i*5/64.
bool IsIndexRuleFormula(const std::string& formulaArg);
