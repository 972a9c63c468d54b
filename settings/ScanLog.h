#pragma once
// The scan log: one plain-text file per scan, named after the moment the scan
// started, that receives a short record of every problem the scan accepted.
// The program never reads it back; it is written for the user.

#include <windows.h>

#include <string>

#include "core/ProblemRecord.h"

// The "Log File Path" setting when it names something that exists, else the
// program folder.
std::string LogFolder();

// "FOLDER\D-M-YYYY (H-M-S).txt" for a scan started at `time` (local time).
std::string ScanLogFileName(const std::string& folder, const SYSTEMTIME& time);

class ScanLog {
public:
    // Names this scan's file after the current local time in the log folder
    // and writes the header (appending when the file exists already).
    // Runs whatever "Generate Log" says: every scan leaves a file.
    void BeginScanLog();
    // Appends the record's lines while logging is on for this scan.
    void LogProblem(const ProblemRecord& record);

    // "Generate Log" of the scan, taken when the scan starts.
    void SetGenerateLog(int on) { generateLog = on ? 1 : 0; }
    int GenerateLog() const { return generateLog; }
    const std::string& FilePath() const { return logFilePath; }

private:
    std::string logFilePath;
    int generateLog = 0;
};
