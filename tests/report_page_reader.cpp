#include "tests/report_page_reader.h"

#include <cstdint>

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
    size_t from = text.find(open);
    if (from == std::string::npos) return "";
    from += open.size();
    size_t to = text.find(close, from);
    return to == std::string::npos ? "" : text.substr(from, to - from);
}

Bytes DecodeBase64(const std::string& text) {
    auto digit = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;  // '=' padding
    };
    Bytes out;
    uint32_t group = 0;
    int bits = 0;
    for (char c : text) {
        int value = digit(c);
        if (value < 0) break;
        group = group << 6 | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<uint8_t>(group >> bits));
        }
    }
    return out;
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

nlohmann::json PageData(const std::string& page) {
    return nlohmann::json::parse(Between(page, "<script type=\"application/json\" id=\"report-data\">", "</script>"));
}

std::string PageBrrText(const std::string& page) {
    return Between(page, "<script type=\"application/octet-stream\" id=\"report-brr\">", "</script>");
}

Bytes PageBrr(const std::string& page) { return DecodeBase64(PageBrrText(page)); }
