#pragma once
// A small JSON writer for --json output: objects and arrays written in
// order, strings escaped, no trailing commas.
#include <cstdint>
#include <string>
#include <vector>

namespace lumvek::tool {

class JsonWriter {
public:
    JsonWriter& beginObject(const std::string& key = {});
    JsonWriter& endObject();
    JsonWriter& beginArray(const std::string& key = {});
    JsonWriter& endArray();
    JsonWriter& value(const std::string& key, const std::string& text);
    JsonWriter& value(const std::string& key, const char* text) { return value(key, std::string(text)); }
    JsonWriter& value(const std::string& key, int64_t number);
    JsonWriter& value(const std::string& key, int number) { return value(key, static_cast<int64_t>(number)); }
    JsonWriter& value(const std::string& key, double number);
    JsonWriter& value(const std::string& key, bool flag);
    JsonWriter& null(const std::string& key);

    // The document with a final newline.
    [[nodiscard]] std::string text() const { return text_ + "\n"; }

    [[nodiscard]] static std::string quoted(const std::string& text);

private:
    void separate(const std::string& key);
    std::string text_;
    std::vector<bool> firstInScope_;  // one entry per open object or array
};

} // namespace lumvek::tool
