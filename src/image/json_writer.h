#pragma once

#include <cstdint>
#include <string>

// A small JSON writer for the command-line tool's output. Doubles are written with 17
// significant digits so they read back exactly; infinities and NaN, which JSON has no numbers
// for, are written as the strings "inf", "-inf" and "nan". Strings must be UTF-8. The keys of
// the outermost object start on lines of their own; everything inside them stays on one line.
class JsonWriter {
public:
    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    void Key(const std::string& name);
    void Number(double value);
    void Integer(int64_t value);
    void String(const std::string& utf8);
    void Bool(bool value);
    void Null();

    // The text written so far.
    const std::string& Text() const { return text_; }

    // The JSON text of one double, as Number writes it.
    static std::string FormatDouble(double value);

private:
    void BeforeValue();
    void WriteQuoted(const std::string& utf8);

    std::string text_;
    int depth_ = 0;
    bool first_ = true;     // no element written yet in the current container
    bool afterKey_ = false; // a key was written and waits for its value
};
