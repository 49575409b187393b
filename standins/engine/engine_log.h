// engine.log: one JSON object per line, appended to the file of that name in the
// working folder of the moment. Each line goes out in one write to a file opened for
// appending only, so the lines of two engine copies in one folder never interleave.
// A line that cannot be written is dropped: logging never stops the game.
#pragma once

#include <stddef.h>

#include "engine_text.h"

// The room of one line. A longer line loses the tail of its last text value (or the
// fields that no longer fit) and gains "truncated":true, so it is still valid JSON.
const size_t kLogLineSize = 65536;

// One line under construction: {"<kind>":"<name>", then the fields in the order they
// are added; Write closes it and appends it to the file. The buffer is taken from the
// heap, so lines are cheap on the stack and independent of one another.
class CLogLine {
  public:
    // kind is "call" for an export or game operation, "event" for anything else.
    CLogLine(const char* kind, const char* name);
    ~CLogLine();
    CLogLine(const CLogLine&) = delete;
    CLogLine& operator=(const CLogLine&) = delete;

    // A null value is written as null.
    void AddText(const char* key, const char* value);
    void AddInt(const char* key, int value);
    void AddUnsigned(const char* key, size_t value); // also pointer-sized values
    void Write();

  private:
    // Starts a field (the comma and the quoted key); false when it does not fit.
    bool BeginField(const char* key, size_t* fieldStart);
    // Drops a field that did not fit whole.
    void DropField(size_t fieldStart);

    char* buffer_;
    char spare_[1]; // the builder's buffer when the heap had no room: every append fails
    CTextBuilder text_;
};

// The common shapes: {"call":"<name>"} and {"event":"<name>"} with nothing more.
void LogCall(const char* name);
void LogEvent(const char* name);
