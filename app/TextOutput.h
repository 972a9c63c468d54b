#pragma once
// Where the headless run writes its texts: a standard handle, a report file,
// or (in tests) a string.

#include <windows.h>

#include <string>

class TextOutput {
public:
    virtual ~TextOutput() = default;
    // False when the text could not be written in full.
    virtual bool Write(const std::string& text) = 0;
};

// Writes to a handle it does not own (a standard handle or an open file).
// A null handle swallows everything: a program started without a console
// has nowhere to write.
class HandleOutput : public TextOutput {
public:
    explicit HandleOutput(HANDLE handle) : handle(handle) {}
    bool Write(const std::string& text) override;

private:
    HANDLE handle;
};
