#include "support/StateWitness.h"

#include <windows.h>

#include <algorithm>

#include "app/CommandLine.h"
#include "core/FileTools.h"
#include "core/PathCheck.h"
#include "support/FileBytes.h"
#include "support/Planted.h"

void RunRegedit(const std::string& parameters)
{
    RunProgram(GetWindowsFolder() + "\\regedit.exe", parameters, true);
}

std::vector<std::string> SortedExport(const std::string& fullKeyPath)
{
    const std::string file = TestTempFolder() + UniqueName("QmExport") + ".reg";
    RunRegedit("/e \"" + file + "\" \"" + fullKeyPath + "\"");
    std::string bytes = ReadFileBytes(file), text, header, line;
    DeleteFileA(file.c_str());
    bool wide = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    for (size_t i = wide ? 2 : 0; i < bytes.size(); i += wide ? 2 : 1)
        text += bytes[i] == '\r' ? std::string() : std::string(1, bytes[i]);
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        std::string part = text.substr(at, end - at);
        line += line.empty() ? part : part.substr(std::min(part.find_first_not_of(' '), part.size()));
        if (!line.empty() && line.back() == '\\') {
            line.pop_back(); // continued on the next line
            continue;
        }
        if (line[0] == '[') {
            header = line;
            CharLowerBuffA(&header[0], static_cast<DWORD>(header.size()));
            lines.push_back(header);
        } else if (!line.empty() && !header.empty()) {
            lines.push_back(header + line);
        }
        line.clear();
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

int RunHeadlessCommand(const std::vector<std::string>& arguments, std::string* output)
{
    struct Collected : TextOutput {
        std::string text;
        bool Write(const std::string& more) override { return text += more, true; }
    } out, err;
    int code = RunHeadless(arguments, out, err);
    if (output)
        *output = out.text + err.text;
    return code;
}
