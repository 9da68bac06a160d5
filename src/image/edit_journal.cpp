// The crash journal's file format: writing records as they happen and replaying them.
#include "image/edit_journal.h"

#include "image/edit_steps.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr const char* Magic = "VELMARIS-JOURNAL";
constexpr int Version = 2;
constexpr std::size_t ImageSize = 0x8000;

uint32_t Crc32(const std::string& text) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char ch : text)
        crc = table[(crc ^ ch) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

const char HexDigits[] = "0123456789abcdef";

void AppendHex(std::string& out, uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i)
        out += HexDigits[(value >> (4 * i)) & 0xF];
}

std::string HexText(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2 + 1);
    out += '='; // an empty name still makes a field
    for (unsigned char ch : text)
        AppendHex(out, ch, 2);
    return out;
}

[[noreturn]] void Damaged(const std::string& why) {
    throw std::runtime_error("damaged journal: " + why);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

uint32_t ParseHex(const std::string& text, std::size_t pos, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexValue(text[pos + static_cast<std::size_t>(i)]);
        if (d < 0)
            Damaged("bad hexadecimal digit");
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    return v;
}

std::string ParseHexText(const std::string& field) {
    if (field.empty() || field[0] != '=' || field.size() % 2 != 1)
        Damaged("bad text field");
    std::string out;
    for (std::size_t i = 1; i < field.size(); i += 2)
        out += static_cast<char>(ParseHex(field, i, 2));
    return out;
}

int64_t ParseNumber(const std::string& field) {
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos ||
        field.size() > 18)
        Damaged("bad number");
    return std::stoll(field);
}

const char Base64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void AppendBase64(std::string& out, const std::vector<uint8_t>& bytes) {
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t v =
            (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out += Base64Digits[v >> 18];
        out += Base64Digits[(v >> 12) & 63];
        out += Base64Digits[(v >> 6) & 63];
        out += Base64Digits[v & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const uint32_t v = (uint32_t{bytes[i]} << 16) | (two ? uint32_t{bytes[i + 1]} << 8 : 0);
        out += Base64Digits[v >> 18];
        out += Base64Digits[(v >> 12) & 63];
        out += two ? Base64Digits[(v >> 6) & 63] : '=';
        out += '=';
    }
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::vector<uint8_t> ParseBase64(const std::string& text, std::size_t pos, std::size_t end) {
    if ((end - pos) % 4 != 0)
        Damaged("bad byte run");
    std::vector<uint8_t> out;
    out.reserve((end - pos) / 4 * 3);
    for (; pos < end; pos += 4) {
        const bool last = pos + 4 == end;
        const int pad = last ? (text[end - 1] == '=') + (text[end - 2] == '=') : 0;
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const int d = k >= 4 - pad ? 0 : Base64Value(text[pos + static_cast<std::size_t>(k)]);
            if (d < 0)
                Damaged("bad byte run");
            v = (v << 6) | static_cast<uint32_t>(d);
        }
        out.push_back(static_cast<uint8_t>(v >> 16));
        if (pad < 2)
            out.push_back(static_cast<uint8_t>(v >> 8));
        if (pad < 1)
            out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

// Changes as runs of neighbouring addresses: a unit read changes nearly every byte, and a line
// of 8 hex digits per byte would be 256 KB to build, check and flush on every undo.
void AppendChanges(std::string& line, const ChangeSet& changes) {
    std::vector<uint8_t> run;
    for (std::size_t i = 0; i < changes.size();) {
        std::size_t end = i + 1;
        while (end < changes.size() && changes[end].address == changes[end - 1].address + 1)
            ++end;
        if (i != 0)
            line += ',';
        AppendHex(line, changes[i].address, 4);
        run.clear();
        for (std::size_t k = i; k < end; ++k)
            run.push_back(changes[k].before);
        for (std::size_t k = i; k < end; ++k)
            run.push_back(changes[k].after);
        AppendBase64(line, run);
        i = end;
    }
}

std::string StepLine(char kind, const JournalStep& step) {
    std::string line(1, kind);
    line += ' ' + std::to_string(step.timeMs) + ' ' + HexText(step.name) + ' ';
    line.reserve(line.size() + step.changes.size() * 8 / 3 + 12);
    if (step.changes.empty())
        line += '-'; // a merge that took the step back to where it began
    AppendChanges(line, step.changes);
    return line;
}

JournalStep ParseStep(std::istringstream& fields) {
    std::string time, name, changes;
    fields >> time >> name >> changes;
    JournalStep step;
    step.timeMs = ParseNumber(time);
    step.name = ParseHexText(name);
    if (changes == "-")
        return step;
    if (changes.empty())
        Damaged("bad change list");
    for (std::size_t pos = 0; pos <= changes.size();) {
        std::size_t end = changes.find(',', pos);
        if (end == std::string::npos)
            end = changes.size();
        if (end < pos + 4)
            Damaged("bad change list");
        const uint32_t address = ParseHex(changes, pos, 4);
        const std::vector<uint8_t> bytes = ParseBase64(changes, pos + 4, end);
        const std::size_t count = bytes.size() / 2;
        if (bytes.empty() || bytes.size() % 2 != 0 || address + count > 0x8000 ||
            (!step.changes.empty() && address <= step.changes.back().address))
            Damaged("bad change");
        for (std::size_t k = 0; k < count; ++k) {
            const ByteChange c{static_cast<uint16_t>(address + k), bytes[k], bytes[count + k]};
            if (c.before == c.after)
                Damaged("bad change");
            step.changes.push_back(c);
        }
        pos = end + 1;
    }
    return step;
}

} // namespace

EditJournal::~EditJournal() {
    Close();
}

void EditJournal::Open(const std::string& path) {
    Close();
    // Locked before it is emptied: a journal another editor is writing stays as it is.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("Can't open file.\n" + path + ": " + std::strerror(errno));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        throw std::runtime_error("Can't open file.\n" + path +
                                 ": another editor is writing this journal");
    }
    if (::ftruncate(fd, 0) != 0 || (file_ = ::fdopen(fd, "wb")) == nullptr) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("Can't write file.\n" + path + ": " + why);
    }
    path_ = path;
}

