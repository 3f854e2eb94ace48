// The text of one log line being formatted, in a buffer the thread keeps
// from line to line (no allocation per line once it has grown). A nested use
// on the same thread (a logger that logs while it writes) gets a string of
// its own, so the outer line stays intact.
#pragma once

#include <string>

namespace rk::logging {

class MessageBuffer {
public:
    MessageBuffer();
    ~MessageBuffer();
    MessageBuffer(const MessageBuffer&) = delete;
    MessageBuffer& operator=(const MessageBuffer&) = delete;

    // Empty at first.
    std::wstring& text() { return *text_; }

private:
    std::wstring own_;
    std::wstring* text_;
    bool holds_thread_buffer_;
};

}  // namespace rk::logging
