#include "engine_log.h"

#include "engine_platform.h"

namespace {

const char kLogFileName[] = "engine.log";

// Kept free by every field for the tail that closes a truncated line.
const char kTruncatedTail[] = ",\"truncated\":true}\n";
const size_t kTailRoom = sizeof(kTruncatedTail);

} // namespace

CLogLine::CLogLine(const char* kind, const char* name)
    : buffer_(static_cast<char*>(malloc(kLogLineSize))),
      text_(buffer_ != nullptr ? buffer_ : spare_, buffer_ != nullptr ? kLogLineSize : 1) {
    text_.SetLimit(kLogLineSize - kTailRoom);
    text_.Append("{");
    text_.AppendJsonString(kind);
    text_.Append(":");
    text_.AppendJsonString(name);
}

CLogLine::~CLogLine() {
    free(buffer_);
}

bool CLogLine::BeginField(const char* key, size_t* fieldStart) {
    *fieldStart = text_.Length();
    if (text_.Append(",") && text_.AppendJsonString(key) && text_.Append(":")) {
        return true;
    }
    DropField(*fieldStart);
    return false;
}

void CLogLine::DropField(size_t fieldStart) {
    text_.CutBack(fieldStart);
}

void CLogLine::AddText(const char* key, const char* value) {
    size_t start = 0;
    if (BeginField(key, &start) && !text_.AppendJsonString(value)) {
        DropField(start);
    }
}

void CLogLine::AddInt(const char* key, int value) {
    size_t start = 0;
    if (BeginField(key, &start) && !text_.AppendInt(value)) {
        DropField(start);
    }
}

void CLogLine::AddUnsigned(const char* key, size_t value) {
    size_t start = 0;
    if (BeginField(key, &start) && !text_.AppendUnsigned(value)) {
        DropField(start);
    }
}

void CLogLine::Write() {
    if (buffer_ == nullptr) {
        return;
    }
    // Every field kept the tail room free, so the closing part always fits.
    text_.SetLimit(kLogLineSize);
    text_.Append(text_.Truncated() ? kTruncatedTail : "}\n");

    HANDLE file = CreateFileA(kLogFileName, FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, text_.Text(), static_cast<DWORD>(text_.Length()), &written, nullptr);
    CloseHandle(file);
}

void LogCall(const char* name) {
    CLogLine line("call", name);
    line.Write();
}

void LogEvent(const char* name) {
    CLogLine line("event", name);
    line.Write();
}