void EditJournal::Start(const std::string& path, const std::string& imageFile, int64_t fileTimeMs) {
    Open(path);
    Append(std::string(Magic) + ' ' + std::to_string(Version) + ' ' + std::to_string(fileTimeMs) +
           ' ' + HexText(imageFile));
}

void EditJournal::StartUnsaved(const std::string& path, const std::string& source,
                               const std::vector<uint8_t>& base) {
    if (base.size() != ImageSize)
        throw std::logic_error("a journal's base is a whole image");
    Open(path);
    Append(std::string(Magic) + ' ' + std::to_string(Version) + " 0 " + HexText(std::string()));
    std::string line = "S " + HexText(source) + ' ';
    AppendBase64(line, base);
    Append(line);
}

bool JournalInUse(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool inUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // also lets go of the lock taken here
    return inUse;
}

void EditJournal::Push(const JournalStep& step) {
    Append(StepLine('P', step));
}

void EditJournal::Amend(const JournalStep& step) {
    Append(StepLine('M', step));
}

void EditJournal::Close() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

void EditJournal::Discard() {
    Close();
    if (!path_.empty())
        std::remove(path_.c_str());
    path_.clear();
}

void EditJournal::Append(const std::string& line) {
    if (!file_)
        return;
    std::string record = line + " *";
    AppendHex(record, Crc32(line), 8);
    record += '\n';
    // Flushed per record: the step is in the system's hands before the program goes on, so a
    // crash of the program loses nothing.
    if (std::fwrite(record.data(), 1, record.size(), file_) != record.size() ||
        std::fflush(file_) != 0) {
        const std::string why = std::strerror(errno);
        Close();
        throw std::runtime_error("Can't write file.\n" + path_ + ": " + why);
    }
}

JournalContents ReadJournal(const std::string& path) {
    // Only a regular file: reading a FIFO put in a journal's place would wait for ever.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error("Can't open file.\n" + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw std::runtime_error("Can't open file.\n" + path + ": not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Can't open file.\n" + path + ": " + std::strerror(errno));
    std::ostringstream all;
    all << in.rdbuf();
    const std::string text = all.str();

    JournalContents contents;
    bool header = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            break; // the last record was being written when the program died
        const std::string record = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t star = record.rfind(" *");
        if (star == std::string::npos || record.size() != star + 10)
            Damaged("record without check sum");
        const std::string line = record.substr(0, star);
        if (ParseHex(record, star + 2, 8) != Crc32(line))
            Damaged("check sum mismatch");
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (header) {
            std::string version, time, name;
            fields >> version >> time >> name;
            if (kind != Magic || version != std::to_string(Version))
                Damaged("not a journal");
            contents.fileTimeMs = ParseNumber(time);
            contents.imageFile = ParseHexText(name);
            header = false;
        } else if (kind == "S") {
            std::string source, base;
            fields >> source >> base;
            if (!contents.steps.empty() || !contents.base.empty() || !contents.imageFile.empty())
                Damaged("misplaced base");
            contents.source = ParseHexText(source);
            contents.base = ParseBase64(base, 0, base.size());
            if (contents.base.size() != ImageSize)
                Damaged("bad base");
        } else if (kind == "P") {
            contents.steps.push_back(ParseStep(fields));
        } else if (kind == "M") {
            if (contents.steps.empty())
                Damaged("merge without a step");
            contents.steps.back() = ParseStep(fields);
        } else {
            Damaged("unknown record");
        }
        std::string rest;
        if (fields >> rest)
            Damaged("extra fields");
    }
    if (header)
        Damaged("no header");
    return contents;
}

ChangeSet JournalChanges(const JournalContents& contents) {
    ChangeSet all;
    for (const JournalStep& step : contents.steps)
        all = CombineChangeSets(all, step.changes);
    return all;
}

ChangeSet ReverseChanges(const ChangeSet& changes) {
    ChangeSet out(changes);
    for (ByteChange& c : out)
        std::swap(c.before, c.after);
    return out;
}
