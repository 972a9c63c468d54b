#include "repair/RegValueFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/FileTools.h"

namespace {

// A quoted text starting at `at` (on the quote); escapes \\ \" \n \r \0 undone.
// Leaves `at` after the closing quote; false when it never closes.
bool ReadQuoted(const std::string& line, size_t& at, std::string& text)
{
    text.clear();
    for (++at; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            ++at;
            return true;
        }
        if (c == '\\' && at + 1 < line.size()) {
            char next = line[++at];
            text += next == 'n' ? '\n' : next == 'r' ? '\r' : next == '0' ? '\0' : next;
        } else {
            text += c;
        }
    }
    return false;
}

// "a1,00,ff" into bytes; false on anything that is not a byte in hex.
bool ReadHexBytes(const std::string& list, std::string& bytes)
{
    size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && (list[at] == ' ' || list[at] == '\t' || list[at] == ','))
            ++at;
        if (at == list.size())
            break;
        size_t end = at;
        while (end < list.size() && list[end] && std::strchr("0123456789abcdefABCDEF", list[end]))
            ++end;
        if (end == at || end - at > 2)
            return false;
        bytes += static_cast<char>(std::strtoul(list.substr(at, end - at).c_str(), nullptr, 16));
        at = end;
    }
    return true;
}

bool ReadData(const std::string& data, RegValueText& value)
{
    if (data == "-") {
        value.remove = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        size_t at = 0;
        std::string text;
        if (!ReadQuoted(data, at, text) || at != data.size())
            return false;
        value.type = REG_SZ;
        value.bytes = text + '\0';
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
        std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        DWORD number = std::strtoul(digits.c_str(), nullptr, 16);
        value.type = REG_DWORD;
        value.bytes.assign(reinterpret_cast<const char*>(&number), sizeof(number));
        return true;
    }
    size_t colon = data.find(':');
    if (colon == std::string::npos)
        return false;
    std::string kind = data.substr(0, colon);
    if (kind == "hex") {
        value.type = REG_BINARY;
    } else if (kind.size() > 5 && kind.compare(0, 4, "hex(") == 0 && kind.back() == ')') {
        std::string digits = kind.substr(4, kind.size() - 5);
        if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        value.type = std::strtoul(digits.c_str(), nullptr, 16);
    } else {
        return false;
    }
    return ReadHexBytes(data.substr(colon + 1), value.bytes);
}

} // namespace

bool ReadRegValueFile(const std::string& path, RegValueText& value, std::string& error)
{
    value = RegValueText();
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        error = "cannot be read";
        return false;
    }
    std::vector<std::string> lines = TextLines(bytes);
    size_t at = 0;
    auto skipBlank = [&] {
        while (at < lines.size() && lines[at].empty())
            ++at;
    };
    skipBlank();
    if (at == lines.size() || lines[at] != "REGEDIT4") {
        error = "is not a REGEDIT4 file";
        return false;
    }
    ++at;
    skipBlank();
    if (at == lines.size() || lines[at].size() < 3 || lines[at].front() != '[' || lines[at].back() != ']') {
        error = "names no key";
        return false;
    }
    value.keyPath = lines[at].substr(1, lines[at].size() - 2);
    ++at;
    skipBlank();
    if (at == lines.size()) {
        error = "holds no value";
        return false;
    }
    // A long hex list runs on over lines that end with a backslash.
    std::string line = lines[at];
    while (!line.empty() && line.back() == '\\' && ++at < lines.size()) {
        line.pop_back();
        size_t text = lines[at].find_first_not_of(" \t");
        line += text == std::string::npos ? std::string() : lines[at].substr(text);
    }
    size_t pos = 0;
    if (line.compare(0, 2, "@=") == 0) {
        pos = 1;
    } else if (line.empty() || line[0] != '"' || !ReadQuoted(line, pos, value.name) ||
               pos >= line.size() || line[pos] != '=') {
        error = "holds no value line";
        return false;
    }
    if (!ReadData(line.substr(pos + 1), value)) {
        error = "holds a value line that cannot be read";
        return false;
    }
    return true;
}

std::vector<std::string> TextLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}
