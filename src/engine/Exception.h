#pragma once

#include <string>

namespace mp3 {

// Raised and caught inside the frame reader only; no reader operation lets one escape.
class Exception {
public:
    explicit Exception(std::wstring message) : m_message(std::move(message)) {}
    const std::wstring& message() const { return m_message; }

private:
    std::wstring m_message;
};

class Exception_EndOfStream : public Exception {
public:
    Exception_EndOfStream() : Exception(L"End of stream!") {}
};

} // namespace mp3
