#include "platform/logging/message_buffer.h"

namespace rk::logging {
namespace {

thread_local std::wstring thread_buffer;
thread_local bool thread_buffer_taken = false;

}  // namespace

MessageBuffer::MessageBuffer() : text_(&own_), holds_thread_buffer_(!thread_buffer_taken) {
    if (holds_thread_buffer_) {
        thread_buffer_taken = true;
        thread_buffer.clear();
        text_ = &thread_buffer;
    }
}

MessageBuffer::~MessageBuffer() {
    if (holds_thread_buffer_) {
        thread_buffer_taken = false;
    }
}

}  // namespace rk::logging
