#include "reader/io/tcp_stream.h"

std::size_t TIdTCPStream::Read(void* buffer, std::size_t n) {
    ioHandler_.ReadBytes(buffer, n);
    return n;
}

void TIdTCPStream::Write(const void* buffer, std::size_t n) { ioHandler_.Write(buffer, n); }
