// Arbitrary server answers fed to the HTTP response reader in pieces of varying size.
// Beyond not crashing, the reader must account for every document byte it hands over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/HttpResponseReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the piece size, as a socket would cut the stream.
    size_t piece = 1 + data[0] % 64;
    ++data;
    --size;
    tessaly::THttpResponseReader reader;
    std::string document;
    int64_t pieces = 0;
    reader.OnDocData = [&](const char* d, size_t n) {
        if (n == 0) abort();
        document.append(d, n);
        ++pieces;
    };
    bool closed = false;
    for (size_t at = 0; at < size && !closed; at += piece) {
        size_t n = size - at < piece ? size - at : piece;
        try {
            closed = reader.Feed(reinterpret_cast<const char*>(data) + at, n) ==
                     tessaly::THttpResponseReader::TAction::Close;
        } catch (const tessaly::EHttpException&) {
            closed = true;
        }
    }
    if (reader.DocBytes() != static_cast<int64_t>(document.size())) abort();
    if (reader.DocPieces() != pieces) abort();
    if (reader.Phase() == tessaly::THttpResponseReader::TPhase::Header && !document.empty())
        abort();
    if (reader.StatusCode() < 0 || reader.StatusCode() > 999) abort();
    return 0;
}
