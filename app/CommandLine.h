#pragma once
// The headless command line: "Quillmoor8.exe /scan [/all | /sections:LIST]
// [/fix [/nobackup]] [/report:PATH]" runs one complete scan without any
// window and prints what it found; with /fix it then repairs every checked
// problem as the window's Repair does.

#include <string>
#include <vector>

#include "app/TextOutput.h"

// Exit codes of a headless run.
enum HeadlessExit {
    ExitNoProblems = 0,
    ExitProblemsFound = 1,
    ExitBadCommandLine = 2,
    ExitCannotRun = 3,
    ExitRepairIncomplete = 4 // some removal failed or was refused
};

struct HeadlessOptions {
    bool help = false;
    bool scan = false;
    bool all = false;
    bool sectionsGiven = false;
    std::vector<unsigned> sections; // codes; 0 is "Registry Integrity"
    bool fix = false;
    bool noBackup = false;
    bool reportGiven = false;
    std::string reportPath;         // "-" is standard output
};

// Splits a command line (without the program's name) at blanks and tabs
// outside double quotes; the quotes themselves are dropped.
std::vector<std::string> SplitArguments(const std::string& commandLine);

// "/name" or "/name:value", the name compared without regard to case; the
// value (everything after the colon) goes to `value` when one is asked for.
bool IsSwitch(const std::string& argument, const char* name, std::string* value);
// Comma-separated decimal numbers of at most `maxDigits` digits each, appended
// to `numbers`; false for an empty item or anything but digits.
bool ParseNumberList(const std::string& list, size_t maxDigits, std::vector<unsigned long>& numbers);

// True when the command line asks for a headless run ("/scan" or "/?");
// any other command line (a file dropped on the program, a stray switch)
// opens the window.
bool AsksForHeadlessRun(const std::vector<std::string>& arguments);

// True and the options, or false and what was not understood.
bool ParseHeadlessArguments(const std::vector<std::string>& arguments, HeadlessOptions& options,
                            std::string& error);

// The usage text printed for "/?" and after a command line not understood.
std::string HeadlessUsage();

// The whole headless run with its outputs given; returns the exit code.
int RunHeadless(const std::vector<std::string>& arguments, TextOutput& out, TextOutput& err);

// The headless run on the process's standard handles, attaching to the
// parent's console when the program has none of its own.
int RunCommandLine(const std::vector<std::string>& arguments);
