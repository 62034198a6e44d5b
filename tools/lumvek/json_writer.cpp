#include "json_writer.h"

#include <cmath>
#include <cstdio>

namespace lumvek::tool {

std::string JsonWriter::quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonWriter::separate(const std::string& key) {
    if (!firstInScope_.empty()) {
        if (!firstInScope_.back()) text_ += ",";
        firstInScope_.back() = false;
    }
    if (!key.empty()) text_ += quoted(key) + ":";
}

JsonWriter& JsonWriter::beginObject(const std::string& key) {
    separate(key);
    text_ += "{";
    firstInScope_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    text_ += "}";
    firstInScope_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray(const std::string& key) {
    separate(key);
    text_ += "[";
    firstInScope_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    text_ += "]";
    firstInScope_.pop_back();
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& key, const std::string& text) {
    separate(key);
    text_ += quoted(text);
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& key, int64_t number) {
    separate(key);
    text_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& key, double number) {
    separate(key);
    if (!std::isfinite(number)) {
        text_ += "null";
        return *this;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", number);
    text_ += buffer;
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& key, bool flag) {
    separate(key);
    text_ += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null(const std::string& key) {
    separate(key);
    text_ += "null";
    return *this;
}

} // namespace lumvek::tool
