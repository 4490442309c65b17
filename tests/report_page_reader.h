// Reads back what a report page embeds: its data as JSON and its BRR blocks, with
// a Base64 decoder of the tests' own.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/test_support.h"

// Text between the end of open and the next close; empty when absent.
std::string Between(const std::string& text, const std::string& open, const std::string& close);
Bytes DecodeBase64(const std::string& text);
// How often what occurs in text.
size_t Count(const std::string& text, const std::string& what);

nlohmann::json PageData(const std::string& page);
std::string PageBrrText(const std::string& page);
Bytes PageBrr(const std::string& page);
