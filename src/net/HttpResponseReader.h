// Reads an HTTP/1.0 answer from bytes as they arrive: the header line by line through an
// 8192-byte line buffer, then the body piece by piece. It knows nothing of sockets, so the
// client feeds it from the connection and tests and fuzzers feed it directly.
//
// Servers send "Transfer-Encoding: chunked" even to HTTP/1.0 clients; such a body is decoded
// here, so the document never holds chunk sizes, and it ends with its last chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/ByteString.h"

namespace tessaly {

// The HTTP layer's error: a message and a 16-bit code. The reader raises it for an answer it
// cannot take; the client, for a request it refuses at once (busy, nothing to post).
class EHttpException : public std::runtime_error {
  public:
    EHttpException(const std::string& message, uint16_t code)
        : std::runtime_error(message), errorCode_(code) {}
    uint16_t ErrorCode() const { return errorCode_; }

  private:
    uint16_t errorCode_;
};

class THttpResponseReader {
  public:
    static constexpr size_t kLineBufferSize = 8192;
    // A document beyond this size fails the request instead of exhausting memory.
    static constexpr int64_t kMaxDocumentSize = int64_t{64} * 1024 * 1024;
    // The codes of the errors Feed raises.
    static constexpr uint16_t kLineTooLong = 4;
    static constexpr uint16_t kBadStatus = 5;
    static constexpr uint16_t kBadChunk = 6;
    static constexpr uint16_t kTooLarge = 404;

    enum class TPhase { Header, Body };
    // What the connection should do after a Feed.
    enum class TAction { Continue, Close };

    // Events; each may be empty. Exceptions thrown by them pass out of Feed.
    std::function<void()> OnHeaderEnd;
    std::function<void()> OnDocBegin;
    std::function<void(const char* data, size_t size)> OnDocData;

    // Starts a fresh answer (the same reader serves every hop of a redirection).
    void Reset();

    // Hands received bytes over. Raises EHttpException "HTTP line too long" (kLineTooLong)
    // when a header line (or a chunk-size line) overflows the buffer, kBadStatus on a
    // status line whose code is not a number, kBadChunk on a chunked body that breaks its
    // framing, and kTooLarge when the document grows beyond kMaxDocumentSize. Returns Close
    // once nothing more is wanted: an error status, a relocation, the last chunk.
    TAction Feed(const char* data, size_t size);

    TPhase Phase() const { return phase_; }
    const TStrings& ReceivedHeader() const { return receivedHeader_; }
    int StatusCode() const { return statusCode_; }
    const std::string& ReasonPhrase() const { return reasonPhrase_; }
    int64_t ContentLength() const { return contentLength_; }
    const std::string& ContentType() const { return contentType_; }
    bool Relocation() const { return relocation_; }
    const std::string& Location() const { return location_; }
    const TStrings& WwwAuthenticate() const { return wwwAuthenticate_; }
    // The header ended with a relocation: the rest of the answer is to be dropped.
    bool RelocationPending() const { return relocationDone_; }
    bool Chunked() const { return chunked_; }
    // A chunked body has had its last chunk: the document is complete.
    bool Complete() const { return chunk_ == TChunk::Done; }
    // A chunked body still waiting for its last chunk: if the connection ends now, the
    // document is not whole.
    bool CutShort() const { return chunked_ && phase_ == TPhase::Body && !Complete(); }
    int64_t DocBytes() const { return docBytes_; }
    int64_t DocPieces() const { return docPieces_; }

  private:
    // Where a chunked body stands: a size line, the chunk's data, the line end after it,
    // the trailer lines after the last chunk, or done.
    enum class TChunk { Size, Data, DataEnd, Trailer, Done };

    TAction HandleLine(std::string_view line, std::string_view ending, const char* rest,
                       size_t restSize);
    void BodyPiece(const char* data, size_t size);
    void ChunkedPiece(const char* data, size_t size);
    void ChunkLine(std::string_view line);
    // Adds a received byte to the line buffer; true for the line feed that ends the line.
    // Throws when the line outgrows the buffer.
    bool AddLineByte(char c);
    // The buffered line without its line end (`cr`: it ended in CR LF); the buffer starts
    // the next line. The view lasts until the next byte is added.
    std::string_view TakeLine(bool& cr);
    void Deliver(const char* data, size_t size);

    TPhase phase_ = TPhase::Header;
    char line_[kLineBufferSize];
    size_t lineLength_ = 0;
    bool relocationDone_ = false;
    bool closing_ = false;
    TStrings receivedHeader_;
    int statusCode_ = 0;
    std::string reasonPhrase_;
    int64_t contentLength_ = -1;
    std::string contentType_;
    bool relocation_ = false;
    std::string location_;
    TStrings wwwAuthenticate_;
    int64_t docBytes_ = 0;
    int64_t docPieces_ = 0;
    bool chunked_ = false;
    TChunk chunk_ = TChunk::Size;
    int64_t chunkLeft_ = 0;
};

}  // namespace tessaly
