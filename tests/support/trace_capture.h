// Captures what the code under test writes to the debug trace and to std::cerr. Each capture
// installs itself when constructed and puts things back when destroyed.
#pragma once

#include "platform/trace.h"

#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

class TraceCapture final : public TraceSink {
public:
    TraceCapture() { SetTraceSink(this); }
    ~TraceCapture() override { SetTraceSink(nullptr); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    void Write(std::u16string_view piece) override { m_pieces.emplace_back(piece); }

    // The pieces in the order written, and taken out of the capture.
    const std::vector<std::u16string>& pieces() const { return m_pieces; }
    std::vector<std::u16string> TakePieces() { return std::move(m_pieces); }
    // Everything written, as one text.
    std::u16string text() const {
        std::u16string all;
        for (const std::u16string& piece : m_pieces)
            all += piece;
        return all;
    }

private:
    std::vector<std::u16string> m_pieces;
};

class CerrCapture {
public:
    CerrCapture() : m_previous(std::cerr.rdbuf(m_text.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(m_previous); }
    CerrCapture(const CerrCapture&) = delete;
    CerrCapture& operator=(const CerrCapture&) = delete;

    std::string text() const { return m_text.str(); }
    void Clear() { m_text.str({}); }

private:
    std::ostringstream m_text;
    std::streambuf* m_previous;
};
