#include "command_line.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "failure.h"

namespace lumvek::tool {

namespace {
const OptionSpec* findLong(std::span<const OptionSpec> specs, const std::string& name) {
    for (const auto& option : specs) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

const OptionSpec* findShort(std::span<const OptionSpec> specs, char name) {
    for (const auto& option : specs) {
        if (option.shortName != 0 && option.shortName == name) return &option;
    }
    return nullptr;
}
} // namespace

std::optional<std::string> ParsedArgs::value(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

ParsedArgs parseArgs(const std::vector<std::string>& args, std::span<const OptionSpec> specs,
                     const std::string& command) {
    ParsedArgs parsed;
    bool operandsOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (operandsOnly || word.size() < 2 || word[0] != '-' || parseInteger(word)) {
            parsed.operands.push_back(word);
            continue;
        }
        if (word == "--") {
            operandsOnly = true;
            continue;
        }
        const OptionSpec* option = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown = word;
        if (word[1] == '-') {
            std::string name = word.substr(2);
            if (const size_t eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.resize(eq);
                shown = "--" + name;
            }
            option = findLong(specs, name);
        } else if (word.size() == 2) {
            option = findShort(specs, word[1]);
        }
        if (option == nullptr) {
            usageError(command + ": unknown option " + shown + " (see lumvek " + command + " --help)");
        }
        if (!option->takesValue) {
            if (inlineValue) usageError(command + ": option --" + option->name + " takes no value");
            parsed.set(option->name, "");
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) usageError(command + ": option " + shown + " needs a value");
            inlineValue = args[++i];
        }
        parsed.set(option->name, *inlineValue);
    }
    return parsed;
}

std::optional<int64_t> parseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    size_t pos = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        pos = 1;
    }
    int base = 10;
    if (text.size() > pos + 2 && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= text.size()) return std::nullopt;
    int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > int64_t{std::numeric_limits<uint32_t>::max()}) return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return value;
}

int requireInteger(const std::string& text, const std::string& what, int64_t minimum, int64_t maximum) {
    const auto value = parseInteger(text);
    if (!value) usageError(what + ": '" + text + "' is not a number");
    if (*value < minimum || *value > maximum) {
        usageError(what + ": " + text + " is outside " + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    return static_cast<int>(*value);
}

} // namespace lumvek::tool
