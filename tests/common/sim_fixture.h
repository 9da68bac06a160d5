#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// Shared pieces of the tests that talk to the simulator through a real COMPort.
struct Messages {
    QStringList seen; // "caption|text"
    void operator()(const QString& caption, const QString& text) { seen << caption + "|" + text; }
};

inline std::vector<uint8_t> PatternMemory(unsigned seed) {
    std::vector<uint8_t> memory(0x8000);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : memory) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return memory;
}

inline std::string WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}
