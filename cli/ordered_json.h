// The JSON that listings and the page data are written as: keys stay in the
// order they were added, so that output is stable and reads as documented.
#pragma once

#include <nlohmann/json.hpp>

using OrderedJson = nlohmann::ordered_json;
