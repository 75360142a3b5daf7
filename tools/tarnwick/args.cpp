#include "args.h"

#include <cerrno>
#include <cstdlib>

namespace tarnwick::cli {
namespace {

const OptionDef kHelp = {"help", 'h', false, false};

const OptionDef* FindLong(std::span<const OptionDef> options, const std::string& name) {
    if (name == kHelp.name) return &kHelp;
    for (const OptionDef& option : options) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

const OptionDef* FindShort(std::span<const OptionDef> options, char name) {
    if (name == kHelp.shortName) return &kHelp;
    for (const OptionDef& option : options) {
        if (option.shortName != 0 && option.shortName == name) return &option;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::Get(const std::string& name) const {
    const auto it = m_values.find(name);
    if (it == m_values.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> ParsedArgs::All(const std::string& name) const {
    const auto it = m_values.find(name);
    return it == m_values.end() ? std::vector<std::string>{} : it->second;
}

void ParsedArgs::ExpectPositionals(std::size_t min, std::size_t max, const char* what) const {
    if (m_positionals.size() < min) throw UsageError(std::string("missing ") + what);
    if (m_positionals.size() > max) {
        throw UsageError("unexpected argument '" + m_positionals[max] + "'");
    }
}

ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionDef> options) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            parsed.m_positionals.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const OptionDef* option = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos) inlineValue = arg.substr(equals + 1);
            option = FindLong(options, name);
            shown = "--" + name;
        } else {
            option = FindShort(options, arg[1]);
            if (arg.size() > 2) inlineValue = arg.substr(2);
            shown = arg.substr(0, 2);
        }
        if (option == nullptr) throw UsageError("unknown option " + shown);
        std::string value;
        if (option->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError("option " + shown + " needs a value");
            }
        } else if (inlineValue) {
            throw UsageError("option " + shown + " takes no value");
        }
        auto& values = parsed.m_values[option->name];
        if (!values.empty() && !option->repeatable && option->takesValue) {
            throw UsageError("option " + shown + " is given twice");
        }
        values.push_back(value);
    }
    return parsed;
}

int64_t ParseInteger(const std::string& text, const std::string& what, int64_t min, int64_t max) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    const bool whole = !text.empty() && end != begin && *end == '\0' && text[0] != ' ';
    if (!whole || errno == ERANGE || value < min || value > max) {
        throw UsageError(what + " must be a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not '" + text + "'");
    }
    return value;
}

}  // namespace tarnwick::cli
