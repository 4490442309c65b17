#include "report/report_page.h"

#include <filesystem>

#include <nlohmann/json.hpp>

#include "report_page_text.h"  // generated from report_page.{html,css,js}
#include "engine/formats/sample_rates.h"
#include "engine/scan/scanner.h"
#include "engine/brr/brr_block.h"
#include "engine/formats/wav_header.h"

namespace {

using Json = nlohmann::ordered_json;

size_t Base64Size(size_t bytes) { return (bytes + 2) / 3 * 4; }

// Appends the encoding to text, which has room for it: the blocks of a
// large image are encoded once, straight into the page.
void AppendBase64(std::string& text, const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) text += kDigits[(group >> shift) & 63];
    }
    size_t left = bytes.size() - i;
    if (left > 0) {
        uint32_t group = bytes[i] << 16 | (left == 2 ? bytes[i + 1] << 8 : 0);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += left == 2 ? kDigits[(group >> 6) & 63] : '=';
        text += '=';
    }
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

// Serialises for a <script> element. '<', '>' and '&' only occur inside
// JSON strings, where their \u escapes mean the same, so nothing from a
// file name can close the element or open a comment. Bytes that are not
// UTF-8 (file names need not be) become U+FFFD.
std::string ScriptSafeJson(const Json& value) {
    std::string json = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string out;
    out.reserve(json.size());
    for (char c : json) {
        if (c == '<') out += "\\u003c";
        else if (c == '>') out += "\\u003e";
        else if (c == '&') out += "\\u0026";
        else out += c;
    }
    return out;
}

// The text as valid UTF-8, for the places outside JSON.
std::string ValidUtf8(const std::string& text) {
    return Json::parse(Json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)).get<std::string>();
}

Json PageData(const Report& report, const std::string& romName) {
    Json samples = Json::array();
    for (const ReportSample& sample : report.samples) {
        Json row = {{"start", sample.start},
                    {"end", sample.end},
                    {"blocks", BlocksInRun(sample.start, sample.end)},
                    {"loop", sample.loop},
                    {"brrOffset", sample.brrOffset},
                    {"specBytes", sample.specBytes},
                    {"name", sample.name},
                    {"file", sample.saved ? Json(sample.name + ".wav") : Json(nullptr)},
                    {"saved", sample.saved}};
        for (const auto& fact : sample.facts.items()) row[fact.key()] = fact.value();
        samples.push_back(row);
    }
    Json data = {{"rom", {{"name", romName}, {"path", report.romPath}, {"size", report.romSize}}},
                 {"rate", report.rate},
                 {"rates", std::vector<int32_t>(kRates, kRates + kRateCount)},
                 {"minRunBytes", report.minRunBytes},
                 {"runsFound", report.runsFound},
                 {"notStoredLimit", report.notStoredLimit},
                 {"notStoredMemory", report.notStoredMemory},
                 {"maxSamples", kMaxSamples},
                 // One WAVE file cannot describe more; the page then offers no
                 // "all samples" download.
                 {"allInOneBytes", report.allInOneBytes},
                 {"allInOneFits", FitsOneWavFile(report.allInOneBytes)},
                 {"isSpc", report.isSpc},
                 {"decoder", report.decoder}};
    for (const auto& field : report.setFields.items()) data[field.key()] = field.value();
    data["samples"] = samples;
    return data;
}

// Replaces every {{NAME}} of the template in one pass, so that nothing a
// value brings in is ever read as a placeholder; {{BRR}} takes the blocks'
// encoding, made in place.
std::string Fill(const std::string& page, const std::vector<std::pair<std::string, std::string>>& values,
                 const std::vector<uint8_t>& brr) {
    std::string out;
    size_t room = page.size() + Base64Size(brr.size());
    for (const auto& pair : values) room += pair.second.size();
    out.reserve(room);
    size_t at = 0;
    for (size_t open; (open = page.find("{{", at)) != std::string::npos;) {
        size_t close = page.find("}}", open);
        if (close == std::string::npos) break;
        std::string name = page.substr(open + 2, close - open - 2);
        const std::string* value = nullptr;
        for (const auto& pair : values)
            if (pair.first == name) value = &pair.second;
        out.append(page, at, open - at);
        if (value) out += *value;
        else if (name == "BRR") AppendBase64(out, brr);
        else out.append(page, open, close + 2 - open);
        at = close + 2;
    }
    out.append(page, at, std::string::npos);
    return out;
}

}  // namespace

std::string BuildReportPage(const Report& report) {
    // u8path: on Windows the narrow string would otherwise be read in the ANSI code page.
    std::string romName = ValidUtf8(std::filesystem::u8path(report.romPath).filename().u8string());
    return Fill(kReportPageHtml, {{"TITLE", EscapeHtml(romName)},
                                  {"STYLE", kReportPageCss},
                                  {"DATA", ScriptSafeJson(PageData(report, romName))},
                                  {"SCRIPT", kReportPageJs}},
                report.brr);
}
