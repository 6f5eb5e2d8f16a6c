#pragma once
// A byte stream served by the line reader of the running load; decoders hold
// one as their line source and reach the line reader through it.

#include "reader/io/io_handler.h"
#include "reader/io/stream.h"

class TIdTCPStream final : public TStream {
public:
    explicit TIdTCPStream(TIdIOHandler& ioHandler) : ioHandler_(ioHandler) {}

    std::size_t Read(void* buffer, std::size_t n) override;   // exactly n, or EIdReadTimeout
    void Write(const void* buffer, std::size_t n) override;   // no write side when loading
    std::int64_t Position() const override { return 0; }
    std::int64_t Size() const override { return 0; }
    void Seek(std::int64_t) override {}

    TIdIOHandler& IOHandler() const { return ioHandler_; }

private:
    TIdIOHandler& ioHandler_;
};
