#pragma once

// Puts the C library into a locale whose decimal separator is a comma, as on a Russian desktop,
// for as long as the object lives. Number texts of the program must come out the same there.
// scripts/install-deps generates the locale; on a machine without it ok() is false.

#include <clocale>
#include <string>

class CommaLocale {
public:
    CommaLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, Name) != nullptr &&
              std::string(std::localeconv()->decimal_point) == ",";
    }
    ~CommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    bool ok() const { return ok_; }

    static constexpr const char* Name = "ru_RU.UTF-8";
    static constexpr const char* Missing =
        "the locale ru_RU.UTF-8 is not generated (scripts/install-deps makes it)";

private:
    std::string previous_;
    bool ok_ = false;
};
