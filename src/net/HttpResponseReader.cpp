#include "net/HttpResponseReader.h"

#include <algorithm>
#include <cstring>

namespace tessaly {

void THttpResponseReader::Reset() {
    phase_ = TPhase::Header;
    lineLength_ = 0;
    relocationDone_ = false;
    closing_ = false;
    receivedHeader_.clear();
    statusCode_ = 0;
    reasonPhrase_.clear();
    contentLength_ = -1;
    contentType_.clear();
    relocation_ = false;
    location_.clear();
    wwwAuthenticate_.clear();
    docBytes_ = 0;
    docPieces_ = 0;
    chunked_ = false;
    chunk_ = TChunk::Size;
    chunkLeft_ = 0;
}

bool THttpResponseReader::AddLineByte(char c) {
    if (c == '\n') return true;
    if (lineLength_ == kLineBufferSize) throw EHttpException("HTTP line too long", kLineTooLong);
    line_[lineLength_++] = c;
    return false;
}

std::string_view THttpResponseReader::TakeLine(bool& cr) {
    size_t length = lineLength_;
    cr = length > 0 && line_[length - 1] == '\r';
    if (cr) --length;
    lineLength_ = 0;
    return std::string_view(line_, length);
}

THttpResponseReader::TAction THttpResponseReader::Feed(const char* data, size_t size) {
    if (closing_ || relocationDone_) return TAction::Close;
    if (phase_ == TPhase::Body) {
        BodyPiece(data, size);
        return Complete() ? TAction::Close : TAction::Continue;
    }
    for (size_t i = 0; i < size; ++i) {
        if (!AddLineByte(data[i])) continue;
        bool cr = false;
        const std::string_view line = TakeLine(cr);
        TAction action = HandleLine(line, cr ? "\r\n" : "\n", data + i + 1, size - i - 1);
        if (action == TAction::Close) {
            closing_ = true;
            return action;
        }
        if (phase_ == TPhase::Body) return Complete() ? TAction::Close : TAction::Continue;
    }
    return TAction::Continue;
}

THttpResponseReader::TAction THttpResponseReader::HandleLine(std::string_view line,
                                                             std::string_view ending,
                                                             const char* rest, size_t restSize) {
    if (line.empty()) {
        if (relocation_) {
            if (OnHeaderEnd) OnHeaderEnd();
            docBytes_ = 0;
            docPieces_ = 0;
            relocationDone_ = true;
            return TAction::Close;
        }
        phase_ = TPhase::Body;
        if (OnHeaderEnd) OnHeaderEnd();
        if (restSize > 0) BodyPiece(rest, restSize);
        return TAction::Continue;
    }
    if (UpperCase(line.substr(0, 6)) == "<HTML>") {
        // No header at all: the server went straight into the document. The line keeps
        // the end it arrived with, so the document is not altered.
        if (contentType_.empty()) contentType_ = "text/html";
        phase_ = TPhase::Body;
        chunked_ = false;
        std::string first(line);
        first.append(ending);
        BodyPiece(first.data(), first.size());
        if (restSize > 0) BodyPiece(rest, restSize);
        return TAction::Continue;
    }
    std::string text(line);
    receivedHeader_.push_back(text);
    std::string_view head = line.substr(0, 8);
    if (head == "HTTP/1.0" || head == "HTTP/1.1") {
        // Three digits, nothing else: a sign or a blank is not a status code.
        std::string digits = Copy(line, 10, 3);
        bool number = digits.size() == 3;
        for (char c : digits)
            number = number && c >= '0' && c <= '9';
        if (!number) throw EHttpException("HTTP status code is not a number", kBadStatus);
        statusCode_ = ParseIntOr(digits, 0);
        reasonPhrase_ = Copy(line, 14, static_cast<int64_t>(line.size()));
    } else if (size_t colon = line.find(':'); colon != std::string_view::npos) {
        std::string name = LowerCase(line.substr(0, colon));
        // The value follows the colon and its blanks.
        size_t start = colon + 1;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
            ++start;
        std::string value(line.substr(start));
        if (name == "location") {
            relocation_ = true;
            location_ = value;
        } else if (name == "content-length") {
            contentLength_ = ParseIntOr(Trim(value), -1);
        } else if (name == "content-type") {
            contentType_ = LowerCase(value);
        } else if (name == "transfer-encoding") {
            chunked_ = Pos("chunked", LowerCase(value)) > 0;
        } else if (name == "www-authenticate") {
            wwwAuthenticate_.push_back(value);
        }
    }
    if (statusCode_ >= 400) return TAction::Close;
    return TAction::Continue;
}

void THttpResponseReader::BodyPiece(const char* data, size_t size) {
    if (chunked_)
        ChunkedPiece(data, size);
    else
        Deliver(data, size);
}

void THttpResponseReader::ChunkedPiece(const char* data, size_t size) {
    size_t i = 0;
    while (i < size && chunk_ != TChunk::Done) {
        if (chunk_ == TChunk::Data) {
            const size_t n =
                static_cast<size_t>(std::min<int64_t>(chunkLeft_, static_cast<int64_t>(size - i)));
            Deliver(data + i, n);
            i += n;
            chunkLeft_ -= static_cast<int64_t>(n);
            if (chunkLeft_ == 0) chunk_ = TChunk::DataEnd;
            continue;
        }
        // Size lines, the line end after a chunk and trailer lines share the line buffer,
        // which the header no longer needs.
        if (!AddLineByte(data[i++])) continue;
        bool cr = false;
        ChunkLine(TakeLine(cr));
    }
}

void THttpResponseReader::ChunkLine(std::string_view line) {
    switch (chunk_) {
        case TChunk::DataEnd:
            if (!line.empty())
                throw EHttpException("HTTP chunk is longer than its size", kBadChunk);
            chunk_ = TChunk::Size;
            return;
        case TChunk::Trailer:
            if (line.empty()) chunk_ = TChunk::Done;
            return;
        case TChunk::Size: {
            // Hexadecimal digits, then optional extensions after a ";".
            const std::string digits = Trim(line.substr(0, line.find(';')));
            if (digits.empty()) throw EHttpException("HTTP chunk size is not a number", kBadChunk);
            int64_t value = 0;
            for (char c : digits) {
                int digit;
                if (c >= '0' && c <= '9')
                    digit = c - '0';
                else if (c >= 'a' && c <= 'f')
                    digit = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    digit = c - 'A' + 10;
                else
                    throw EHttpException("HTTP chunk size is not a number", kBadChunk);
                value = value * 16 + digit;
                // Checked at every digit, so the value never overflows.
                if (docBytes_ + value > kMaxDocumentSize) {
                    closing_ = true;
                    throw EHttpException("Document too large", kTooLarge);
                }
            }
            chunkLeft_ = value;
            chunk_ = value == 0 ? TChunk::Trailer : TChunk::Data;
            return;
        }
        case TChunk::Data:
        case TChunk::Done:
            return;
    }
}

void THttpResponseReader::Deliver(const char* data, size_t size) {
    if (size == 0) return;
    if (docBytes_ + static_cast<int64_t>(size) > kMaxDocumentSize) {
        closing_ = true;
        throw EHttpException("Document too large", kTooLarge);
    }
    if (docPieces_ == 0 && OnDocBegin) OnDocBegin();
    ++docPieces_;
    docBytes_ += static_cast<int64_t>(size);
    if (OnDocData) OnDocData(data, size);
}

}  // namespace tessaly
