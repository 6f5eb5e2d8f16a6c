#include "reader/io/message_client.h"

#include <exception>

#include "reader/exceptions.h"
#include "reader/message/message.h"

namespace {

// Drops the client's line reader however the read ends.
class DetachOnExit {
public:
    explicit DetachOnExit(TIdMessageClient& client) : client_(client) {}
    ~DetachOnExit() { client_.SetIOHandler(nullptr); }
    DetachOnExit(const DetachOnExit&) = delete;
    DetachOnExit& operator=(const DetachOnExit&) = delete;

private:
    TIdMessageClient& client_;
};

}  // namespace

void TIdMessageClient::ReadMessageFromStream(TIdMessage& message, TStream& stream, bool headersOnly) {
    auto handler = std::make_unique<TIdIOHandlerStreamMsg>(&stream, nullptr);
    handler->FreeStreams = false;  // the stream stays the caller's
    TIdIOHandlerStreamMsg& reader = *handler;
    SetIOHandler(std::move(handler));
    DetachOnExit detach(*this);
    reader.Open();
    ReadMessage(message, headersOnly);
}

void TIdMessageClient::ReadMessage(TIdMessage& message, bool headersOnly) {
    if (!ioHandler_) return;
    const std::string last = ReadHeaderBlock(message, "");
    // "." instead of an empty line: the file ended inside the header block.
    if (last.empty() && !headersOnly) ReadBodyBlock(message, ".");
}

std::string TIdMessageClient::ReadHeaderBlock(TIdMessage& message, std::string_view altTerm) {
    std::string line;
    bool msgEnd = false;
    for (;;) {
        try {
            if (!ioHandler_) throw EIdNotConnected("Not Connected");
            ioHandler_->ReadLnRFCInto(line, msgEnd, "\n", ".");
        } catch (const std::exception&) {
            // A broken header block still gets interpreted as far as it came.
            line.clear();
            message.Notice("Fehler bei IOHandler.ReadLnRFC");
            break;
        }
        if (altTerm.empty() && msgEnd) break;
        if (line == altTerm) break;
        // Past the end of the data every read yields an empty line; with an
        // alternative terminator that never comes, this would never end.
        if (ioHandler_->LineTimedOut()) break;
        if (line.empty()) continue;
        try {
            message.Headers.Add(line);
        } catch (const std::exception&) {
            message.Notice("Fehler bei AMsg.Headers.Append");
        }
    }
    message.InterpretHeaders();
    return line;
}
