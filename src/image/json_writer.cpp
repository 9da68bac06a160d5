#include "image/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_)
        text_ += ',';
    first_ = false;
}

void JsonWriter::BeginObject() {
    BeforeValue();
    text_ += '{';
    ++depth_;
    first_ = true;
}

void JsonWriter::EndObject() {
    --depth_;
    if (depth_ == 0 && !first_)
        text_ += '\n';
    text_ += '}';
    first_ = false;
}

void JsonWriter::BeginArray() {
    BeforeValue();
    text_ += '[';
    ++depth_;
    first_ = true;
}

void JsonWriter::EndArray() {
    --depth_;
    text_ += ']';
    first_ = false;
}

void JsonWriter::Key(const std::string& name) {
    BeforeValue();
    if (depth_ == 1)
        text_ += "\n  ";
    WriteQuoted(name);
    text_ += ':';
    afterKey_ = true;
}

std::string JsonWriter::FormatDouble(double value) {
    if (std::isnan(value))
        return "\"nan\"";
    if (std::isinf(value))
        return value > 0 ? "\"inf\"" : "\"-inf\"";
    if (value == 0)
        value = 0; // no "-0" in the output: JSON readers differ on it and it means 0
    char buffer[40];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    return std::string(buffer, end.ptr);
}

void JsonWriter::Number(double value) {
    BeforeValue();
    text_ += FormatDouble(value);
}

void JsonWriter::Integer(int64_t value) {
    BeforeValue();
    text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
    BeforeValue();
    text_ += "null";
}

void JsonWriter::String(const std::string& utf8) {
    BeforeValue();
    WriteQuoted(utf8);
}

void JsonWriter::WriteQuoted(const std::string& utf8) {
    text_ += '"';
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += c;
        } else if (c == '\n') {
            text_ += "\\n";
        } else if (c == '\r') {
            text_ += "\\r";
        } else if (c == '\t') {
            text_ += "\\t";
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            text_ += escape;
        } else {
            text_ += c;
        }
    }
    text_ += '"';
}
