// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Where in a JSON text a field sits, so that a scenario mistake is reported
// with the line an operator has to fix. The JSON parser keeps no positions,
// so the already validated text is walked once more along the field's path.

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lqsim {

struct JsonPathStep {
    std::string key;
    size_t index = 0;
    bool isIndex = false;
};
using JsonPath = std::vector<JsonPathStep>;

JsonPath childPath(const JsonPath &parent, const std::string &key);
JsonPath elementPath(const JsonPath &parent, size_t index);

// "devices[1].ports_speed.a"; empty for the top level.
std::string jsonPathText(const JsonPath &path);
// The reverse, for paths that arrive as text. Best effort: keys holding '.'
// or '[' cannot be told apart from steps.
JsonPath parseJsonPathText(std::string_view text);

// 1-based line of the field at path in a valid JSON text: the line of its key
// for an object member, of its value for an array element, of the whole text
// for an empty path. When the field itself is absent (a missing member), the
// line of the nearest enclosing value that exists.
int jsonLineOf(std::string_view text, const JsonPath &path);
// 1-based line of a byte offset.
int lineAtOffset(std::string_view text, size_t offset);

} // namespace lqsim
