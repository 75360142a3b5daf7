// Command-line parsing shared by the commands: declared options, "--name value", "--name=value",
// short forms ("-o value"), "--" to end the options, and number checks. Mistakes throw
// UsageError, which the tool reports with exit code 2.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::cli {

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct OptionDef {
    const char* name;    // long name without "--"
    char shortName = 0;  // e.g. 'o' for "-o"
    bool takesValue = false;
    bool repeatable = false;
};

class ParsedArgs {
  public:
    bool Has(const std::string& name) const { return m_values.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const;
    std::vector<std::string> All(const std::string& name) const;
    const std::vector<std::string>& positionals() const { return m_positionals; }

    // Throws unless the number of positional arguments lies in [min, max].
    void ExpectPositionals(std::size_t min, std::size_t max, const char* what) const;

  private:
    friend ParsedArgs ParseArgs(std::span<const std::string>, std::span<const OptionDef>);
    std::map<std::string, std::vector<std::string>> m_values;
    std::vector<std::string> m_positionals;
};

// "--help" and "-h" are always known and give the option "help".
ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionDef> options);

// A whole decimal number in [min, max]; what names the value in the error.
int64_t ParseInteger(const std::string& text, const std::string& what, int64_t min, int64_t max);

}  // namespace tarnwick::cli
