#pragma once
// Where the headless run writes its texts: a standard handle, a report file,
// or (in tests) a string.

#include <windows.h>

#include <string>

#include "core/AppMessage.h"

class TextOutput {
public:
    virtual ~TextOutput() = default;
    // False when the text could not be written in full.
    virtual bool Write(const std::string& text) = 0;
    // True when a person watches it as it is written (a console window).
    virtual bool IsConsole() const { return false; }
};

// One line of a console that shows where a long run stands, rewritten in
// place at most every few tenths of a second. Writes nothing to a file or pipe.
class ProgressLine {
public:
    explicit ProgressLine(TextOutput& out) : out(out), console(out.IsConsole()) {}
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(const std::string& text);
    // Blanks the line, so that what follows starts on a clean one.
    void Clear();

private:
    TextOutput& out;
    bool console;
    bool shown = false;
    DWORD shownAt = 0;
};

// Writes to a handle it does not own (a standard handle or an open file).
// A null handle swallows everything: a program started without a console
// has nowhere to write.
class HandleOutput : public TextOutput {
public:
    explicit HandleOutput(HANDLE handle) : handle(handle) {}
    bool Write(const std::string& text) override;
    bool IsConsole() const override;

private:
    HANDLE handle;
};

// For its life, every message box the engine would show becomes one line on
// `err`, answered as its default button would be: nobody is there to click.
class BoxesToStandardError {
public:
    explicit BoxesToStandardError(TextOutput& err);
    ~BoxesToStandardError();
    BoxesToStandardError(const BoxesToStandardError&) = delete;
    BoxesToStandardError& operator=(const BoxesToStandardError&) = delete;

private:
    static int WINAPI Show(HWND owner, LPCSTR text, LPCSTR title, UINT type);

    static TextOutput* target;
    MessageBoxFunction previous;
};
