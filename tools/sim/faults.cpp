#include "sim/faults.h"

#include <algorithm>
#include <charconv>

namespace sim {

namespace {

struct KindName {
    FaultKind kind;
    const char* name;
};
constexpr KindName kKinds[] = {
    {FaultKind::NoReply, "noreply"},     {FaultKind::BadChecksum, "checksum"},
    {FaultKind::Garbage, "garbage"},     {FaultKind::Split, "split"},
    {FaultKind::WrongType, "wrongtype"}, {FaultKind::UnknownDevice, "unknown-device"},
    {FaultKind::Stall, "stall"},         {FaultKind::HangUp, "hangup"},
    {FaultKind::Damage, "damage"},       {FaultKind::Noise, "noise"},
    {FaultKind::Twin, "twin"},
};

// Options and their largest values.
struct OptionLimit {
    const char* name;
    unsigned long most;
};
constexpr OptionLimit kOptionLimits[] = {
    {"gap", 600000},  {"bytes", 64}, {"back", 600000}, {"times", 600000}, {"byte", 262},
    {"xor", 0xFF},    {"ppm", 1000000}, {"seed", 0xFFFFFFFFul}, {"reply", 1},
};

bool parseNumber(std::string_view text, unsigned long& out)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseHexByte(std::string_view text, uint8_t& out)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    unsigned long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 0xFF)
        return false;
    out = static_cast<uint8_t>(v);
    return true;
}

std::optional<FaultRule> fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return std::nullopt;
}

} // namespace

const char* faultKindName(FaultKind kind)
{
    for (const auto& k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "?";
}

bool faultMatches(const FaultRule& rule, unsigned count, uint8_t type, uint8_t command)
{
    switch (rule.when) {
    case FaultWhen::Always:
        return true;
    case FaultWhen::NthRequest:
        return count == rule.nth;
    case FaultWhen::Command:
        return type == 2 && command == rule.code;
    case FaultWhen::FrameType:
        return type == rule.code;
    }
    return false;
}

std::optional<FaultRule> parseFault(std::string_view text, std::string* error)
{
    FaultRule rule;
    std::string_view head = text.substr(0, text.find(','));
    std::string_view options = head.size() < text.size() ? text.substr(head.size() + 1) : std::string_view();
    const size_t at = head.find('@');
    const std::string_view kind = head.substr(0, at);
    bool known = false;
    for (const auto& k : kKinds) {
        if (kind == k.name) {
            rule.kind = k.kind;
            known = true;
        }
    }
    if (!known)
        return fail(error, "unknown fault kind '" + std::string(kind) + "'");
    if (at != std::string_view::npos) {
        const std::string_view when = head.substr(at + 1);
        unsigned long n = 0;
        if (when == "always") {
            rule.when = FaultWhen::Always;
        } else if (when.substr(0, 4) == "cmd=") {
            rule.when = FaultWhen::Command;
            if (!parseHexByte(when.substr(4), rule.code))
                return fail(error, "bad command code in '" + std::string(when) + "'");
        } else if (when.substr(0, 5) == "type=") {
            rule.when = FaultWhen::FrameType;
            if (!parseHexByte(when.substr(5), rule.code))
                return fail(error, "bad frame type in '" + std::string(when) + "'");
        } else if (parseNumber(when, n) && n > 0 && n <= 0xFFFFFFFFul) {
            rule.when = FaultWhen::NthRequest;
            rule.nth = static_cast<unsigned>(n);
        } else {
            return fail(error, "bad trigger '" + std::string(when) + "'");
        }
    }
    while (!options.empty()) {
        const std::string_view option = options.substr(0, options.find(','));
        options = option.size() < options.size() ? options.substr(option.size() + 1) : std::string_view();
        const size_t eq = option.find('=');
        unsigned long v = 0;
        if (eq == std::string_view::npos || !parseNumber(option.substr(eq + 1), v))
            return fail(error, "bad option '" + std::string(option) + "'");
        const std::string_view name = option.substr(0, eq);
        for (const OptionLimit& limit : kOptionLimits)
            if (name == limit.name && v > limit.most)
                return fail(error, "option '" + std::string(option) + "' is out of range");
        if (name == "gap") {
            rule.gapMs = static_cast<unsigned>(v);
        } else if (name == "bytes") {
            // Up to three bytes can be resynchronised by a receiver that looks for the start byte
            // within the first four; more shows how it fails.
            if (v < 1 || v > 64)
                return fail(error, "garbage bytes must be 1 to 64");
            rule.garbageBytes = static_cast<unsigned>(v);
        } else if (name == "back") {
            rule.backAfterMs = static_cast<int>(v);
        } else if (name == "times") {
            rule.times = static_cast<unsigned>(v);
        } else if (name == "byte") {
            rule.byteIndex = static_cast<unsigned>(v);
        } else if (name == "xor") {
            if (v == 0)
                return fail(error, "xor must flip at least one bit");
            rule.xorMask = static_cast<uint8_t>(v);
        } else if (name == "ppm") {
            rule.ppm = static_cast<unsigned>(v);
        } else if (name == "seed") {
            rule.seed = static_cast<uint32_t>(v);
        } else if (name == "reply") {
            rule.reply = v != 0;
        } else {
            return fail(error, "unknown option '" + std::string(name) + "'");
        }
    }
    return rule;
}

bool twinDamage(std::vector<uint8_t>& payload, size_t first)
{
    // One byte up and a later one down by the same amount, neither wrapping: the plain sum, and
    // with it the checksum, is what it was.
    for (size_t i = first; i < payload.size(); ++i) {
        for (size_t j = i + 1; j < payload.size(); ++j) {
            const unsigned up = std::min(255u - payload[i], static_cast<unsigned>(payload[j]));
            const unsigned down = std::min(static_cast<unsigned>(payload[i]), 255u - payload[j]);
            if (up == 0 && down == 0)
                continue;
            const int d = up > 0 ? 1 : -1;
            payload[i] = static_cast<uint8_t>(payload[i] + d);
            payload[j] = static_cast<uint8_t>(payload[j] - d);
            return true;
        }
    }
    return false;
}

void LineNoise::reset(unsigned ppm, uint32_t seed)
{
    ppm_ = ppm;
    state_ = seed * 0x9E3779B97F4A7C15ull + 1;
}

uint32_t LineNoise::next()
{
    // xorshift64*: cheap, and the same seed always damages the same bytes.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

size_t LineNoise::apply(uint8_t* bytes, size_t size)
{
    if (ppm_ == 0)
        return 0;
    size_t damaged = 0;
    for (size_t i = 0; i < size; ++i) {
        if (next() % 1000000u >= ppm_)
            continue;
        bytes[i] ^= static_cast<uint8_t>(1u + next() % 255u); // never zero: the byte does change
        ++damaged;
    }
    return damaged;
}

} // namespace sim
