#include "device/frame.h"

namespace frame {

namespace {

uint16_t rotl16(uint16_t v, unsigned s) { return s ? static_cast<uint16_t>((v << s) | (v >> (16 - s))) : v; }
uint16_t rotr16(uint16_t v, unsigned s) { return s ? static_cast<uint16_t>((v >> s) | (v << (16 - s))) : v; }

template <class Rotate>
void rotateWords(uint8_t* payload, size_t n, uint16_t random, Rotate rotate)
{
    const unsigned s = random & 0x0F;
    for (size_t k = 0; k + 1 < n; k += 2) {
        const uint16_t word = static_cast<uint16_t>(payload[k] | (payload[k + 1] << 8));
        const uint16_t out = rotate(word, s);
        payload[k] = static_cast<uint8_t>(out & 0xFF);
        payload[k + 1] = static_cast<uint8_t>(out >> 8);
    }
}

}  // namespace

uint16_t checksum(uint8_t length, uint8_t type, uint16_t random, const uint8_t* plain, size_t n)
{
    uint16_t sum = static_cast<uint16_t>(length + type + 1 + (random & 0xFF) + (random >> 8));
    for (size_t i = 0; i < n; ++i)
        sum = static_cast<uint16_t>(sum + plain[i]);
    return sum;
}

void scramble(uint8_t* payload, size_t n, uint16_t random) { rotateWords(payload, n, random, rotl16); }

void unscramble(uint8_t* payload, size_t n, uint16_t random) { rotateWords(payload, n, random, rotr16); }

std::vector<uint8_t> encode(uint8_t type, uint16_t random, const uint8_t* plain, size_t n)
{
    if (n > kMaxPayload)
        n = kMaxPayload;
    const uint8_t length = static_cast<uint8_t>(n + 2);
    const uint16_t q = checksum(length, type, random, plain, n);
    std::vector<uint8_t> out;
    out.reserve(n + 8);
    out.insert(out.end(), {kStart1, kStart2, length, type, static_cast<uint8_t>(random >> 8),
                           static_cast<uint8_t>(random & 0xFF)});
    out.insert(out.end(), plain, plain + n);
    scramble(out.data() + 6, n, random);
    out.push_back(static_cast<uint8_t>(q >> 8));
    out.push_back(static_cast<uint8_t>(q & 0xFF));
    return out;
}

std::optional<Decoded> decode(const uint8_t* bytes, size_t size, size_t* used)
{
    if (size < 6 || bytes[0] != kStart1 || bytes[1] != kStart2)
        return std::nullopt;
    const uint8_t length = bytes[2];
    if (length < 2 || size < 6 + static_cast<size_t>(length))
        return std::nullopt;
    Decoded d;
    d.type = bytes[3];
    d.random = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    const size_t n = length - 2u;
    d.payload.assign(bytes + 6, bytes + 6 + n);
    unscramble(d.payload.data(), n, d.random);
    const uint16_t q = static_cast<uint16_t>((bytes[6 + n] << 8) | bytes[7 + n]);
    if (q != checksum(length, d.type, d.random, d.payload.data(), n))
        return std::nullopt;
    if (used)
        *used = 6 + n + 2;
    return d;
}

}  // namespace frame
