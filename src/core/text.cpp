#include "core/text.h"

#include <charconv>

namespace sv {

namespace {

std::string padded(std::uint64_t magnitude, int digits, int base) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, base);
    std::string number(buffer, result.ptr);
    for (char& c : number) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    if (static_cast<int>(number.size()) < digits) {
        number.insert(0, static_cast<std::size_t>(digits) - number.size(), '0');
    }
    return number;
}

}  // namespace

void appendZeroPadded(std::string& text, long value, int digits) {
    auto magnitude = value < 0 ? 0 - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    // Written from the last digit back: a load writes a sector field, three numbers, per sector.
    char buffer[24];
    char* first = buffer + sizeof buffer;
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) {
        text += '-';
    }
    const auto length = static_cast<int>(buffer + sizeof buffer - first);
    if (length < digits) {
        text.append(static_cast<std::size_t>(digits - length), '0');
    }
    text.append(first, static_cast<std::size_t>(length));
}

std::string zeroPadded(long value, int digits) {
    std::string text;
    appendZeroPadded(text, value, digits);
    return text;
}

std::string hexPadded(std::uint64_t value, int digits) { return padded(value, digits, 16); }

std::string hexField(std::uint64_t value, int digits) {
    if (digits <= 0) {
        return {};
    }
    const std::uint64_t kept = digits >= 16 ? value : value & ((std::uint64_t{1} << (4 * digits)) - 1);
    return padded(kept, digits, 16);
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += hexField(b, 2);
    }
    return text;
}

std::string padRight(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string textOf(std::span<const std::uint8_t> bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string unixLines(std::string_view text, LoneCarriageReturn loneCr) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        } else {
            out += loneCr == LoneCarriageReturn::EndsLine ? '\n' : '\r';
        }
    }
    return out;
}

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

}  // namespace sv
