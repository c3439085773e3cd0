// Arbitrary bytes as a container (list and unpack every member) and as raw streams of each
// method: errors are fine, crashes, hangs and reads out of bounds are not.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/Packer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto discard = [](const char*, std::size_t) {};
    try {
        for (const auto& m : tessaly::ParseContainer(bytes)) {
            try {
                tessaly::UnpackMember(bytes, m, discard);
            } catch (const tessaly::EPackerError&) {
            }
        }
    } catch (const tessaly::EPackerError&) {
    }
    const std::uint64_t want = size ? data[0] * 97u : 0;
    try {
        tessaly::Lh5Unpack(bytes, want, discard);
    } catch (const tessaly::EPackerError&) {
    }
    try {
        tessaly::LzhUnpack(bytes, want, discard);
    } catch (const tessaly::EPackerError&) {
    }
    tessaly::RleUnpack(bytes, want, discard);
    return 0;
}
