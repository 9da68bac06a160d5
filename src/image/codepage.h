#pragma once

#include <string>

// Conversions between the code pages of the identification texts: the image stores them in
// code page 866, the program holds them in code page 1251, windows and JSON use UTF-8.
// Characters without a counterpart become '?'.
std::string Cp866ToCp1251(const std::string& text);
std::string Cp1251ToCp866(const std::string& text);
std::string Cp1251ToUtf8(const std::string& text);
std::string Utf8ToCp1251(const std::string& text);
