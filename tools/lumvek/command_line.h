#pragma once
// Options and operands of one subcommand: "--name VALUE", "--name=VALUE",
// "-x VALUE" and bare flags, in any order around the operands. A word that
// starts with '-' but reads as a number ("-10") is an operand.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumvek::tool {

struct OptionSpec {
    const char* name;   // long name without the dashes
    char shortName;     // 0 when there is none
    bool takesValue;
};

class ParsedArgs {
public:
    std::vector<std::string> operands;

    [[nodiscard]] bool has(const std::string& name) const { return values_.count(name) != 0; }
    [[nodiscard]] std::optional<std::string> value(const std::string& name) const;
    void set(const std::string& name, const std::string& value) { values_[name] = value; }

private:
    std::map<std::string, std::string> values_;
};

// Usage error (exit 2) for an unknown option or a missing value; `command`
// names the subcommand in the message.
[[nodiscard]] ParsedArgs parseArgs(const std::vector<std::string>& args, std::span<const OptionSpec> specs,
                                   const std::string& command);

// Whole-word integer parsing: decimal, or hexadecimal with 0x; nullopt for
// anything else or a value outside int32.
[[nodiscard]] std::optional<int64_t> parseInteger(const std::string& text);

// parseInteger within [minimum, maximum], else a usage error naming `what`.
[[nodiscard]] int requireInteger(const std::string& text, const std::string& what, int64_t minimum,
                                 int64_t maximum);

} // namespace lumvek::tool
