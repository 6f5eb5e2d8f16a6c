#include "reader/io/io_handler.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"
#include "reader/exceptions.h"

namespace {
constexpr const char* kClosedGracefullyText = "Connection Closed Gracefully.";
constexpr const char* kNotConnectedText = "Not Connected";
constexpr const char* kReadTimedOutText = "Read timed out.";
// A stream hands out at most this much per chunk, whatever the array allows.
constexpr std::size_t kStreamChunk = 32768;
}  // namespace

// ---------------------------------------------------------------------------
// TIdIOHandler

void TIdIOHandler::Open() {
    opened_ = false;
    closedGracefully_ = false;
    inputBuffer_.Clear();
    opened_ = true;
}

void TIdIOHandler::Close() { opened_ = false; }

void TIdIOHandler::WriteDirect(const void*, std::size_t) { throw EIdNotConnected(kNotConnectedText); }

std::ptrdiff_t TIdIOHandler::FindTerminator(std::string_view terminator) {
    const std::uint64_t head = inputBuffer_.Consumed();
    const std::size_t n = inputBuffer_.Size();
    const bool sameTerminator = terminator.size() == 1
                                    ? searchTerminator_.size() == 1 && searchTerminator_[0] == terminator[0]
                                    : terminator == searchTerminator_;
    if (!sameTerminator) {
        searchTerminator_.assign(terminator);
        searchFrom_ = head;
        foundAt_ = -1;
    }
    // A terminator seen by an earlier call that handed out only part of the
    // line in front of it.
    if (foundAt_ >= 0 && static_cast<std::uint64_t>(foundAt_) >= head)
        return static_cast<std::ptrdiff_t>(static_cast<std::uint64_t>(foundAt_) - head);
    foundAt_ = -1;

    const std::size_t from = searchFrom_ > head ? static_cast<std::size_t>(searchFrom_ - head) : 0;
    if (from >= n) return -1;
    const std::ptrdiff_t pos = inputBuffer_.IndexOf(terminator, from);
    if (pos >= 0) {
        bytesScanned_ += static_cast<std::size_t>(pos) + terminator.size() - from;
        foundAt_ = static_cast<std::int64_t>(head + static_cast<std::uint64_t>(pos));
        searchFrom_ = static_cast<std::uint64_t>(foundAt_);
        return pos;
    }
    bytesScanned_ += n - from;
    // A terminator of several bytes may have begun in the last bytes and
    // end in the next chunk.
    const std::size_t overlap = terminator.size() - 1;
    searchFrom_ = head + (n > overlap ? n - overlap : 0);
    return -1;
}

void TIdIOHandler::ReadLineInto(std::string& line, std::string_view terminator, int timeout, int maxLength) {
    if (maxLength < 0) maxLength = MaxLineLength;
    if (terminator.empty()) terminator = "\n";
    lineSplit_ = false;
    lineTimedOut_ = false;
    const std::uint32_t start = timeout >= 0 ? platform::TickCount() : 0;
    const std::size_t limit = maxLength > 0 ? static_cast<std::size_t>(maxLength) : 0;
    const bool dropCR = terminator.size() == 1 && terminator[0] == '\n';

    for (;;) {
        const std::size_t n = inputBuffer_.Size();
        const std::ptrdiff_t termPos = n > 0 ? FindTerminator(terminator) : -1;
        // The position is compared before a CR in front of the LF is dropped:
        // a line of exactly the limit plus CR LF is split off the CR LF.
        const bool tooLong = termPos >= 0 ? static_cast<std::size_t>(termPos) > limit : n > limit;
        if (limit > 0 && tooLong) {
            lineSplit_ = true;
            inputBuffer_.ExtractInto(limit, line);
            return;
        }
        if (termPos >= 0) {
            std::size_t length = static_cast<std::size_t>(termPos);
            const std::string_view data = inputBuffer_.View();
            if (dropCR && length > 0 && data[length - 1] == '\r') --length;
            line.assign(data.data(), length);
            inputBuffer_.Remove(static_cast<std::size_t>(termPos) + terminator.size());
            return;
        }
        if (!SourceConnected()) throw EIdConnClosedGracefully(kClosedGracefullyText);
        const int r = FillFromSource(true, timeout, false);
        lineTimedOut_ = r == -1;
        if (!lineTimedOut_ && timeout >= 0 &&
            platform::TickCount() - start >= static_cast<std::uint32_t>(timeout))
            lineTimedOut_ = true;
        if (lineTimedOut_) {
            line.clear();
            return;
        }
    }
}

std::string TIdIOHandler::ReadLine(std::string_view terminator, int timeout, int maxLength) {
    std::string line;
    ReadLineInto(line, terminator, timeout, maxLength);
    return line;
}

void TIdIOHandler::ReadLnRFCInto(std::string& line, bool& msgEnd, std::string_view terminator,
                                 std::string_view delimiter) {
    ReadLineInto(line, terminator, -1, -1);
    // A lone "." inside the data reads as "|".
    const bool isDelimiter = line.size() == delimiter.size() && line == delimiter;
    if (isDelimiter && DataFollows()) {
        line += '|';
    } else if (isDelimiter) {
        msgEnd = true;
        return;
    }
    if (!line.empty() && line[0] == '.') line.erase(0, 1);
    msgEnd = false;
}

std::string TIdIOHandler::ReadLnRFC(bool& msgEnd, std::string_view terminator, std::string_view delimiter) {
    std::string line;
    ReadLnRFCInto(line, msgEnd, terminator, delimiter);
    return line;
}

