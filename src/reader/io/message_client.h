#pragma once
// Reads one message from a line reader: the header block, then the body.

#include <memory>
#include <string>
#include <string_view>

#include "reader/io/io_handler.h"
#include "reader/io/stream.h"

class TIdMessage;

class TIdMessageClient {
public:
    void ReadMessageFromStream(TIdMessage& message, TStream& stream, bool headersOnly);
    void ReadMessage(TIdMessage& message, bool headersOnly);
    std::string ReadHeaderBlock(TIdMessage& message, std::string_view altTerm);
    // The body receive loop.
    void ReadBodyBlock(TIdMessage& message, std::string_view delimiter);

    TIdIOHandler* IOHandler() const { return ioHandler_.get(); }
    void SetIOHandler(std::unique_ptr<TIdIOHandler> handler) { ioHandler_ = std::move(handler); }

private:
    std::unique_ptr<TIdIOHandler> ioHandler_;
};
