// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A minimal JSON walker that finds where a path's field starts.

#include "jsonlocation.h"

#include <cstdint>

namespace lqsim {

namespace {

constexpr size_t kNotFound = std::string_view::npos;

class Walker {
public:
    explicit Walker(std::string_view text) : m_text(text) {}

    // Offset of the field, or of the deepest ancestor that exists.
    size_t find(const JsonPath &path)
    {
        m_pos = 0;
        skipSpace();
        m_best = m_pos;
        const size_t found = findIn(path, 0);
        return found == kNotFound ? m_best : found;
    }

private:
    char peek() const { return m_pos < m_text.size() ? m_text[m_pos] : '\0'; }

    void skipSpace()
    {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r'))
            ++m_pos;
    }

    bool expect(char c)
    {
        skipSpace();
        if (peek() != c)
            return false;
        ++m_pos;
        skipSpace();
        return true;
    }

    static void appendUtf8(std::string *out, uint32_t c)
    {
        if (c < 0x80) {
            *out += char(c);
        } else if (c < 0x800) {
            *out += char(0xC0 | (c >> 6));
            *out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out += char(0xE0 | (c >> 12));
            *out += char(0x80 | ((c >> 6) & 0x3F));
            *out += char(0x80 | (c & 0x3F));
        } else {
            *out += char(0xF0 | (c >> 18));
            *out += char(0x80 | ((c >> 12) & 0x3F));
            *out += char(0x80 | ((c >> 6) & 0x3F));
            *out += char(0x80 | (c & 0x3F));
        }
    }

    bool readHex4(uint32_t *out)
    {
        if (m_pos + 4 > m_text.size())
            return false;
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= uint32_t(c - 'A' + 10);
            else
                return false;
        }
        *out = value;
        return true;
    }

    // Decodes escapes, because the key we look for arrives decoded.
    bool readString(std::string *out)
    {
        if (peek() != '"')
            return false;
        ++m_pos;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"')
                return true;
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                return false;
            const char e = m_text[m_pos++];
            switch (e) {
            case 'b':
                *out += '\b';
                break;
            case 'f':
                *out += '\f';
                break;
            case 'n':
                *out += '\n';
                break;
            case 'r':
                *out += '\r';
                break;
            case 't':
                *out += '\t';
                break;
            case 'u': {
                uint32_t c1 = 0;
                if (!readHex4(&c1))
                    return false;
                if (c1 >= 0xD800 && c1 <= 0xDBFF && m_text.substr(m_pos, 2) == "\\u") {
                    m_pos += 2;
                    uint32_t c2 = 0;
                    if (!readHex4(&c2))
                        return false;
                    c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                }
                appendUtf8(out, c1);
                break;
            }
            default:
                *out += e;
                break;
            }
        }
        return false;
    }

    bool skipValue()
    {
        skipSpace();
        const char c = peek();
        if (c == '"') {
            std::string ignored;
            return readString(&ignored);
        }
        if (c == '{' || c == '[') {
            const char close = c == '{' ? '}' : ']';
            ++m_pos;
            skipSpace();
            if (peek() == close) {
                ++m_pos;
                return true;
            }
            for (;;) {
                if (c == '{') {
                    std::string ignored;
                    if (!readString(&ignored) || !expect(':'))
                        return false;
                }
                if (!skipValue())
                    return false;
                skipSpace();
                if (peek() == close) {
                    ++m_pos;
                    return true;
                }
                if (!expect(','))
                    return false;
            }
        }
        const size_t start = m_pos;
        while (m_pos < m_text.size()) {
            const char d = m_text[m_pos];
            if (d == ',' || d == '}' || d == ']' || d == ' ' || d == '\t' || d == '\n' || d == '\r')
                break;
            ++m_pos;
        }
        return m_pos > start;
    }

    size_t findIn(const JsonPath &path, size_t depth)
    {
        if (depth == path.size())
            return m_pos;
        m_best = m_pos;
        const JsonPathStep &step = path[depth];
        if (peek() == '{' && !step.isIndex) {
            ++m_pos;
            skipSpace();
            if (peek() == '}')
                return kNotFound;
            for (;;) {
                const size_t keyAt = m_pos;
                std::string key;
                if (!readString(&key) || !expect(':'))
                    return kNotFound;
                if (key == step.key) {
                    if (depth + 1 == path.size())
                        return keyAt;
                    return findIn(path, depth + 1);
                }
                if (!skipValue())
                    return kNotFound;
                skipSpace();
                if (!expect(','))
                    return kNotFound;
            }
        }
        if (peek() == '[' && step.isIndex) {
            ++m_pos;
            skipSpace();
            for (size_t i = 0; peek() != ']'; ++i) {
                if (i == step.index)
                    return findIn(path, depth + 1);
                if (!skipValue())
                    return kNotFound;
                skipSpace();
                if (!expect(','))
                    return kNotFound;
            }
        }
        return kNotFound;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_best = 0;
};

} // namespace

JsonPath childPath(const JsonPath &parent, const std::string &key)
{
    JsonPath path = parent;
    path.push_back({key, 0, false});
    return path;
}

JsonPath elementPath(const JsonPath &parent, size_t index)
{
    JsonPath path = parent;
    path.push_back({std::string(), index, true});
    return path;
}

std::string jsonPathText(const JsonPath &path)
{
    std::string text;
    for (const JsonPathStep &step : path) {
        if (step.isIndex) {
            text += '[' + std::to_string(step.index) + ']';
        } else {
            if (!text.empty())
                text += '.';
            text += step.key;
        }
    }
    return text;
}

JsonPath parseJsonPathText(std::string_view text)
{
    JsonPath path;
    std::string key;
    size_t i = 0;
    auto flushKey = [&] {
        if (!key.empty())
            path.push_back({key, 0, false});
        key.clear();
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '.') {
            flushKey();
            ++i;
        } else if (c == '[') {
            flushKey();
            size_t index = 0;
            ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                index = index * 10 + size_t(text[i++] - '0');
            if (i < text.size() && text[i] == ']')
                ++i;
            path.push_back({std::string(), index, true});
        } else {
            key += c;
            ++i;
        }
    }
    flushKey();
    return path;
}

int lineAtOffset(std::string_view text, size_t offset)
{
    if (offset > text.size())
        offset = text.size();
    int line = 1;
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n')
            ++line;
    }
    return line;
}

int jsonLineOf(std::string_view text, const JsonPath &path)
{
    return lineAtOffset(text, Walker(text).find(path));
}

} // namespace lqsim