int TIdIOHandler::FillFromSource(bool raiseIfDisconnected, int timeout, bool raiseOnTimeout) {
    if (timeout == -1) {
        timeout = ReadTimeout;
        if (timeout == 0) timeout = -1;
    }
    if (raiseIfDisconnected && !SourceConnected()) throw EIdConnClosedGracefully(kClosedGracefullyText);
    if (!HasReceiveStream()) {
        if (raiseIfDisconnected) throw EIdException(kNotConnectedText);
        return 0;
    }
    while (HasReceiveStream()) {
        if (!SourceReadable(timeout)) {
            if (raiseOnTimeout) throw EIdReadTimeout(kReadTimedOutText);
            return -1;
        }
        if (!opened_) {
            if (raiseIfDisconnected) throw EIdNotConnected(kNotConnectedText);
            // Asking again would get the same answer forever.
            return 0;
        }
        const std::size_t want = RecvBufferSize > 0 ? static_cast<std::size_t>(RecvBufferSize) : 1;
        const std::size_t n = std::min(ReadChunk(inputBuffer_.PrepareAppend(want), want), want);
        if (n > 0) {
            inputBuffer_.CommitAppend(n);
            return static_cast<int>(n);
        }
        closedGracefully_ = true;
    }
    return 0;
}

void TIdIOHandler::ReadBytes(void* out, std::size_t n) {
    while (inputBuffer_.Size() < n) {
        if (FillFromSource(true, -1, true) <= 0) throw EIdReadTimeout(kReadTimedOutText);
    }
    inputBuffer_.ExtractBytes(n, out);
}

// ---------------------------------------------------------------------------
// TIdIOHandlerStream

TIdIOHandlerStream::TIdIOHandlerStream(TStream* receiveStream, TStream* sendStream)
    : receiveStream_(receiveStream), sendStream_(sendStream) {
    ComputeStreamType();
}

TIdIOHandlerStream::~TIdIOHandlerStream() {
    if (FreeStreams) FreeOwnedStreams();
}

void TIdIOHandlerStream::ComputeStreamType() {
    if (receiveStream_ && !sendStream_)
        streamType_ = TIdIOHandlerStreamType::stRead;
    else if (sendStream_ && !receiveStream_)
        streamType_ = TIdIOHandlerStreamType::stWrite;
    else
        streamType_ = TIdIOHandlerStreamType::stReadWrite;
}

void TIdIOHandlerStream::FreeOwnedStreams() {
    if (sendStream_ != receiveStream_) delete sendStream_;
    delete receiveStream_;
    receiveStream_ = nullptr;
    sendStream_ = nullptr;
}

void TIdIOHandlerStream::Open() {
    TIdIOHandler::Open();
    sourceDry_ = false;
    if (OnGetStreams) OnGetStreams(*this, receiveStream_, sendStream_);
    ComputeStreamType();
}

void TIdIOHandlerStream::Close() {
    TIdIOHandler::Close();
    if (FreeStreams) FreeOwnedStreams();
}

bool TIdIOHandlerStream::SourceConnected() const {
    switch (streamType_) {
    case TIdIOHandlerStreamType::stRead: return receiveStream_ != nullptr;
    case TIdIOHandlerStreamType::stWrite: return sendStream_ != nullptr;
    case TIdIOHandlerStreamType::stReadWrite: return receiveStream_ != nullptr && sendStream_ != nullptr;
    }
    return false;
}

bool TIdIOHandlerStream::StreamHasMore() const {
    return receiveStream_ && !sourceDry_ && receiveStream_->Position() < receiveStream_->Size();
}

bool TIdIOHandlerStream::SourceReadable(int) { return StreamHasMore(); }

bool TIdIOHandlerStream::DataFollows() const { return InputBuffer().Size() > 0 || StreamHasMore(); }

std::size_t TIdIOHandlerStream::ReadChunk(char* buffer, std::size_t length) {
    if (!receiveStream_) return 0;
    const std::size_t n = receiveStream_->Read(buffer, std::min(kStreamChunk, length));
    // A stream whose size promises more than it delivers would otherwise be
    // asked forever.
    if (n == 0) sourceDry_ = true;
    return n;
}

void TIdIOHandlerStream::WriteDirect(const void* bytes, std::size_t n) {
    if (!sendStream_) throw EIdNotConnected(kNotConnectedText);
    sendStream_->Write(bytes, n);
}

// ---------------------------------------------------------------------------
// TIdIOHandlerStreamMsg

bool TIdIOHandlerStreamMsg::SourceReadable(int) {
    // Readable until the marker is out, even after the file is exhausted:
    // that last read is what produces the marker.
    return ReceiveStream() != nullptr && !markerAppended_;
}

bool TIdIOHandlerStreamMsg::DataFollows() const {
    if (fileBytesBuffered_ > InputBuffer().Consumed()) return true;
    return marker_.empty() && StreamHasMore();
}

std::size_t TIdIOHandlerStreamMsg::ReadChunk(char* buffer, std::size_t length) {
    if (markerAppended_) return 0;
    if (marker_.empty()) {
        const std::size_t n = TIdIOHandlerStream::ReadChunk(buffer, length);
        if (n > 0) {
            lastByteRead_ = static_cast<unsigned char>(buffer[n - 1]);
            fileBytesBuffered_ += n;
            return n;
        }
        // The marker closes an unterminated last line and adds the "." line.
        if (lastByteRead_ == '\n')
            marker_ = ".\r\n";
        else if (lastByteRead_ == '\r')
            marker_ = "\n.\r\n";
        else
            marker_ = "\r\n.\r\n";
    }
    const std::size_t k = std::min(length, marker_.size() - markerSent_);
    std::memcpy(buffer, marker_.data() + markerSent_, k);
    markerSent_ += k;
    if (markerSent_ == marker_.size()) markerAppended_ = true;
    return k;
}
