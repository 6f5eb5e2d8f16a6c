#pragma once
// The line reader: every line of a mail file reaches the system through it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/io/id_buffer.h"
#include "reader/io/stream.h"

enum class TIdMaxLineAction { maException = 0, maSplit = 1 };
enum class TIdIOHandlerStreamType { stRead = 0, stWrite = 1, stReadWrite = 2 };

class TIdIOHandler {
public:
    virtual ~TIdIOHandler() = default;

    int MaxLineLength = 16384;
    TIdMaxLineAction MaxLineAction = TIdMaxLineAction::maException;
    int RecvBufferSize = 32768;
    int ReadTimeout = -1;
    int CapturedLinesLimit = -1;

    bool Opened() const { return opened_; }
    bool ClosedGracefully() const { return closedGracefully_; }
    bool LineSplit() const { return lineSplit_; }
    bool LineTimedOut() const { return lineTimedOut_; }

    virtual void Open();
    virtual void Close();

    std::string ReadLine(std::string_view terminator = "\n", int timeout = -1, int maxLength = -1);
    // ReadLine into a string the caller reuses: the hot path of decoders.
    void ReadLineInto(std::string& line, std::string_view terminator = "\n", int timeout = -1,
                      int maxLength = -1);
    std::string ReadLnRFC(bool& msgEnd, std::string_view terminator = "\n", std::string_view delimiter = ".");
    void ReadLnRFCInto(std::string& line, bool& msgEnd, std::string_view terminator = "\n",
                       std::string_view delimiter = ".");
    int FillFromSource(bool raiseIfDisconnected, int timeout, bool raiseOnTimeout);
    // Exactly n bytes, refilling as needed; EIdReadTimeout when the source ends first.
    void ReadBytes(void* out, std::size_t n);
    // The write side; loading never writes.
    void Write(const void* bytes, std::size_t n) { WriteDirect(bytes, n); }

    TIdBuffer& InputBuffer() { return inputBuffer_; }
    const TIdBuffer& InputBuffer() const { return inputBuffer_; }

    // Bytes examined by terminator searches so far: each byte once.
    std::uint64_t BytesScanned() const { return bytesScanned_; }

    // Whether any of the source's own data is left beyond the lines handed
    // out. A lone "." ends the message only when none is: where a line falls
    // in the chunks must not decide whether the rest of a mail is read.
    virtual bool DataFollows() const { return inputBuffer_.Size() > 0; }

protected:
    virtual bool SourceReadable(int timeout) = 0;
    virtual std::size_t ReadChunk(char* buffer, std::size_t length) = 0;
    virtual bool SourceConnected() const = 0;
    virtual bool HasReceiveStream() const = 0;
    // Without a write side this raises EIdNotConnected.
    virtual void WriteDirect(const void* bytes, std::size_t n);

private:
    // Index, from the head, of the first terminator in the input buffer, or
    // -1. Resumes where the previous search for the same terminator stopped.
    std::ptrdiff_t FindTerminator(std::string_view terminator);

    TIdBuffer inputBuffer_;
    // Search state in stream offsets (see TIdBuffer::Consumed): no terminator
    // starts before searchFrom_; foundAt_ is one already seen, or -1.
    std::string searchTerminator_;
    std::uint64_t searchFrom_ = 0;
    std::int64_t foundAt_ = -1;
    bool opened_ = false;
    bool closedGracefully_ = false;
    bool lineSplit_ = false;
    bool lineTimedOut_ = false;
    std::uint64_t bytesScanned_ = 0;
};

class TIdIOHandlerStream : public TIdIOHandler {
public:
    // Streams are borrowed when FreeStreams is false, owned otherwise.
    TIdIOHandlerStream(TStream* receiveStream, TStream* sendStream = nullptr);
    ~TIdIOHandlerStream() override;

    bool FreeStreams = true;
    TIdIOHandlerStreamType StreamType() const { return streamType_; }
    TStream* ReceiveStream() const { return receiveStream_; }
    TStream* SendStream() const { return sendStream_; }
    std::function<void(TIdIOHandlerStream&, TStream*&, TStream*&)> OnGetStreams;

    void Open() override;
    void Close() override;
    bool DataFollows() const override;

protected:
    // The receive stream still has bytes to deliver.
    bool StreamHasMore() const;
    bool SourceReadable(int timeout) override;
    std::size_t ReadChunk(char* buffer, std::size_t length) override;
    bool SourceConnected() const override;
    bool HasReceiveStream() const override { return receiveStream_ != nullptr; }
    void WriteDirect(const void* bytes, std::size_t n) override;

private:
    void ComputeStreamType();
    void FreeOwnedStreams();

    TStream* receiveStream_;
    TStream* sendStream_;
    TIdIOHandlerStreamType streamType_ = TIdIOHandlerStreamType::stReadWrite;
    // The receive stream delivered nothing although it claimed more data.
    bool sourceDry_ = false;
};

// Makes a plain file look like a transmitted message that ends with the
// end-of-data line ".".
class TIdIOHandlerStreamMsg : public TIdIOHandlerStream {
public:
    using TIdIOHandlerStream::TIdIOHandlerStream;

    bool MarkerAppended() const { return markerAppended_; }
    unsigned char LastByteRead() const { return lastByteRead_; }
    // The end-of-data marker is not data of the file.
    bool DataFollows() const override;

protected:
    bool SourceReadable(int timeout) override;
    std::size_t ReadChunk(char* buffer, std::size_t length) override;

private:
    bool markerAppended_ = false;
    unsigned char lastByteRead_ = 0;
    // Bytes of the file itself put into the input buffer; they precede the marker.
    std::uint64_t fileBytesBuffered_ = 0;
    // The marker being handed out; it may span chunks smaller than itself.
    std::string_view marker_;
    std::size_t markerSent_ = 0;
};
